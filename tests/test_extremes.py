"""End-to-end tests of extremes, run against the built program.

    python3 tests/test_extremes.py [THEME[.CASE]...] --program-version=VERSION --boundaries=PRINTER
                                   [--sanitized] [--peak-memory=HELPER] -- COMMAND...
    python3 tests/test_extremes.py --cases

COMMAND starts the program: build/extremes, wine build-win32/extremes.exe for
the Windows build, whose lines are expected to end in CRLF, or qemu with a
build for another processor. CTest runs each case (a test method of a
theme, a TestCase class) as a test, as --cases lists them, with the seconds
that its theme may take. VERSION is the version that --version must tell;
PRINTER is tests/boundaries.cpp built, run as COMMAND runs the program.
--sanitized says the program was built with the sanitizers, whose memory
use is their own; HELPER is tests/peak_memory.cpp built, without which
memory is not measured. A run stops at its first failure; its status is 77,
skipped, when every case it ran was skipped, and a row skipped where the
others of its case ran fails it.
"""

import contextlib
import fcntl
import itertools
import os
import random
import re
import resource
import select
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time
import traceback
import tty
import unicodedata
import unittest

SPLIT = sys.argv.index("--") if "--" in sys.argv else len(sys.argv)
PROGRAM = sys.argv[SPLIT + 1:] or [""]
OPTIONS = sys.argv[1:SPLIT]
SANITIZED = "--sanitized" in OPTIONS
VERSION = next((o.split("=", 1)[1] for o in OPTIONS if o.startswith("--program-version=")), None)
PEAK_MEMORY = next((o.split("=", 1)[1] for o in OPTIONS if o.startswith("--peak-memory=")), None)
WINDOWS = PROGRAM[-1].endswith(".exe")
EMULATED = os.path.basename(PROGRAM[0]).startswith("qemu")
EOL = "\r\n" if WINDOWS else "\n"
# The longest that a test waits for the program to write, to read or to
# end; one that waits this long has found a hang. Generous, as the machines
# that run this are shared, and wine, qemu and the sanitizers are many times
# slower than the program alone.
PATIENCE = 60 if WINDOWS or EMULATED or SANITIZED else 20
# What the manual promises: the most bytes of a quote in a message, and the
# size that the program grows a pipe on its standard output to.
QUOTE_ROOM = 32
GROWN_PIPE = 1 << 20

# The process groups that the run started, one for each program.
GROUPS = set()


def end_group(group):
    with contextlib.suppress(ProcessLookupError):
        os.killpg(group, signal.SIGKILL)


@contextlib.contextmanager
def started(command, **kw):
    """subprocess.Popen, in a process group of its own, which has ended when
    the block has: when the block ends as it should, its input is closed and
    it is given PATIENCE to end; then, or at once where the block fails, all
    of the group is killed, before anything the block holds is closed."""
    with subprocess.Popen(command, start_new_session=True, **kw) as p:
        GROUPS.add(p.pid)
        try:
            yield p
            if p.stdin:
                p.stdin.close()
            p.wait(timeout=PATIENCE)
        finally:
            end_group(p.pid)


def complete(command, input=None, **kw):
    """subprocess.run, the command started as by started, its output and error
    output captured unless redirected."""
    kw = {"stdin": subprocess.PIPE if input is not None else None, "stdout": subprocess.PIPE,
          "stderr": subprocess.PIPE, **kw}
    with started(command, **kw) as p:
        out, err = p.communicate(input, timeout=PATIENCE)
    return subprocess.CompletedProcess(command, p.returncode, out, err)


def run(data, args=(), from_file=False, **kw):
    """Runs the program on data, through a pipe or from a file, which is read
    in blocks of exactly INPUT_BLOCK bytes."""
    data = data.encode() if isinstance(data, str) else data
    with tempfile.TemporaryFile() as f:
        f.write(data)
        f.seek(0)
        return complete(PROGRAM + list(args), **({"stdin": f} if from_file else {"input": data}), **kw)


def utf16(text, order="le"):
    """text in UTF-16 of that byte order, after its byte-order mark."""
    return ("\ufeff" + text).encode("utf-16-" + order)


def transcript(count, values):
    """What the program writes for a count and the values it ends up with."""
    listed = values if count > 0 else []
    text = "enter the array length : "
    text += "".join(f"Enter your {i} number : " for i in range(len(listed)))
    text += f"max is {max(listed, default=0)}\nmin is {min(listed, default=0)}\n"
    text += "".join(f"{a} value you have entered is : {v}\n" for a, v in enumerate(listed))
    return text.replace("\n", EOL).encode()


def message(said=None):
    """What the program writes on standard error: said as its line, or nothing."""
    return f"extremes: {said}{EOL}".encode() if said else b""


# The ends of the line that names a failed read, as the values after it are
# or are not asked for.
LAST = "; it is 0"
AFTER = "; it and the values after it are 0"


def character(text):
    """The one character that the bytes text are in UTF-8, or None."""
    with contextlib.suppress(UnicodeDecodeError):
        if len(decoded := text.decode()) == 1:
            return decoded
    return None


def shown(text, room=None):
    """The bytes text as a line on standard error shows them, up to room
    bytes: whole UTF-8 characters, each control among them (Unicode's Cc:
    C0, DEL and C1) as ?, and ? for each byte of none; and the bytes shown."""
    out, k = "", 0
    while k < len(text):
        n, c = next(((n, c) for n in range(1, 5) if (c := character(text[k:k + n]))), (1, None))
        if room is not None and k + n > room:
            break
        out, k = out + ("?" if not c or unicodedata.category(c) == "Cc" else c), k + n
    return out, k


def quote(held, more=False):
    """How the line that names a read that found no number quotes the bytes
    held from where the number was to begin up to white space: QUOTE_ROOM
    bytes at most, then ... where more was held, or may have followed (more)."""
    text, n = shown(held, QUOTE_ROOM)
    return f"'{text}'" + ("..." if more or n < len(held) else "")


def line_fed(lines, err):
    """Of the lines that may name a failed read, the one written, or the last."""
    return next((line for line in lines if message(line) == err), lines[-1])


def argument(text):
    """How the line that names ignored arguments quotes one, as its bytes."""
    return f"'{shown(os.fsencode(text))[0]}'"


# Numbers at both ends of every length, from 0 to 10 digits, either sign.
LENGTHS = sorted(({s * v for d in range(1, 11) for v in (10 ** (d - 1), 10 ** d - 1)
                   for s in (1, -1)} | {0, 2147483647, -2147483648}) - {9999999999, -9999999999})


