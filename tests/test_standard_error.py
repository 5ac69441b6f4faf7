"""Standard error: the lines that name what the run ignored or could not read, and their quotes."""

from common import *  # noqa: F401,F403


class Messages(Case):
    def assert_named(self, err, arguments, quoted=None):
        """Compares err with the line that names arguments, shown as quoted has
        them, or else the model: where they alone differ, by kind of difference."""
        quoted = quoted or [shown(os.fsencode(a))[0] for a in arguments]
        head, tail = ignoring(["", ""]).split(b"'', ''")
        got = err[len(head) + 1:-len(tail) - 1].split(b"', '")
        if err.startswith(head + b"'") and err.endswith(b"'" + tail) and len(got) == len(quoted):
            # A kind: where the expected and the got each show ? or another character.
            self.assert_each(zip(map(os.fsencode, arguments), (q.encode() for q in quoted), got), "the argument",
                             lambda *pair: tuple(re.sub("[^?]", "c", x.decode(errors="replace")) for x in pair))
        self.assert_same(err, ignoring(quoted), "standard error")

    def test_arguments_are_ignored_unless_the_first_is_an_option(self):
        # Named on standard error before the first prompt: both streams go
        # to one pipe here. The code points either side of each edge of what
        # shows as ? are each an argument of their own.
        edges = [chr(c) for e in range(1, 0x110000) if (e in UNSHOWN) != (e - 1 in UNSHOWN)
                 for c in (e - 1, e) if c]
        for name, args, quoted in [
            # A file name, a short option, an option with a value, the start
            # of one, the end of the options, an empty argument: each first.
            *((f"{first!r}, then an option", [first, "--help"], None)
              for first in ["numbers.txt", "-h", "--version=2", "--vers", "--", ""]),
            ("controls (C0, DEL, C1) and format characters (bidirectional, zero-width, BOM, soft hyphen, tag)"
             " and separators shown as ?", ["a\nb\x1fc\x7f\u009bd\u202eb\u200bc\ufeffd\u00ade\U000e0041f\u2028g\u2029h"],
             ["a?b?c??d?b?c?d?e?f?g?h"]),
            ("a blank and printable UTF-8 kept, right-to-left letters too",
             ["my r\u00e9sum\u00e9.txt", "\u20ac\u65e5\u672c\u00c3\u00a9\U0001f600", "\u05d0\u05d1 \u0627"],
             ["my r\u00e9sum\u00e9.txt", "\u20ac\u65e5\u672c\u00c3\u00a9\U0001f600", "\u05d0\u05d1 \u0627"]),
            ("each edge of what shows as ?", edges, None),
            ("longer than a piece of a message", ["n" * (2 * MESSAGE_PIECE)], None),
            ("a message's pieces ending in the text after the arguments", ["n" * (MESSAGE_PIECE - 50)], None),
        ]:
            with self.subTest(name):
                result = run("2 1 2", args=args, stderr=subprocess.STDOUT)
                line = result.stdout[:result.stdout.find(EOL.encode()) + len(EOL)]
                self.assert_named(line, args, quoted)
                self.assert_same(result.stdout[len(line):], transcript(2, [1, 2]), "the output after the line")
                self.assertEqual(result.returncode, 0, "the exit status")

    @unittest.skipIf(WINDOWS, "counts writes on a POSIX socket, and passes arguments as bytes")
    def test_a_message_goes_out_in_one_write_a_piece(self):
        # Processes that share standard error do not mix their lines: a
        # line goes out in one write, or a longer one in pieces of at most
        # MESSAGE_PIECE bytes that end between characters. Standard error is
        # a socket that keeps each write a message of its own. The longest
        # lines hold every pair of bytes but NUL as the start of a UTF-8
        # character, and every code point but NUL and the surrogates, each
        # as the model shows it.
        every_start = [os.fsdecode(bytes([lead, second, 0x80, 0x80]))
                       for lead in range(1, 256) for second in range(1, 256)]
        every = [chr(c) for c in range(1, 0x110000) if not 0xd800 <= c < 0xe000]
        for arguments in (["numbers.txt"], ["n" * 2 * MESSAGE_PIECE], every_start,
                          *(every[k:k + 40000] for k in range(0, len(every), 40000))):
            with self.subTest(f"{len(arguments)} from {arguments[0]!r}"):
                ours, theirs = socket.socketpair(socket.AF_UNIX, socket.SOCK_SEQPACKET)
                with ours, started(PROGRAM + arguments, stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                                   stderr=theirs) as p:
                    theirs.close()
                    p.stdin.write(b"1 5")
                    p.stdin.close()
                    ours.settimeout(PATIENCE)
                    writes = list(iter(lambda: ours.recv(1 << 20), b""))
                self.assert_named(b"".join(writes), arguments)
                # The longest pieces that end before a byte that continues a character.
                pieces = re.findall(rb"(?s).{1,%d}(?![\x80-\xbf])" % MESSAGE_PIECE, b"".join(writes))
                self.assertEqual([len(w) for w in writes], list(map(len, pieces)), "the sizes of the writes")

    def test_a_terminal_shows_what_a_line_quotes(self):
        # On Windows, in the console that wine keeps on the terminal, which
        # shows what is written to it in UTF-16 as written.
        p, term = self.at_terminal(["r\u00e9sum\u00e9.txt"], "1 \u00e9t\u00e9\u20ac5\u65e5\u672c\u05d0\u05d1")
        seen = self.screen(term, "extremes: ignoring 'r\u00e9sum\u00e9.txt'")
        self.screen(term, "extremes: value 0 is not a number: '\u00e9t\u00e9\u20ac5\u65e5\u672c\u05d0\u05d1'"
                    + LAST, seen)
        self.assertEqual(p.wait(timeout=PATIENCE), 0, "the exit status")


if __name__ == "__main__":
    main(sys.modules[__name__])
