"""Standard error: the lines that name what the run ignored or could not
read, and how they show what they quote."""

from common import *  # noqa: F401,F403


class Messages(Case):
    def test_arguments_are_ignored_unless_the_first_is_an_option(self):
        # Named on standard error before the first prompt: both streams go
        # to one pipe here.
        for name, args, named in [
            ("a file name", ["numbers.txt"], "'numbers.txt'"),
            ("an option after the first argument", ["7", "--help"], "'7', '--help'"),
            ("a short option", ["-h"], "'-h'"),
            ("an option with a value", ["--version=2"], "'--version=2'"),
            ("the start of an option", ["--vers"], "'--vers'"),
            ("the end of the options", ["--", "--help"], "'--', '--help'"),
            ("an empty argument", [""], "''"),
            ("controls shown as ?: C0, DEL and C1", ["a\nb\x1fc\x7f\u009bd"], "'a?b?c??d'"),
            ("a blank and printable UTF-8 kept", ["my r\u00e9sum\u00e9.txt", "\u20ac\u65e5\u672c\u00c3\u00a9"],
             "'my r\u00e9sum\u00e9.txt', '\u20ac\u65e5\u672c\u00c3\u00a9'"),
            ("longer than a piece of a message", ["n" * (2 * MESSAGE_PIECE)], f"'{'n' * (2 * MESSAGE_PIECE)}'"),
            ("a message's pieces ending in the text after the arguments", ["n" * (MESSAGE_PIECE - 50)],
             f"'{'n' * (MESSAGE_PIECE - 50)}'"),
        ]:
            with self.subTest(name):
                result = run("2 1 2", args=args, stderr=subprocess.STDOUT)
                named = re.sub("[^ -~]", "?", named) if WINDOWS else named  # in the ANSI code page
                said = message(f"ignoring {named}: the numbers are read from standard input;"
                               " see extremes --help")
                self.assert_same(result.stdout, said + transcript(2, [1, 2]), "standard error and output")
                self.assertEqual(result.returncode, 0, "the exit status")

    @unittest.skipIf(WINDOWS, "counts writes on a POSIX socket, and passes arguments as bytes")
    def test_a_message_goes_out_in_one_write_a_piece(self):
        # Processes that share standard error do not mix their lines: a
        # line goes out in one write, or a longer one MESSAGE_PIECE bytes at
        # a time. Standard error is a socket that keeps each write a message
        # of its own. The longest line holds every pair of bytes but NUL as
        # the start of a UTF-8 character, each as the model shows it.
        every_start = [os.fsdecode(bytes([lead, second, 0x80, 0x80]))
                       for lead in range(1, 256) for second in range(1, 256)]
        for arguments in (["numbers.txt"], ["n" * 2 * MESSAGE_PIECE], every_start):
            with self.subTest(len(arguments)):
                ours, theirs = socket.socketpair(socket.AF_UNIX, socket.SOCK_SEQPACKET)
                with ours, started(PROGRAM + arguments, stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                                   stderr=theirs) as p:
                    theirs.close()
                    p.stdin.write(b"1 5")
                    p.stdin.close()
                    ours.settimeout(PATIENCE)
                    writes = list(iter(lambda: ours.recv(1 << 20), b""))
                said = message(f"ignoring {', '.join(map(argument, arguments))}: the numbers are read from"
                               " standard input; see extremes --help")
                self.assert_same(b"".join(writes), said, "standard error")
                self.assertEqual([len(w) for w in writes],
                                 [len(said[k:k + MESSAGE_PIECE]) for k in range(0, len(said), MESSAGE_PIECE)],
                                 "the sizes of the writes to standard error")


if __name__ == "__main__":
    main(sys.modules[__name__])