class Case(unittest.TestCase):
    # The seconds that CTest gives the theme, a few times what it takes with
    # the slowest of wine, qemu and the sanitizers; and the CTest label
    # that a run can leave it out by.
    TIMEOUT = 120
    LABEL = None

    def check_table(self, table, from_file=False, every_way=False):
        """Rows of a name, the input, the count and values the program ends up
        with, and the failed read it names, if any, as it names it reading a
        file; every_way feeds each row from a file, in one write and a byte at
        a time, as bytes and UTF-16, where a quote may show less (model)."""
        rng = random.Random(44)
        for name, data, count, values, *said in table:
            expected = (transcript(count, values), 0, message(*said))
            if every_way:
                for text, way in itertools.product([data.encode(), utf16(data)],
                                                   ["from a file", "in one write", "a byte at a time"]):
                    with self.subTest(name, way=way, utf16=text != data.encode()):
                        out, status, err, _ = self.feed(text, way, rng)
                        line = said if way == "from a file" else [line_fed(model(text)[3], err)]
                        self.assert_run((out, status, err), expected[:2] + (message(*line),))
            else:
                with self.subTest(name):
                    self.assert_run(run(data, from_file=from_file), expected)

    def assert_run(self, got, expected):
        """Compares a run's output, exit status and error output (or those of
        a CompletedProcess) with those expected, standard error first, where a
        sanitizer reports a fault."""
        if isinstance(got, subprocess.CompletedProcess):
            got = (got.stdout, got.returncode, got.stderr)
        self.assert_same(got[2], expected[2], "standard error")
        self.assert_same(got[0], expected[0], "the output")
        self.assertEqual(got[1], expected[1], "the exit status")

    def assert_same(self, got, expected, what="the output"):
        """Fails, as cmp does, at the first byte where got differs from
        expected, naming its line and showing that line as expected and as
        got, cut around the byte. The common start is found by halving,
        comparing slices: no diff is made, so that a large output fails as
        fast as a small one."""
        if got == expected:
            return
        same, differs = 0, min(len(got), len(expected)) + 1
        while differs - same > 1:
            half = (same + differs) // 2
            if got[:half] == expected[:half]:
                same = half
            else:
                differs = half
        start = got.rfind(b"\n", 0, same) + 1

        def around(text):
            if same == len(text):
                return "the end"
            end = text.find(b"\n", same) + 1 or len(text)
            cut = max(start, same - 30)
            return ("..." if cut > start else "") + repr(text[cut:min(end, same + 50)]) + \
                ("..." if same + 50 < end else "")

        line = got.count(b"\n", 0, same) + 1
        self.fail(f"{what} differs at line {line}, byte {same - start + 1}:"
                  f" expected {around(expected)}, got {around(got)}")

    def feed(self, data, way, rng):
        """The program's output for data fed way, its status and error output,
        and from a file the bytes it left unread. A piece sent on a socket of
        messages is one read (where wine runs the program, a pipe stands in),
        so none is larger than the program reads at once."""
        with tempfile.TemporaryFile() as f, tempfile.TemporaryFile() as out:
            if way == "from a file":
                f.write(data)
                f.seek(0)
                p = complete(PROGRAM, stdin=f, stdout=out)
                out.seek(0)
                unread = len(data) - os.lseek(f.fileno(), 0, os.SEEK_CUR)
                return out.read(), p.returncode, p.stderr, unread
            sizes = {"in one write": [len(data)],
                     "in odd pieces": [1, 3, 5, 7, 4093, INPUT_BLOCK - 3],
                     "a byte at a time": [1]}[way]
            if way == "in one write" or WINDOWS:
                reader, writer = os.pipe()
                theirs, ours = open(reader, "rb", buffering=0), open(writer, "wb", buffering=0)
            else:
                ours, theirs = socket.socketpair(socket.AF_UNIX, socket.SOCK_SEQPACKET)
            with ours, started(PROGRAM, stdin=theirs, stdout=out, stderr=subprocess.PIPE) as p:
                theirs.close()
                os.set_blocking(ours.fileno(), False)
                deadline, start = time.monotonic() + PATIENCE, 0
                while start < len(data):
                    _, ready, _ = select.select([], [ours], [], max(deadline - time.monotonic(), 0))
                    self.assertTrue(ready, f"the program took {start} bytes, then no more")
                    try:
                        start += os.write(ours.fileno(), data[start:start + rng.choice(sizes)])
                    except BlockingIOError:
                        pass
                    except (BrokenPipeError, ConnectionResetError):
                        break  # the program has read all that it reads
                ours.close()
                status, err = p.wait(timeout=PATIENCE), p.stderr.read()
            out.seek(0)
            return out.read(), status, err, None

    def read_until(self, fd, want=None, seen=b"", shown=lambda raw: raw):
        """Reads fd until want shows up in what it has shown (the bytes read,
        unless shown makes something else of them), or without want to its
        end; fails if that does not come in time. Returns the bytes read."""
        deadline = time.monotonic() + PATIENCE
        while want is None or want not in shown(seen):
            ready, _, _ = select.select([fd], [], [], max(deadline - time.monotonic(), 0))
            self.assertTrue(ready, f"waited in vain for {want or 'the end'!r}; "
                                   f"got {shown(seen)[-300:]!r}")
            chunk = os.read(fd, 1 << 20)
            if not chunk and want is None:
                return seen
            self.assertTrue(chunk, f"output ended before {want!r}; got {shown(seen)[-300:]!r}")
            seen += chunk
        return seen

    def until_full(self, p, writer):
        """Returns once the pipe that the program, process p, writes, and
        whose write end the test holds as writer, has no room left (select);
        fails if the program ends first, or does not fill it in time. No
        event marks a pipe filling up: it is looked at every millisecond."""
        deadline = time.monotonic() + PATIENCE
        while select.select([], [writer], [], 0)[1]:
            self.assertIsNone(p.poll(), "the program ended before it filled the pipe")
            self.assertLess(time.monotonic(), deadline, "the program never filled the pipe")
            time.sleep(0.001)


class Ordinary(Case):
    def test_worked_example_exactly(self):
        expected = ("enter the array length : Enter your 0 number : Enter your 1 number : "
                    "Enter your 2 number : max is 7\nmin is -2\n"
                    "0 value you have entered is : 5\n1 value you have entered is : -2\n"
                    "2 value you have entered is : 7\n").replace("\n", EOL).encode()
        self.assert_run(run("3\n5\n-2\n7\n"), (expected, 0, b""))

    def test_table(self):
        self.check_table([
            ("one value", "1\n42\n", 1, [42]),
            ("all equal", "3 9 9 9", 3, [9, 9, 9]),
            ("all negative", "3 -5 -1 -7", 3, [-5, -1, -7]),
            ("extremes at position 0", "3 100 5 6", 3, [100, 5, 6]),
            ("min at position 0", "3 -100 5 6", 3, [-100, 5, 6]),
            ("32-bit limits", "4 0 2147483647 -2147483648 1", 4, [0, 2147483647, -2147483648, 1]),
            ("ten values", "10 " + " ".join(map(str, range(10, 0, -1))), 10, list(range(10, 0, -1))),
            ("every length of number", f"{len(LENGTHS)} " + " ".join(map(str, LENGTHS)),
             len(LENGTHS), LENGTHS),
        ])

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

    def test_options_are_answered_without_reading(self):
        manual = "README.txt, next to extremes.exe" if WINDOWS else "the manual page, man extremes"
        usage = ("Usage: extremes [--help | --version]\n"
                 "Reads a count and that many whole numbers from standard input, asking for\n"
                 "each by its position, then writes the largest and the smallest and lists\n"
                 "every number with its position on standard output.\n\n"
                 "  --help     show this help and exit\n"
                 "  --version  show the version and exit\n\n"
                 "An option is taken only as the first argument; any other argument is\n"
                 f"ignored. Read more in {manual}.\n")
        version = f"extremes {VERSION}\nReleased under the MIT licence, without warranty.\n"
        for name, args, said in [
            ("--help", ["--help"], usage),
            ("--help before other arguments", ["--help", "--version", "7"], usage),
            ("--version", ["--version"], version),
            ("--version before other arguments", ["--version", "--help"], version),
        ]:
            with self.subTest(name), tempfile.TemporaryFile() as f:
                f.write(b"2 1 2")
                f.seek(0)
                self.assert_run(complete(PROGRAM + args, stdin=f), (said.replace("\n", EOL).encode(), 0, b""))
                self.assertEqual(os.lseek(f.fileno(), 0, os.SEEK_CUR), 0, "the input's file offset")

    @unittest.skipIf(SANITIZED, "the sanitizers' runtime is a library of its own")
    def test_the_program_needs_the_c_library_alone(self):
        needed = needed_libraries(PROGRAM[-1])
        c_library = {"kernel32.dll", "msvcrt.dll"} if WINDOWS else {"libc.so.6"}
        self.assertLessEqual({name.lower() for name in needed}, c_library, f"the libraries needed: {needed}")


class WhiteSpaceAndSigns(Case):
    def test_table(self):
        self.check_table([
            ("several to a line", "3 1 2 3\n", 3, [1, 2, 3]),
            ("every kind of white space", " \t\n3\r\n\v1\f\t2 \r 3", 3, [1, 2, 3]),
            ("CRLF lines", "2\r\n4\r\n-4\r\n", 2, [4, -4]),
            ("leading zeros stay decimal", "3 010 -0009 +00", 3, [10, -9, 0]),
            ("leading zeros past eight digits", "3 000000001 0000000012345678 -00000000000000002147483648",
             3, [1, 12345678, -2147483648]),
            ("digits run into other bytes", "4 12345678x\n", 4, [12345678, 0, 0, 0],
             "value 1 is not a number: 'x'" + AFTER),
            ("the 0s after a failed read count in the extremes", "3 -5 -7 x\n", 3, [-5, -7, 0],
             "value 2 is not a number: 'x'" + LAST),
            ("more 0s after a failed read than one run of them", "2500 4 x\n", 2500, [4] + [0] * 2499,
             "value 1 is not a number: 'x'" + AFTER),
            ("minus zero", "1 -0", 1, [0]),
            ("input after the last value is not read", "2 1 2 3 junk -", 2, [1, 2]),
            ("UTF-8 BOM skipped", b"\xef\xbb\xbf3 5 -2 7", 3, [5, -2, 7]),
            ("UTF-16LE", utf16("3 5 -2 7"), 3, [5, -2, 7]),
            ("UTF-16BE", utf16("3 5 -2\r\n7", "be"), 3, [5, -2, 7]),
            ("a non-ASCII unit ends a number", utf16("2 12\u3033 5"), 2, [12, 0],
             "value 1 is not a number: '?'" + LAST),
            ("an odd last byte of UTF-16 is no digit", utf16("1 7") + b"5", 1, [7]),
            ("a BOM further on is no white space", b"2 1 \xef\xbb\xbf2\n", 2, [1, 0],
             "value 1 is not a number: '\ufeff2'" + LAST),
            ("UTF-16 without a BOM is read as bytes", "3 5".encode("utf-16-le"), 3, [0, 0, 0],
             "value 0 is not a number: '?'" + AFTER),
        ])

    def test_the_next_reader_of_a_file_starts_after_the_last_byte_read(self):
        blanks = " " * 70000
        for name, data, rest in [
            ("after the last value", "2 5 7\nrest of the file\n", "\nrest of the file\n"),
            ("after the count of zero", "0 5 7", " 5 7"),
            ("at what stopped a failed read", "3 1 x 3", "x 3"),
            ("after a number out of range", "2 1 -99999999999 5", " 5"),
            ("in the second block read", "1" + blanks + "-5 8", " 8"),
            ("at the end", "2 1", ""),
            ("in UTF-16, after the last value", utf16("2 5 7\nrest"), "\nrest".encode("utf-16-le")),
            ("in UTF-16, at what stopped a failed read", utf16("3 1 x 3", "be"),
             "x 3".encode("utf-16-be")),
            ("in UTF-16, at an odd last byte", utf16("2 1") + b"\0", b"\0"),
        ]:
            with self.subTest(name), tempfile.TemporaryFile() as f:
                data, rest = (x if isinstance(x, bytes) else x.encode() for x in (data, rest))
                f.write(data)
                f.seek(0)
                complete(PROGRAM, stdin=f, stdout=subprocess.DEVNULL)
                self.assertEqual(os.lseek(f.fileno(), 0, os.SEEK_CUR), len(data) - len(rest), "the file offset")


class CountsOfZeroOrLess(Case):
    def test_table(self):
        self.check_table([
            ("zero with values after it", "0 1 2 3", 0, []),
            ("negative", "-5 1 2", -5, []),
            ("most negative", "-2147483648", 0, []),
            ("empty input", "", 0, [], "the input ends before the count" + LAST),
            ("not a number", "abc 1 2", 0, [], "the count is not a number: 'abc'" + LAST),
            ("count out of range", "2147483648 1 2", 0, [], "the count is out of range" + LAST),
        ])


class FailedReads(Case):
    def test_table(self):
        # Before the faces, 4 bytes each in UTF-8, so that a quote ends after the first byte of one.
        face, lead = "\U0001f600", "x" * ((QUOTE_ROOM - 1) % 4)
        self.check_table([
            ("lone minus", "3 1 - 5", 3, [1, 0, 0], "value 1 is not a number: '-'" + AFTER),
            ("lone plus at the end", "2 1 +", 2, [1, 0], "value 1 is not a number: '+'" + LAST),
            ("double sign", "2 --1 5", 2, [0, 0], "value 0 is not a number: '--1'" + AFTER),
            ("far out of range", "2 99999999999 5", 2, [0, 0], "value 0 is out of range" + AFTER),
            ("many digits", "2 " + "9" * 50 + " 5", 2, [0, 0], "value 0 is out of range" + AFTER),
            ("a failed value is 0 in the scan", "3 -4 -2", 3, [-4, -2, 0], "the input ends before value 2" + LAST),
            # What stopped the read, quoted up to white space.
            ("a thousands separator", "4\n5\n1,000\n7\n", 4, [5, 1, 0, 0],
             "value 2 is not a number: ',000'" + AFTER),
            ("a quote as long as it may be", "2 1 " + "x" * QUOTE_ROOM + " 5", 2, [1, 0],
             f"value 1 is not a number: '{'x' * QUOTE_ROOM}'" + LAST),
            ("a longer quote cut, the sign counted", "2 1 -" + "x" * QUOTE_ROOM + " 5", 2, [1, 0],
             f"value 1 is not a number: '-{'x' * (QUOTE_ROOM - 1)}'..." + LAST),
            ("controls quoted as ?: C0, DEL and C1", "2 1 x\x1f\x7f\u009b31m\u009f\u00a0\u00e9\t5", 2, [1, 0],
             "value 1 is not a number: 'x???31m?\u00a0\u00e9'" + LAST),
            ("bytes of no UTF-8 character quoted as ?: lone, cut, overlong, surrogate, past U+10FFFF",
             b"2 1 \x9b\xff\xe2\x82x\xc1\xbf\xe0\x9f\xbf\xed\xa0\x80\xf4\x90\x80\x80 5", 2, [1, 0],
             "value 1 is not a number: '????x" + "?" * 12 + "'" + LAST),
            ("printable UTF-8 quoted as itself", "2 1 \u00e9t\u00e9\u20ac5\u65e5\u672c\U0010ffff 5", 2, [1, 0],
             "value 1 is not a number: '\u00e9t\u00e9\u20ac5\u65e5\u672c\U0010ffff'" + LAST),
            ("a quote not cut inside a UTF-8 character", "1 " + lead + face * QUOTE_ROOM, 1, [0],
             f"value 0 is not a number: '{lead}{face * ((QUOTE_ROOM - len(lead)) // 4)}'..." + LAST),
            ("UTF-16 outside ASCII quoted as ?", utf16("2 1 \u0080x\u3033 5"), 2, [1, 0],
             "value 1 is not a number: '?x?'" + LAST),
            ("bytes of no character cut at QUOTE_ROOM", b"1 " + b"\x80" * QUOTE_ROOM * 2, 1, [0],
             "value 0 is not a number: '" + "?" * QUOTE_ROOM + "'..." + LAST),
        ])
        # Each failure at the count, the first value, a middle one and the last, fed every way.
        self.check_table([
            ("the count, not a number", "x 1 2 3", 0, [], "the count is not a number: 'x'" + LAST),
            ("the count, out of range", "-2147483649 1", 0, [], "the count is out of range" + LAST),
            ("the count, the input ended", " \n", 0, [], "the input ends before the count" + LAST),
            ("the first value, not a number", "3 x 1 2", 3, [0, 0, 0], "value 0 is not a number: 'x'" + AFTER),
            ("the first value, out of range", "3 2147483648 1 2", 3, [0, 0, 0], "value 0 is out of range" + AFTER),
            ("the first value, the input ended", "3\n", 3, [0, 0, 0], "the input ends before value 0" + AFTER),
            ("a middle value, a comma", "4\n7\n1,\n2\n", 4, [7, 1, 0, 0],
             "value 2 is not a number: ','" + AFTER),
            ("a middle value, out of range", "3 7 -9999999999 2", 3, [7, 0, 0], "value 1 is out of range" + AFTER),
            ("a middle value, the input ended", "3 7", 3, [7, 0, 0], "the input ends before value 1" + AFTER),
            ("the last value, not a number", "3 7 -1 +x", 3, [7, -1, 0], "value 2 is not a number: '+x'" + LAST),
            ("the last value, out of range", "3 7 -1 4294967296", 3, [7, -1, 0], "value 2 is out of range" + LAST),
            ("the last value, the input ended", "3 7 -1\n", 3, [7, -1, 0], "the input ends before value 2" + LAST),
        ], every_way=True)

    def test_no_input_is_awaited_after_a_failed_read(self):
        # The pipe stays open until the program has ended by itself: one
        # that read on would wait here for more.
        with started(PROGRAM, stdin=subprocess.PIPE, stdout=subprocess.PIPE) as p:
            p.stdin.write(b"3 1 x")
            p.stdin.flush()
            out = self.read_until(p.stdout.fileno())
            self.assertEqual(p.wait(timeout=PATIENCE), 0, "the exit status")
        self.assert_same(out, transcript(3, [1, 0, 0]))

    def test_unreadable_input_is_reported(self):
        directory = os.open("/", os.O_RDONLY)
        self.addCleanup(os.close, directory)
        result = complete(PROGRAM, stdin=directory)
        self.assert_same(result.stdout, transcript(0, []))
        # The reason is the platform's: Windows calls it an invalid argument.
        self.assertRegex(result.stderr.decode(), f"^extremes: read error: [^\n]+{EOL}$", "standard error")
        self.assertEqual(result.returncode, 1, "the exit status")

    @unittest.skipIf(WINDOWS, "resets a POSIX socket")
    def test_a_number_cut_by_a_read_error_is_no_number(self):
        # Once the program has read what was sent and waits for more, the
        # other end of its socket closes with data left unread, which fails
        # the program's next read (ECONNRESET).
        for name, sent, prompt, count, values in [
            ("in the count", b"12", "enter the array length : ", 0, []),
            ("in the digits", b"3 12", "Enter your 0 number : ", 3, [0, 0, 0]),
            ("after the sign", b"2 -", "Enter your 0 number : ", 2, [0, 0]),
            ("ended by white space, whole", b"3 5 12 ", "Enter your 2 number : ", 3, [5, 12, 0]),
        ]:
            with self.subTest(name):
                ours, theirs = socket.socketpair()
                theirs.send(b"unread")
                ours.send(sent)
                with ours, started(PROGRAM, stdin=theirs, stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE) as p:
                    theirs.close()
                    seen = self.read_until(p.stdout.fileno(), prompt.encode())
                    ours.close()
                    seen = self.read_until(p.stdout.fileno(), seen=seen)
                    self.assert_run((seen, p.wait(timeout=PATIENCE), p.stderr.read()),
                                    (transcript(count, values), 1,
                                     b"extremes: read error: Connection reset by peer\n"))


class BufferBoundaries(Case):
    def test_long_runs_of_zeros_and_white_space(self):
        self.check_table([
            ("100,000 leading zeros", "2 " + "0" * 100000 + "7 -" + "0" * 100000 + "8", 2, [7, -8]),
            ("zeros then out of range", "1 " + "0" * 100000 + "2147483648", 1, [0], "value 0 is out of range" + LAST),
            ("a megabyte of blanks", " " * 1000000 + "1 " + "\n" * 1000000 + "5", 1, [5]),
            ("extremes in the second block of values",
             f"{VALUES_PER_BLOCK + 2} " + "1 " * VALUES_PER_BLOCK + "-3 9",
             VALUES_PER_BLOCK + 2, [1] * VALUES_PER_BLOCK + [-3, 9]),
        ])

    def test_numbers_cut_by_the_end_of_a_block(self):
        # The end of a file's first block of INPUT_BLOCK bytes falls at the
        # place marked | in each number.
        table = []
        for name, number, value in [
            ("between a sign and its digits", "-|12", -12),
            ("inside an eight-digit group", "1234|5678", 12345678),
            ("between two eight-digit groups", "+12345678|90", 1234567890),
            ("inside a run of 17 leading zeros", "-00000000|000000000" "2147483648", -2147483648),
            ("after the digits", "2147483647|", 2147483647),
        ]:
            head = "2" + " " * (INPUT_BLOCK - 1 - number.index("|"))
            table.append((name, head + number.replace("|", "") + " 5", 2, [value, 5]))
        # In UTF-16, two bytes a character and the BOM first.
        table.append(("inside an eight-digit group of UTF-16",
                      utf16("2" + " " * (INPUT_BLOCK // 2 - 6) + "12345678 5"), 2, [12345678, 5]))
        # A quote, and a UTF-8 character in it, cut after x\xe2\x82.
        table.append(("inside a quote", "2 1" + " " * (INPUT_BLOCK - 6) + "x\u20acyz 5", 2, [1, 0],
                      "value 1 is not a number: 'x??'..." + LAST))
        self.check_table(table, from_file=True)

BOMS = {"bytes": b"", "UTF-8": b"\xef\xbb\xbf", "UTF-16-LE": b"\xff\xfe", "UTF-16-BE": b"\xfe\xff"}
# A number as the manual tells it apart: white space, a sign, digits; and
# the word that a quote is taken from.
NUMBER = re.compile(rb"[ \t\n\v\f\r]*([+-]?)([0-9]*)")
WORD = re.compile(rb"[^ \t\n\v\f\r]*")


def model(data):
    """A plain model of the program: the count, the values it ends up with,
    the line that names the read that failed (None if none did) from a file,
    the lines that may name it fed otherwise, and the bytes left unread from
    a file. A quote holds its word (after the sign) up to the end of the
    block that holds its first character, or fed otherwise, at least that."""
    encoding = next(e for e, m in reversed(BOMS.items()) if data.startswith(m))
    bom = BOMS[encoding]
    text, width = data[len(bom):], 1 + encoding.startswith("UTF-16")
    if width == 2:
        order = "little" if encoding.endswith("LE") else "big"
        units = (int.from_bytes(text[k:k + 2], order) for k in range(0, len(text) - 1, 2))
        text = bytes(u if u < 0x80 else ord("?") for u in units)
    pos, numbers, said, fed = 0, [], None, None
    while not numbers or len(numbers) <= numbers[0]:
        m = NUMBER.match(text, pos)
        pos = m.end() if m[2] else m.end(1)
        read = f"value {len(numbers) - 1}" if numbers else "the count"
        rest = AFTER if numbers and len(numbers) < numbers[0] else LAST
        if not m[2] and pos == len(text) and not m[1]:
            said = f"the input ends before {read}{rest}"
        elif not m[2]:
            word = WORD.match(text, pos)[0]
            block_end = ((len(bom) + width * (pos + 1) - 1) // INPUT_BLOCK + 1) * INPUT_BLOCK
            held = (block_end - len(bom)) // width - pos

            def line(k, more):
                return f"{read} is not a number: {quote(m[1] + word[:k], more)}{rest}"
            said = line(min(held, len(word)), held <= len(word) and block_end < len(data))
            fed = [line(k, True) for k in range(1, len(word) + 1)] + \
                [line(len(word), False)] * (not word or pos + len(word) < len(text))
        elif not -2**31 <= int(m[1] + m[2]) < 2**31:
            said = f"{read} is out of range{rest}"
        if said:
            break
        numbers.append(int(m[1] + m[2]))
    count = numbers[0] if numbers else 0
    values = numbers[1:] + [0] * (count + 1 - len(numbers))
    return count, values, said, fed or [said], len(data) - len(bom) - width * pos


class InputInAnyPieces(Case):
    """Inputs made at random of numbers, white space and what is neither, the
    end of a file's first block of input often put inside or beside one of
    them, and every byte where a digit, a sign or white space may stand, fed
    four ways and compared with a plain model of the program: the output,
    the failed read named, and from a file the offset left behind."""

    def random_case(self, rng, most=8, junk=0.4):
        """Random input, and a name that shows its text."""
        numbers = [rng.choice(["", "", "-", "+"]) + "0" * rng.choice([0, 0, 1, 9, 17])
                   + str(rng.choice([rng.randint(0, 99), rng.randint(0, 2**31),
                                     rng.randint(0, 10**rng.randint(10, 20))]))
                   for _ in range(rng.randint(0, most))]
        if rng.random() < junk:
            neither = rng.choice(["x", "-", "+", "--1", "\0", "\u3033", "\u3033" * 12])
            numbers.insert(rng.randint(0, len(numbers)), neither)
        count = max(len(numbers) + rng.choice([0, 0, 0, 2, -1]), rng.choice([0, -3]))
        tokens = [str(count)] + numbers
        gaps = ["".join(rng.choices([" ", "\n", "\t", "\r\n", "\v\f", ""], k=rng.randint(1, 2)))
                for _ in tokens]
        encoding = rng.choice(list(BOMS))
        bom, width = BOMS[encoding], 1 + encoding.startswith("UTF-16")
        if rng.random() < 0.5:  # blanks that bring the block's end to token k
            k = rng.randrange(len(tokens))
            before = sum(len(t) + len(g) for t, g in zip(tokens[:k], gaps)) + len(gaps[k])
            blanks = (INPUT_BLOCK - len(bom)) // width - before - rng.randint(-1, len(tokens[k]) + 1)
            gaps[0] = " " * max(blanks, 0) + gaps[0]
        text = "".join(g + t for g, t in zip(gaps, tokens)) + rng.choice(["", "\n", " 7"])
        data = bom + text.encode(encoding if width == 2 else "utf-8")
        if width == 2 and rng.random() < 0.2:
            data += b"5"  # half a unit
        return f"{encoding} {text[:40]!r}... ({len(text)} characters)", data

    def test_random_inputs_fed_every_way(self):
        rng = random.Random(26)
        slow = WINDOWS or EMULATED or SANITIZED
        ways = ["from a file", "in one write", "in odd pieces", "a byte at a time"]
        cases = [self.random_case(rng) + (ways,) for _ in range(60 if slow else 240)]
        # More values than one block of the storage holds, every one read.
        values = [rng.randint(-2**31, 2**31 - 1) for _ in range(VALUES_PER_BLOCK + 2)]
        cases.append((f"{len(values)} values", " ".join(map(str, [len(values)] + values)).encode(), ways))
        # Every byte where a digit, a sign or white space may stand, read on
        # the fast path (from a file) and on the slow one (a byte at a time);
        # under wine, qemu or the sanitizers, those at the edges of each class.
        for b in b"\0\b\t\r\x0e\x1f !*+,-./09:\x7f\x80\xff" if slow else range(256):
            cases += [(f"{where!r}, <b> {b:#04x}", where.replace(b"<b>", bytes([b])), ways[::3])
                      for where in (b"2 1<b>2", b"2<b>1 2")]
        for name, data, ways in cases:
            count, values, said, fed, unread = model(data)
            for way in ways:
                if way == "a byte at a time" and len(data) > 4096:
                    continue
                with self.subTest(name, way=way):
                    out, status, err, left = self.feed(data, way, rng)
                    line = said if way == "from a file" else line_fed(fed, err)
                    self.assert_run((out, status, err), (transcript(count, values), 0, message(line)))
                    if way == "from a file":
                        self.assertEqual(left, unread, "the bytes left unread")


class NumbersSplitAcrossWrites(Case):
    def check_split(self, non_blocking=False):
        """The second piece is sent only once the program has read the first
        and, waiting for more, has shown the prompt named here, or has read
        no more for a quote: through a pipe, which non_blocking leaves the
        program as O_NONBLOCK."""
        table = [
            ("count split", b"1", b"2 ", "enter the array length : ", 12, [0] * 12,
             "the input ends before value 0" + AFTER),
            ("digits split", b"1 12", b"34\n", "Enter your 0 number : ", 1, [1234]),
            ("sign split from digits", b"1 -", b"5\n", "Enter your 0 number : ", 1, [-5]),
            ("leading zeros split", b"1 000", b"0021\n", "Enter your 0 number : ", 1, [21]),
            ("UTF-8 BOM split", b"\xef\xbb", b"\xbf1 5", "enter the array length : ", 1, [5]),
            ("UTF-16 BOM split", b"\xff", b"\xfe" + "1 5".encode("utf-16-le"),
             "enter the array length : ", 1, [5]),
            ("UTF-16 unit split inside a number", utf16("1 12")[:-1],
             utf16("1 1234\n")[len(utf16("1 12")) - 1:], "Enter your 0 number : ", 1, [1234]),
            ("a quote and a UTF-8 character in it split", b"2 1 x\xe2\x82", b"\xac 5", "Enter your 1 number : ",
             2, [1, 0], "value 1 is not a number: 'x??'..." + LAST),
        ]
        for name, first, second, prompt, count, values, *said in table:
            with self.subTest(name):
                reader, writer = os.pipe()
                os.set_blocking(reader, not non_blocking)
                with open(writer, "wb", buffering=0) as into, \
                        started(PROGRAM, stdin=reader, stdout=subprocess.PIPE, stderr=subprocess.PIPE) as p:
                    os.close(reader)
                    into.write(first)
                    seen = self.read_until(p.stdout.fileno(), prompt.encode())
                    with contextlib.suppress(BrokenPipeError):
                        into.write(second)
                    into.close()
                    seen = self.read_until(p.stdout.fileno(), seen=seen)
                    self.assert_run((seen, p.wait(timeout=PATIENCE), p.stderr.read()),
                                    (transcript(count, values), 0, message(*said)))

    def test_table(self):
        self.check_split()

    @unittest.skipIf(WINDOWS, "makes a POSIX pipe non-blocking")
    def test_table_with_input_left_non_blocking(self):
        # Whoever shares standard input may have made it non-blocking: a
        # read that finds the pipe empty (EAGAIN) must wait, not fail.
        self.check_split(non_blocking=True)


class DrivingProgram(Case):
    def test_each_prompt_comes_before_its_answer_is_sent(self):
        values = [3, -1, 2147483647, 0, -2147483648]
        with started(PROGRAM, stdin=subprocess.PIPE, stdout=subprocess.PIPE) as p:
            fd = p.stdout.fileno()
            seen = self.read_until(fd, b"enter the array length : ")
            p.stdin.write(f"{len(values)}\n".encode())
            p.stdin.flush()
            for i, v in enumerate(values):
                seen = self.read_until(fd, f"Enter your {i} number : ".encode(), seen)
                self.assertNotIn(f"Enter your {i + 1} ".encode(), seen, "the output before the answer")
                p.stdin.write(f"{v}\n".encode())
                p.stdin.flush()
            p.stdin.close()
            seen = self.read_until(fd, seen=seen)
        self.assert_same(seen, transcript(len(values), values))

    @unittest.skipIf(WINDOWS, "counts writes on a POSIX socket")
    def test_waiting_input_is_answered_without_a_write_per_prompt(self):
        # 3,000 values already in a file make about 190 KB of output: it goes
        # out in blocks of 64 KiB, not a write per prompt. Standard output is
        # a socket that keeps each write a message of its own.
        values = list(range(3000))
        ours, theirs = socket.socketpair(socket.AF_UNIX, socket.SOCK_SEQPACKET)
        with ours, tempfile.TemporaryFile() as f:
            f.write(f"{len(values)} {' '.join(map(str, values))}".encode())
            f.seek(0)
            with started(PROGRAM, stdin=f, stdout=theirs):
                theirs.close()
                ours.settimeout(PATIENCE)
                writes = list(iter(lambda: ours.recv(1 << 20), b""))
        output = b"".join(writes)
        self.assert_same(output, transcript(len(values), values))
        self.assertEqual([len(w) for w in writes], [64 * 1024] * (len(output) // (64 * 1024)) +
                         [len(output) % (64 * 1024)], "the sizes of the writes")

    @unittest.skipIf(WINDOWS, "makes a Linux pipe non-blocking")
    def test_output_left_non_blocking_is_waited_for_and_written_on_after_a_short_write(self):
        # Whoever shares standard output may have made it non-blocking: a
        # full pipe must then be waited for, not taken for a failed write.
        # The pipe has the size the program would grow it to, and a page in
        # it already: the program's blocks, half that size, fill it at the
        # second, which it takes only in part, and the program must go on
        # from where that write stopped. The test reads only once the pipe
        # is full, so that the next write finds no room.
        values = [7] * 300000
        reader, writer = os.pipe()
        self.grow_pipe(writer, GROWN_PIPE)
        page = b"." * resource.getpagesize()
        os.write(writer, page)
        os.set_blocking(writer, False)
        self.addCleanup(os.close, reader)
        with tempfile.TemporaryFile() as f:
            f.write(f"{len(values)} ".encode() + b"7\n" * len(values))
            f.seek(0)
            with started(PROGRAM, stdin=f, stdout=writer, stderr=subprocess.PIPE) as p:
                self.until_full(p, writer)
                os.close(writer)
                out = self.read_until(reader)
                self.assert_run((out, p.wait(timeout=PATIENCE), p.stderr.read()),
                                (page + transcript(len(values), values), 0, b""))

    def grow_pipe(self, fd, size):
        """Grows the pipe fd to size bytes. Past the system's limit, 1 MiB by
        default, that takes CAP_SYS_RESOURCE or the limit raised for the
        moment, which is done only where the environment allows it, as CI
        does: EXTREMES_TEST_PIPE_LIMIT=raise."""
        try:
            fcntl.fcntl(fd, fcntl.F_SETPIPE_SZ, size)
            return
        except PermissionError as e:
            if os.environ.get("EXTREMES_TEST_PIPE_LIMIT") != "raise":
                self.skipTest(f"a pipe of {size} bytes: {e} (EXTREMES_TEST_PIPE_LIMIT=raise"
                              " lets the test raise the system's limit for a moment)")
        limit = "/proc/sys/fs/pipe-max-size"
        with open(limit) as f:
            old_limit = f.read()
        try:
            with open(limit, "w") as f:
                f.write(str(size))
        except OSError as e:
            self.skipTest(f"cannot raise {limit}: {e}")
        try:
            fcntl.fcntl(fd, fcntl.F_SETPIPE_SZ, size)
        finally:
            with open(limit, "w") as f:
                f.write(old_limit)

    @unittest.skipIf(WINDOWS, "sizes a Linux pipe")
    def test_a_pipe_is_grown_only_for_an_output_larger_than_it(self):
        # A pipe of the size Linux gives it, after outputs smaller than it,
        # as large as it and larger (by the bytes given): as it was, or grown
        # to GROWN_PIPE, and then written 512 KiB at a time, as one of that
        # size (grown None) is from the start. Once the output is closed,
        # Linux's count of the program's writes (/proc/PID/io) is final.
        for name, values, grown in [
            ("a short output", [5, -2, 7], False),
            ("an output as large as the pipe", 0, False),
            ("an output a byte larger", 1, True),
            ("a much larger output", [7] * 100000, True),
            ("a much larger output to a pipe grown before", [7] * 100000, None),
        ]:
            with self.subTest(name), tempfile.TemporaryFile() as f:
                reader, writer = os.pipe()
                if grown is None:
                    fcntl.fcntl(writer, fcntl.F_SETPIPE_SZ, GROWN_PIPE)
                size = fcntl.fcntl(writer, fcntl.F_GETPIPE_SZ)
                if isinstance(values, int):
                    values = self.values_written_in(size + values)
                f.write(" ".join(map(str, [len(values)] + values)).encode())
                f.seek(0)
                with open(reader, "rb") as out:
                    with started(PROGRAM, stdin=f, stdout=writer) as p:
                        os.close(writer)
                        output = self.read_until(out.fileno())
                        with open(f"/proc/{p.pid}/io") as io:
                            writes = int(re.search(r"syscw: (\d+)", io.read())[1])
                    self.assert_same(output, transcript(len(values), values))
                    self.assertEqual(fcntl.fcntl(reader, fcntl.F_GETPIPE_SZ), GROWN_PIPE if grown else size,
                                     "the pipe's size")
                    self.assertEqual(writes, -(-len(output) // (512 * 1024)), "the writes")

    @staticmethod
    def values_written_in(size):
        """Values whose transcript is size bytes: 9 and -9, then 1s, the
        first of them -1, a byte longer each, as many as make up the bytes
        that lack."""
        def length(n):
            return len(transcript(n, [9, -9] + [1] * (n - 2)))
        shorter, longer = 2, size // 50 + 2
        while longer - shorter > 1:
            half = (shorter + longer) // 2
            shorter, longer = (half, longer) if length(half) <= size else (shorter, half)
        lacking = size - length(shorter)
        assert lacking <= shorter - 2
        return [9, -9] + [-1] * lacking + [1] * (shorter - 2 - lacking)

    @unittest.skipIf(WINDOWS, "sizes a Linux pipe")
    def test_a_pipe_made_larger_is_not_shrunk(self):
        reader, writer = os.pipe()
        with open(reader, "rb") as out, open(writer, "wb") as into:
            self.grow_pipe(writer, 4 * GROWN_PIPE)
            with started(PROGRAM, stdin=subprocess.PIPE, stdout=into) as p:
                into.close()
                p.stdin.write(b"1 5")
            self.assertEqual(fcntl.fcntl(reader, fcntl.F_GETPIPE_SZ), 4 * GROWN_PIPE, "the pipe's size")
            self.assert_same(out.read(), transcript(1, [5]))


class Terminal(Case):
    """A person at a terminal: a pseudo-terminal, or for the Windows build
    the console that wine keeps on one."""

    def start(self):
        """The program, with all three of its streams on the terminal."""
        leader, follower = os.openpty()
        if WINDOWS:  # wine's console edits the line itself, and takes Enter as "\r"
            tty.setraw(follower)
        p = self.enterContext(started(PROGRAM, stdin=follower, stdout=follower, stderr=follower))
        os.close(follower)
        self.addCleanup(os.close, leader)
        return p, leader

    def screen(self, term, want, seen=b""):
        """Reads the terminal until the text want shows on it. Wine's console
        draws its screen with escape sequences, moving the cursor over a
        trailing blank: they are taken out again here."""
        def shown(raw):
            text = re.sub(rb"\x1b\[(\d*)C", lambda m: b" " * int(m[1] or 1), raw)
            text = re.sub(rb"\x1b\[[0-9;?]*[A-Za-z]", b"", text)
            return text.replace(b"\r", b"")

        return self.read_until(term, want.encode(), seen, shown)

    def test_person_sees_each_prompt_before_typing(self):
        p, term = self.start()
        seen = self.screen(term, "enter the array length : ")
        os.write(term, b"2\r")
        seen = self.screen(term, "Enter your 0 number : ", seen)
        self.assertNotIn(b"Enter your 1", seen, "the screen before the answer")
        os.write(term, b"-3\r")
        seen = self.screen(term, "Enter your 1 number : ", seen)
        os.write(term, b"8\r")
        self.screen(term, "max is 8\nmin is -3\n0 value you have entered is : -3\n"
                         "1 value you have entered is : 8\n", seen)
        self.assertEqual(p.wait(timeout=PATIENCE), 0, "the exit status")

    @unittest.skipIf(WINDOWS, "wine's console does not pass Ctrl-Z on")
    def test_end_of_input_is_not_awaited_twice(self):
        p, term = self.start()
        seen = self.screen(term, "enter the array length : ")
        os.write(term, b"3\r1\r")
        seen = self.screen(term, "Enter your 1 number : ", seen)
        os.write(term, b"\x04")  # Ctrl-D: the input ends here, once and for all
        self.screen(term, "Enter your 2 number : max is 1\nmin is 0\n0 value you have entered is : 1\n"
                          "1 value you have entered is : 0\n2 value you have entered is : 0\n"
                          "extremes: the input ends before value 1" + AFTER + "\n", seen)
        self.assertEqual(p.wait(timeout=PATIENCE), 0, "the exit status")


class FailedWrites(Case):
    def check_failed_writes(self, table):
        """Output to a full device, or to a file that may grow to limit bytes
        (ulimit -f), which takes what fits. From a file, the run that fails
        leaves the input where it stopped reading, as one that succeeds does:
        here, before rest."""
        for name, data, args, rest, limit, reason in table:
            with self.subTest(name), tempfile.TemporaryFile() as f, \
                    (tempfile.TemporaryFile() if limit else open("/dev/full", "wb")) as out:
                f.write(data.encode())
                f.seek(0)
                result = complete(PROGRAM + args, stdin=f, stdout=out, preexec_fn=limit and (
                    lambda: resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))))
                self.assert_same(result.stderr, f"extremes: write error: {reason}{EOL}".encode(), "standard error")
                self.assertEqual(result.returncode, 1, "the exit status")
                self.assertEqual(os.lseek(f.fileno(), 0, os.SEEK_CUR), len(data) - len(rest), "the file offset")
                if limit:
                    out.seek(0)
                    self.assert_same(out.read(), run(data, args).stdout[:limit])

    def test_output_that_cannot_be_written(self):
        self.check_failed_writes([
            ("short output", "1 5 rest", [], " rest", None, "No space left on device"),
            ("output larger than a buffer", "5000 1 2 rest", [], "rest", None, "No space left on device"),
            ("--help", "2 1 2", ["--help"], "2 1 2", None, "No space left on device"),
        ])

    @unittest.skipIf(WINDOWS, "limits the file size of a POSIX process")
    def test_a_file_size_limit_reached(self):
        self.check_failed_writes([("a file-size limit reached", "5000 1 2 rest", [], "rest", 100000,
                                   "File too large")])

    @unittest.skipIf(WINDOWS, "makes a Linux pipe non-blocking")
    def test_the_message_waits_for_room_on_error_output_left_non_blocking(self):
        # Standard error is a full pipe that whoever shares it has made
        # non-blocking: the message waits for room, and comes whole. The
        # input cannot be read, which is reported right after standard
        # output is closed: the test reads the message only after that.
        reader, writer = os.pipe()
        self.addCleanup(os.close, reader)
        os.set_blocking(writer, False)
        filled = 0
        with contextlib.suppress(BlockingIOError):
            while True:
                filled += os.write(writer, b"." * 4096)
        directory = os.open("/", os.O_RDONLY)
        self.addCleanup(os.close, directory)
        with started(PROGRAM, stdin=directory, stdout=subprocess.PIPE, stderr=writer) as p:
            os.close(writer)
            self.assert_same(self.read_until(p.stdout.fileno()), transcript(0, []))
            err = self.read_until(reader)
            self.assertEqual(p.wait(timeout=PATIENCE), 1, "the exit status")
        self.assert_same(err[filled:], b"extremes: read error: Is a directory\n", "standard error")

    @unittest.skipIf(WINDOWS, "closes a POSIX file descriptor")
    def test_closed_output(self):
        result = complete(PROGRAM, input=b"1 5", stdout=subprocess.DEVNULL, preexec_fn=lambda: os.close(1))
        self.assert_run((b"", result.returncode, result.stderr),
                        (b"", 1, b"extremes: write error: Bad file descriptor\n"))

    def test_a_closed_pipe_ends_the_run_quietly_and_leaves_the_file_offset(self):
        # 20 million prompts would take a while to write out; the run must
        # end at the first write to a closed pipe, of the output or of a
        # message, and leave the file offset where the reading stopped:
        # killed by SIGPIPE, or with status 1 where SIGPIPE was ignored or
        # blocked when it started, or on Windows, which has no SIGPIPE. With
        # no message to write, standard error's pipe does not matter.
        # Standard output's pipe is closed once full, the program waiting for
        # room: where the input is a pipe too, wine then fails the write as
        # not supported (ERROR_NOT_SUPPORTED), which must read as EPIPE.
        sigpipe_at_start = {
            "default": lambda: signal.signal(signal.SIGPIPE, signal.SIG_DFL),
            "ignored": lambda: signal.signal(signal.SIGPIPE, signal.SIG_IGN),
            "blocked": lambda: signal.pthread_sigmask(signal.SIG_BLOCK, [signal.SIGPIPE]),
        }
        # The pipe closed, the input, the arguments, the whole output where
        # standard output is not closed or full, and whether the run fails.
        rows = [
            ("standard output", b"20000000 5 x rest", [], None, True),
            ("standard error, a write error to report", b"20000000 5 x rest", [], None, True),
            ("standard error, a failed read to name", b"3 5 x rest", [], transcript(3, [5, 0, 0]), True),
            ("standard error, an ignored argument to name", b"1 5x rest", ["numbers.txt"], transcript(1, [5]),
             True),
            ("standard error, nothing to say", b"1 5x rest", [], transcript(1, [5]), False),
        ]
        for (closed, data, args, whole, fails), sigpipe in itertools.product(rows, sigpipe_at_start):
            with self.subTest(closed=closed, sigpipe=sigpipe), tempfile.TemporaryFile() as f, \
                    open("/dev/full", "wb") as full:
                f.write(data)
                f.seek(0)
                killed = sigpipe == "default" and not WINDOWS
                offset = data.index(b"x")
                # The arguments are named before the first prompt: SIGPIPE
                # then ends the program before it reads or writes.
                if killed and args:
                    offset, whole = 0, b""
                reader, writer = os.pipe()
                if closed.startswith("standard error"):
                    os.close(reader)
                    streams = {"stdout": subprocess.PIPE if whole is not None else full, "stderr": writer}
                else:
                    streams = {"stdout": writer, "stderr": subprocess.PIPE}
                piped = WINDOWS and closed == "standard output"
                with started(PROGRAM + args, stdin=subprocess.PIPE if piped else f, bufsize=0, **streams,
                             preexec_fn=sigpipe_at_start[sigpipe]) as p:
                    if piped:
                        p.stdin.write(data)
                    if closed == "standard output":
                        self.until_full(p, writer)
                        os.close(reader)
                    os.close(writer)
                    if whole is not None:
                        self.assert_same(self.read_until(p.stdout.fileno()), whole)
                    status = p.wait(timeout=PATIENCE)
                    if closed == "standard output":
                        self.assert_same(p.stderr.read(), b"", "standard error")
                self.assertEqual(status, 0 if not fails else -signal.SIGPIPE if killed else 1, "the exit status")
                self.assertEqual(os.lseek(f.fileno(), 0, os.SEEK_CUR), 0 if piped else offset, "the file offset")


def needed_libraries(path):
    """The libraries that the program at path needs: its DT_NEEDED entries
    (ELF), or the DLLs it imports from (PE)."""
    with open(path, "rb") as f:
        image = f.read()

    def string(at):
        return image[at:image.index(b"\0", at)].decode()

    if image.startswith(b"\x7fELF"):
        wide, order = image[4] == 2, "<" if image[5] == 1 else ">"
        (start,) = struct.unpack_from(order + ("Q" if wide else "I"), image, 0x28 if wide else 0x20)
        size, count = struct.unpack_from(order + "HH", image, 0x3a if wide else 0x2e)
        # Each section's type, offset, size and link (SHT_DYNAMIC's: its strings).
        sections = [struct.unpack_from(order + ("4xI16xQQI" if wide else "4xI8xIII"), image, start + k * size)
                    for k in range(count)]
        return [string(sections[link][1] + value) for kind, at, length, link in sections if kind == 6
                for tag, value in struct.iter_unpack(order + ("qQ" if wide else "iI"), image[at:at + length])
                if tag == 1]  # SHT_DYNAMIC, DT_NEEDED
    # PE: the import descriptors, found by their RVA through the section table.
    (pe,) = struct.unpack_from("<I", image, 0x3c)
    count, optional, magic = struct.unpack_from("<H12xHxxH", image, pe + 6)
    (imports,) = struct.unpack_from("<I", image, pe + 24 + (104 if magic == 0x10b else 120))
    sections = [struct.unpack_from("<8xIIII", image, pe + 24 + optional + 40 * k) for k in range(count)]

    def offset(rva):
        return next(rva - start + raw for size, start, raw_size, raw in sections
                    if start <= rva < start + max(size, raw_size))

    names, at = [], offset(imports)
    while name := struct.unpack_from("<12xI", image, at)[0]:
        names.append(string(offset(name)))
        at += 20
    return names


NATIVE_MEMORY = unittest.skipIf(
    not PEAK_MEMORY or EMULATED, "measures the memory of a native POSIX process, not of an emulator")


class Memory(Case):
    def peak_kib(self, data):
        """Runs the program on data with output to /dev/null: its peak resident
        size in KiB, its status and what it wrote on standard error."""
        with tempfile.TemporaryFile() as f, tempfile.NamedTemporaryFile("r") as report:
            f.write(data)
            f.seek(0)
            result = complete([PEAK_MEMORY, report.name] + PROGRAM, stdin=f, stdout=subprocess.DEVNULL)
            return int(report.read()), result.returncode, result.stderr

    @NATIVE_MEMORY
    def test_a_large_count_with_few_values_stays_small(self):
        base, status, _ = self.peak_kib(b"3 1 2 3")
        self.assertEqual(status, 0, "the exit status of the run on 3 values")
        peak, status, _ = self.peak_kib(b"20000000 1 2 3")
        self.assertEqual(status, 0, "the exit status of the run on a count of 20,000,000")
        self.assertLess(peak - base, 4 * 1024, f"{base} KiB for 3 values, {peak} KiB for the count")

    @NATIVE_MEMORY
    @unittest.skipIf(SANITIZED, "the sanitizers add their own bookkeeping to every allocation")
    def test_values_take_four_bytes_each(self):
        n = 2000000
        base, _, _ = self.peak_kib(b"3 1 2 3")
        peak, status, _ = self.peak_kib(f"{n} ".encode() + b"-1\n" * n)
        self.assertEqual(status, 0, f"the exit status of the run on {n} values")
        self.assertLess(peak - base, n * 4 // 1024 + 2 * 1024, f"{base} KiB for 3 values, {peak} KiB for {n}")

    @NATIVE_MEMORY
    @unittest.skipIf(SANITIZED, "the sanitizers reserve more address space than the limit")
    def test_running_out_of_memory_is_reported_after_the_output_so_far(self):
        count = b"20000000 "
        with tempfile.TemporaryFile() as f:
            f.write(count + b"7\n" * 20000000)

            def run_out(*limits):
                """A run with 16 MiB of address space and the limits given:
                its status, error output, output and the input's offset."""
                f.seek(0)
                limits += ((resource.RLIMIT_AS, 16 << 20),)
                with tempfile.TemporaryFile() as out:
                    result = complete(PROGRAM, stdin=f, stdout=out, preexec_fn=lambda: [
                        resource.setrlimit(r, (v, v)) for r, v in limits])
                    out.seek(0)
                    return result.returncode, result.stderr, out.read(), os.lseek(f.fileno(), 0, os.SEEK_CUR)

            status, err, output, offset = run_out()
            self.assertEqual((status, err), (1, b"extremes: out of memory\n"), "the exit status, standard error")
            # The output is every prompt up to the last, whole. The value at
            # n - 1 was read, and found no room: the input is left just
            # after it.
            n = int(re.search(rb"Enter your (\d+) number : $", output[-100:])[1]) + 1
            self.assert_same(output, b"enter the array length : "
                             + b"".join(b"Enter your %d number : " % i for i in range(n)))
            self.assertEqual(offset, len(count) + len(b"7\n") * n - 1, "the file offset")
            # Memory runs out at the same value again; with a file-size
            # limit a byte short of that output, the write that then fails
            # is reported after it.
            status, err, short, _ = run_out((resource.RLIMIT_FSIZE, len(output) - 1))
            self.assertEqual((status, err), (1, b"extremes: out of memory\nextremes: write error: File too large\n"),
                             "the exit status and standard error, with a file-size limit")
            self.assert_same(short, output[:-1])

    @unittest.skipIf(WINDOWS or EMULATED, "limits the stack of a native POSIX process")
    @unittest.skipIf(SANITIZED, "the sanitizers need a larger stack of their own")
    def test_a_small_stack_is_enough(self):
        small = 32 * 1024
        result = run("3 5 -2 7", preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_STACK, (small, small)))
        self.assert_run(result, (transcript(3, [5, -2, 7]), 0, b""))


class AddressSpace(Case):
    # 4 GiB of the machine's memory and 30 GB of prompts through a pipe:
    # a run can leave it out by its label.
    TIMEOUT = 300
    LABEL = "large"

    @unittest.skipUnless(WINDOWS, "a 32-bit Windows program has 4 GiB to fill")
    def test_values_past_2_gib_and_running_out_of_address_space(self):
        # Marked large address aware, the program holds more values than the
        # 536,870,912 that fill 2 GiB, and reports running out where its
        # 4 GiB end.
        pipeline = '(echo 2000000000; yes 0) | { "$@"; echo "status $?" >&2; } | tail -c 100'
        with started(["sh", "-c", pipeline, "sh"] + PROGRAM,
                     stdout=subprocess.PIPE, stderr=subprocess.PIPE) as p:
            out, err = p.communicate(timeout=3 * PATIENCE)
        self.assertEqual(err, f"extremes: out of memory{EOL}status 1\n".encode(), "standard error, the status")
        self.assertGreater(int(re.search(rb"Enter your (\d+) number : $", out)[1]), 536870912, "the values held")


def out_of_time(_, frame):
    """Ends the run and every process group it started, before CTest ends this process alone."""
    for group in GROUPS:
        end_group(group)
    traceback.print_stack(frame)
    print("the case ran out of its time; every program it started is ended", file=sys.stderr)
    os._exit(1)


def tests(suite):
    for test in suite:
        yield from tests(test) if isinstance(test, unittest.TestSuite) else [test]


if __name__ == "__main__":
    if OPTIONS == ["--cases"]:
        # Every case in this file, found as the test loader finds them, so
        # that CMake makes a test of each: "<theme>.<case> <seconds it may
        # take>", then its label, where its theme has one.
        loader = unittest.TestLoader()
        for name, theme in list(globals().items()):
            if isinstance(theme, type) and issubclass(theme, unittest.TestCase):
                for case in loader.getTestCaseNames(theme):
                    print(f"{name}.{case} {theme.TIMEOUT}" + (f" {theme.LABEL}" if theme.LABEL else ""))
        sys.exit()
    loader, names = unittest.TestLoader(), [o for o in OPTIONS if not o.startswith("--")]
    suite = loader.loadTestsFromNames(names, sys.modules[__name__]) if names else \
        loader.loadTestsFromModule(sys.modules[__name__])
    cases = {test.id() for test in tests(suite)}
    signal.signal(signal.SIGALRM, out_of_time)
    signal.alarm(sum(type(test).TIMEOUT for test in tests(suite)) - 10)

    if os.path.basename(PROGRAM[0]).startswith("wine"):
        # The first program that wine starts leaves its services running, and
        # they keep the streams they were given: a test's pipe would then never
        # close. So they are started here, on /dev/null, and the wine server is
        # kept for a minute after its last program, from one test to the next.
        os.makedirs(os.environ.get("WINEPREFIX", os.path.expanduser("~/.wine")), exist_ok=True)
        os.environ["LC_ALL"] = "C.UTF-8"
        quiet = {"stdin": subprocess.DEVNULL, "stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL}
        subprocess.run(["wineserver", "-p60"], timeout=PATIENCE, **quiet)  # fails when one runs already: fine
        subprocess.run(["wineboot", "--init"], check=True, timeout=PATIENCE, **quiet)

    # The bytes of input read at a time, the values stored to a block and
    # the bytes of a message written at a time, as the build compiled them:
    # printed by tests/boundaries.cpp, built with the program and run as it is.
    helper = next(o.split("=", 1)[1] for o in OPTIONS if o.startswith("--boundaries="))
    said = subprocess.run(PROGRAM[:-1] + [helper], capture_output=True, check=True, timeout=PATIENCE).stdout.split()
    BOUNDARIES = {name.decode(): int(value) for name, value in zip(said[::2], said[1::2])}
    INPUT_BLOCK = BOUNDARIES["input_block"]
    VALUES_PER_BLOCK = BOUNDARIES["values_per_block"]
    MESSAGE_PIECE = BOUNDARIES["message_piece"]

    result = unittest.TextTestRunner(failfast=True).run(suite)
    for test, reason in result.skipped:
        print(f"skipped: {test.id()}: {reason}")
    if any(test.id() not in cases for test, _ in result.skipped):
        sys.exit("a row was skipped where the others of its case ran: "
                 "give it a case of its own, so that CTest shows the skip")
    sys.exit(1 if not result.wasSuccessful() else
             77 if result.skipped and len(result.skipped) == result.testsRun else 0)
