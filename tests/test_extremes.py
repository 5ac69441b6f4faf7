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
import termios
import time
import tty
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
# How the program gets its arguments: as their bytes, or on Windows in the
# ANSI code page, which wine takes from the locale: Windows-1252 under
# C.UTF-8, which the tests set for it below.
ARGUMENTS = "cp1252" if WINDOWS else "utf-8"
# The longest that a test waits for the program to write, to read or to
# end; one that waits this long has found a hang. Generous, as the machines
# that run this are shared, and wine, qemu and the sanitizers are many times
# slower than the program alone.
PATIENCE = 60 if WINDOWS or EMULATED or SANITIZED else 20

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


@contextlib.contextmanager
def started(command, **kw):
    """subprocess.Popen, whose program has ended when the block has: when
    the block ends as it should, its input is closed and it is given
    PATIENCE to end; when the block fails, it is killed at once, with all it
    started, before anything the block holds is closed."""
    with subprocess.Popen(command, start_new_session=True, **kw) as p:
        try:
            yield p
            if p.stdin:
                p.stdin.close()
            p.wait(timeout=PATIENCE)
        finally:
            if p.poll() is None:
                os.killpg(p.pid, signal.SIGKILL)


def boundaries():
    """The boundaries that tests aim at, as the build compiled them: printed
    by tests/boundaries.cpp, built with the program and run as it is."""
    helper = next(o.split("=", 1)[1] for o in OPTIONS if o.startswith("--boundaries="))
    said = subprocess.run(PROGRAM[:-1] + [helper], capture_output=True, check=True,
                          timeout=PATIENCE).stdout.split()
    return {name.decode(): int(value) for name, value in zip(said[::2], said[1::2])}


if OPTIONS != ["--cases"]:
    # The bytes of input read at a time; the values stored to a block; the
    # size that the program grows a pipe on its standard output to; the most
    # bytes of a quote in a message; the bytes of a message written at a time.
    BOUNDARIES = boundaries()
    INPUT_BLOCK = BOUNDARIES["input_block"]
    VALUES_PER_BLOCK = BOUNDARIES["values_per_block"]
    GROWN_PIPE = BOUNDARIES["grown_pipe"]
    QUOTE_ROOM = BOUNDARIES["quote_room"]
    MESSAGE_PIECE = BOUNDARIES["message_piece"]


def run(data, args=(), from_file=False, **kw):
    """Runs the program on data, through a pipe or from a file, which is read
    in blocks of exactly INPUT_BLOCK bytes."""
    if isinstance(data, str):
        data = data.encode()
    streams = {"stdout": subprocess.PIPE, "stderr": subprocess.PIPE, **kw}
    if not from_file:
        return subprocess.run(PROGRAM + list(args), input=data, timeout=PATIENCE, **streams)
    with tempfile.TemporaryFile() as f:
        f.write(data)
        f.seek(0)
        return subprocess.run(PROGRAM + list(args), stdin=f, timeout=PATIENCE, **streams)


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


def message(said=None, encoding="utf-8"):
    """What the program writes on standard error: said as its line, or nothing.
    Bytes that are not UTF-8 stand in said as surrogate escapes."""
    return f"extremes: {said}{EOL}".encode(encoding, "surrogateescape") if said else b""


# The ends of the line that names a failed read, as the values after it are
# or are not asked for.
LAST = "; it is 0"
AFTER = "; it and the values after it are 0"


def quote(held):
    """How the line that names a read that found no number quotes the bytes
    held from where the number was to begin up to white space: QUOTE_ROOM
    bytes at most, cut before up to three continuation bytes of UTF-8, a
    control character as ?, and ... after a quote that was cut."""
    n, cut = min(len(held), QUOTE_ROOM), len(held) > QUOTE_ROOM
    while cut and n > QUOTE_ROOM - 3 and held[n] & 0xc0 == 0x80:
        n -= 1
    shown = bytes(ord("?") if c < 0x20 or c == 0x7f else c for c in held[:n])
    return f"'{shown.decode('utf-8', 'surrogateescape')}'" + ("..." if cut else "")

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
        with, and the failed read it names, if any; every_way feeds each row
        from a file, in one write and a byte at a time, as bytes and UTF-16."""
        rng = random.Random(44)
        for name, data, count, values, *said in table:
            expected = (transcript(count, values), 0, message(*said))
            if every_way:
                for text, way in itertools.product([data.encode(), utf16(data)],
                                                   ["from a file", "in one write", "a byte at a time"]):
                    with self.subTest(name, way=way, utf16=text != data.encode()):
                        self.assert_run(self.feed(text, way, rng)[:3], expected)
            else:
                with self.subTest(name):
                    result = run(data, from_file=from_file)
                    self.assert_run((result.stdout, result.returncode, result.stderr), expected)

    def assert_run(self, got, expected):
        """Compares a run's output, exit status and error output with those
        expected, standard error first, where a sanitizer reports a fault."""
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
                p = subprocess.run(PROGRAM, stdin=f, stdout=out, stderr=subprocess.PIPE,
                                   timeout=PATIENCE)
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
                deadline = time.monotonic() + PATIENCE
                start = 0
                while start < len(data):
                    left = deadline - time.monotonic()
                    _, ready, _ = select.select([], [ours], [], max(left, 0))
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
            left = deadline - time.monotonic()
            ready, _, _ = select.select([fd], [], [], max(left, 0))
            self.assertTrue(ready, f"waited in vain for {want or 'the end'!r}; "
                                   f"got {shown(seen)[-300:]!r}")
            chunk = os.read(fd, 1 << 20)
            if not chunk and want is None:
                return seen
            self.assertTrue(chunk, f"output ended before {want!r}; got {shown(seen)[-300:]!r}")
            seen += chunk
        return seen

    def until_full(self, p, reader):
        """Returns once the pipe that the program, process p, writes and the
        test reads from reader holds as many bytes as it can; fails if the
        program ends first, or does not fill it in time. No event marks a
        pipe filling up: its byte count is looked at every millisecond."""
        size = fcntl.fcntl(reader, fcntl.F_GETPIPE_SZ)
        deadline = time.monotonic() + PATIENCE
        while struct.unpack("i", fcntl.ioctl(reader, termios.FIONREAD, b"\0" * 4))[0] < size:
            self.assertIsNone(p.poll(), "the program ended before it filled the pipe")
            self.assertLess(time.monotonic(), deadline, "the program never filled the pipe")
            time.sleep(0.001)


class Ordinary(Case):
    def test_worked_example_exactly(self):
        expected = ("enter the array length : Enter your 0 number : Enter your 1 number : "
                    "Enter your 2 number : max is 7\nmin is -2\n"
                    "0 value you have entered is : 5\n1 value you have entered is : -2\n"
                    "2 value you have entered is : 7\n").replace("\n", EOL).encode()
        result = run("3\n5\n-2\n7\n")
        self.assert_run((result.stdout, result.returncode, result.stderr), (expected, 0, b""))

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
            ("control characters, shown as ?", ["a\nb\x1fc\x7f"], "'a?b?c?'"),
            ("a blank and UTF-8 kept", ["my r\u00e9sum\u00e9.txt"], "'my r\u00e9sum\u00e9.txt'"),
            ("longer than a piece of a message", ["n" * (2 * MESSAGE_PIECE)], f"'{'n' * (2 * MESSAGE_PIECE)}'"),
            ("a message's pieces ending in the text after the arguments", ["n" * (MESSAGE_PIECE - 50)],
             f"'{'n' * (MESSAGE_PIECE - 50)}'"),
        ]:
            with self.subTest(name):
                result = run("2 1 2", args=args, stderr=subprocess.STDOUT)
                said = message(f"ignoring {named}: the numbers are read from standard input;"
                               " see extremes --help", ARGUMENTS)
                self.assert_same(result.stdout, said + transcript(2, [1, 2]))
                self.assertEqual(result.returncode, 0)

    @unittest.skipIf(WINDOWS, "counts writes on a POSIX socket")
    def test_a_message_goes_out_in_one_write_a_piece(self):
        # Processes that share standard error do not mix their lines: a
        # line goes out in one write, or a longer one MESSAGE_PIECE bytes at
        # a time. Standard error is a socket that keeps each write a message
        # of its own.
        for arguments in (["numbers.txt"], ["n" * 2 * MESSAGE_PIECE]):
            with self.subTest(len(arguments[0])):
                ours, theirs = socket.socketpair(socket.AF_UNIX, socket.SOCK_SEQPACKET)
                with ours, theirs:
                    run("1 5", arguments, stderr=theirs)
                    theirs.close()
                    ours.settimeout(PATIENCE)
                    writes = list(iter(lambda: ours.recv(1 << 20), b""))
                said = message(f"ignoring '{arguments[0]}': the numbers are read from standard input;"
                               " see extremes --help")
                self.assert_same(b"".join(writes), said, "standard error")
                self.assertEqual([len(w) for w in writes],
                                 [len(said[k:k + MESSAGE_PIECE]) for k in range(0, len(said), MESSAGE_PIECE)])

    def test_options_are_answered_without_reading(self):
        # The output's first line, or the whole of it.
        usage = f"Usage: extremes [--help | --version]{EOL}"
        version = f"extremes {VERSION}{EOL}Released under the MIT licence, without warranty.{EOL}"
        for name, args, start, whole in [
            ("--help", ["--help"], usage, False),
            ("--help before other arguments", ["--help", "--version", "7"], usage, False),
            ("--version", ["--version"], version, True),
            ("--version before other arguments", ["--version", "--help"], version, True),
        ]:
            with self.subTest(name), tempfile.TemporaryFile() as f:
                f.write(b"2 1 2")
                f.seek(0)
                result = subprocess.run(PROGRAM + args, stdin=f, capture_output=True,
                                        timeout=PATIENCE)
                self.assertEqual((result.stderr, result.returncode), (b"", 0))
                self.assert_same(result.stdout if whole else result.stdout[:len(start)], start.encode())
                lines = result.stdout.split(EOL.encode())
                self.assertEqual(lines[-1], b"", "the last line's end")
                self.assertNotRegex(b"".join(lines), rb"[\r\n]", "a line end that is not EOL")
                self.assertEqual(os.lseek(f.fileno(), 0, os.SEEK_CUR), 0)

    @unittest.skipIf(SANITIZED, "the sanitizers' runtime is a library of its own")
    def test_the_program_needs_the_c_library_alone(self):
        needed = needed_libraries(PROGRAM[-1])
        c_library = {"kernel32.dll", "msvcrt.dll"} if WINDOWS else {"libc.so.6"}
        self.assertLessEqual({name.lower() for name in needed}, c_library, needed)


class WhiteSpaceAndSigns(Case):
    def test_table(self):
        self.check_table([
            ("several to a line", "3 1 2 3\n", 3, [1, 2, 3]),
            ("every kind of white space", " \t\n3\r\n\v1\f\t2 \r 3", 3, [1, 2, 3]),
            ("CRLF lines", "2\r\n4\r\n-4\r\n", 2, [4, -4]),
            ("plus sign", "2 +5 +0", 2, [5, 0]),
            ("leading zeros stay decimal", "3 010 -0009 +00", 3, [10, -9, 0]),
            ("leading zeros past eight digits", "3 000000001 0000000012345678 -00000000000000002147483648",
             3, [1, 12345678, -2147483648]),
            ("digits run into other bytes", "4 12345678x", 4, [12345678, 0, 0, 0],
             "value 1 is not a number: 'x'" + AFTER),
            ("the 0s after a failed read count in the extremes", "3 -5 -7 x", 3, [-5, -7, 0],
             "value 2 is not a number: 'x'" + LAST),
            ("more 0s after a failed read than one run of them", "2500 4 x", 2500, [4] + [0] * 2499,
             "value 1 is not a number: 'x'" + AFTER),
            ("minus zero", "1 -0", 1, [0]),
            ("input after the last value is not read", "2 1 2 3 junk -", 2, [1, 2]),
            ("a number stops at the first other byte", "3 7x 8", 3, [7, 0, 0],
             "value 1 is not a number: 'x'" + AFTER),
            ("no white space needed after a sign-less stop", "2 5-6", 2, [5, -6]),
            ("UTF-8 BOM skipped", b"\xef\xbb\xbf3 5 -2 7", 3, [5, -2, 7]),
            ("UTF-16LE", utf16("3 5 -2 7"), 3, [5, -2, 7]),
            ("UTF-16BE", utf16("3 5 -2\r\n7", "be"), 3, [5, -2, 7]),
            ("a non-ASCII unit ends a number", utf16("2 12\u3033 5"), 2, [12, 0],
             "value 1 is not a number: '?'" + LAST),
            ("an odd last byte of UTF-16 is no digit", utf16("1 7") + b"5", 1, [7]),
            ("a BOM further on is no white space", b"2 1 \xef\xbb\xbf2", 2, [1, 0],
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
                subprocess.run(PROGRAM, stdin=f, stdout=subprocess.DEVNULL, timeout=PATIENCE)
                self.assertEqual(os.lseek(f.fileno(), 0, os.SEEK_CUR), len(data) - len(rest))


class CountsOfZeroOrLess(Case):
    def test_table(self):
        self.check_table([
            ("zero", "0\n", 0, []),
            ("zero with values after it", "0 1 2 3", 0, []),
            ("negative", "-5 1 2", -5, []),
            ("most negative", "-2147483648", 0, []),
            ("empty input", "", 0, [], "the input ends before the count" + LAST),
            ("only white space", " \n\t ", 0, [], "the input ends before the count" + LAST),
            ("not a number", "abc 1 2", 0, [], "the count is not a number: 'abc'" + LAST),
            ("count out of range", "2147483648 1 2", 0, [], "the count is out of range" + LAST),
        ])


class FailedReads(Case):
    def test_table(self):
        # Before the euros, three bytes each in UTF-8, so that a quote's end
        # falls after the second byte of one.
        euro, lead = "\u20ac", "x" * ((QUOTE_ROOM + 1) % 3)
        self.check_table([
            ("not a number stops all reading", "4 1 x 3 4", 4, [1, 0, 0, 0],
             "value 1 is not a number: 'x'" + AFTER),
            ("early end", "3 8", 3, [8, 0, 0], "the input ends before value 1" + AFTER),
            ("no values at all", "2", 2, [0, 0], "the input ends before value 0" + AFTER),
            ("lone minus", "3 1 - 5", 3, [1, 0, 0], "value 1 is not a number: '-'" + AFTER),
            ("lone plus at the end", "2 1 +", 2, [1, 0], "value 1 is not a number: '+'" + LAST),
            ("double sign", "2 --1 5", 2, [0, 0], "value 0 is not a number: '--1'" + AFTER),
            ("one past the largest", "3 1 2147483648 5", 3, [1, 0, 0], "value 1 is out of range" + AFTER),
            ("one past the smallest", "3 1 -2147483649 5", 3, [1, 0, 0], "value 1 is out of range" + AFTER),
            ("far out of range", "2 99999999999 5", 2, [0, 0], "value 0 is out of range" + AFTER),
            ("many digits", "2 " + "9" * 50 + " 5", 2, [0, 0], "value 0 is out of range" + AFTER),
            ("a failed value is 0 in the scan", "3 -4 -2", 3, [-4, -2, 0], "the input ends before value 2" + LAST),
            ("a NUL byte is not white space", "2 1\0 2", 2, [1, 0], "value 1 is not a number: '?'" + LAST),
            # What stopped the read, quoted up to white space.
            ("a thousands separator", "4\n5\n1,000\n7\n", 4, [5, 1, 0, 0],
             "value 2 is not a number: ',000'" + AFTER),
            ("a quote as long as it may be", "2 1 " + "x" * QUOTE_ROOM + " 5", 2, [1, 0],
             f"value 1 is not a number: '{'x' * QUOTE_ROOM}'" + LAST),
            ("a longer quote cut, the sign counted", "2 1 -" + "x" * QUOTE_ROOM + " 5", 2, [1, 0],
             f"value 1 is not a number: '-{'x' * (QUOTE_ROOM - 1)}'..." + LAST),
            ("control characters quoted as ?", "2 1 x\x1f\x7f\u00e9\t5", 2, [1, 0],
             "value 1 is not a number: 'x??\u00e9'" + LAST),
            ("a quote not cut inside a UTF-8 character", "1 " + lead + euro * QUOTE_ROOM, 1, [0],
             f"value 0 is not a number: '{lead}{euro * ((QUOTE_ROOM - len(lead)) // 3)}'..." + LAST),
            ("UTF-16 outside ASCII quoted as ?", utf16("2 1 \u0080x\u3033 5"), 2, [1, 0],
             "value 1 is not a number: '?x?'" + LAST),
            ("bytes that are not UTF-8 cut three bytes short at most", b"1 " + b"\x80" * QUOTE_ROOM * 2, 1, [0],
             "value 0 is not a number: '" + "\udc80" * (QUOTE_ROOM - 3) + "'..." + LAST),
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
            self.assertEqual(p.wait(timeout=PATIENCE), 0)
        self.assert_same(out, transcript(3, [1, 0, 0]))

    def test_unreadable_input_is_reported(self):
        directory = os.open("/", os.O_RDONLY)
        self.addCleanup(os.close, directory)
        result = subprocess.run(PROGRAM, stdin=directory, capture_output=True, timeout=PATIENCE)
        self.assert_same(result.stdout, transcript(0, []))
        # The reason is the platform's: Windows calls it an invalid argument.
        self.assertRegex(result.stderr.decode(), f"^extremes: read error: [^\n]+{EOL}$")
        self.assertEqual(result.returncode, 1)

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
        self.check_table(table, from_file=True)

class InputInAnyPieces(Case):
    """Inputs made at random of numbers, white space and what is neither, the
    end of a file's first block of input often put inside or beside one of them,
    fed four ways and compared with a plain model of the program: the output,
    the failed read named, and from a file the offset left behind."""

    BOMS = {"bytes": b"", "UTF-8": b"\xef\xbb\xbf", "UTF-16-LE": b"\xff\xfe", "UTF-16-BE": b"\xfe\xff"}
    NUMBER = re.compile(rb"[ \t\n\v\f\r]*([+-]?)([0-9]*)")
    WORD = re.compile(rb"[^ \t\n\v\f\r]*")

    def model(self, data):
        """The count, the values the program ends up with, the lines that may
        name the read that failed (None if none did): fed from a file, the
        second; fed otherwise, one of the first, as its quote shows what had
        come of the text that stopped the read; and the bytes left unread."""
        encoding = next(e for e, m in reversed(self.BOMS.items()) if data.startswith(m))
        bom = self.BOMS[encoding]
        text, width = data[len(bom):], 1 + encoding.startswith("UTF-16")
        if width == 2:
            order = "little" if encoding.endswith("LE") else "big"
            units = (int.from_bytes(text[k:k + 2], order) for k in range(0, len(text) - 1, 2))
            text = bytes(u if u < 0x80 else ord("?") for u in units)
        pos, numbers, said, held = 0, [], [None], 0
        while not numbers or len(numbers) <= numbers[0]:
            m = self.NUMBER.match(text, pos)
            pos = m.end() if m[2] else m.end(1)
            read = f"value {len(numbers) - 1}" if numbers else "the count"
            if not m[2] and pos == len(text) and not m[1]:
                said = [f"the input ends before {read}"]
            elif not m[2]:
                # The quote shows the text held after the sign, k characters
                # of it: at least the first; from a file, those up to the end
                # of the block that holds the first.
                word = self.WORD.match(text, pos)[0]
                said = [f"{read} is not a number: {quote(m[1] + word[:k])}" for k in range(len(word) + 1)]
                block_end = ((len(bom) + width * (pos + 1) - 1) // INPUT_BLOCK + 1) * INPUT_BLOCK
                held = min((block_end - len(bom)) // width - pos, len(word))
            elif not -2**31 <= int(m[1] + m[2]) < 2**31:
                said = [f"{read} is out of range"]
            if said != [None]:
                said = [s + (AFTER if numbers and len(numbers) < numbers[0] else LAST) for s in said]
                break
            numbers.append(int(m[1] + m[2]))
        count = numbers[0] if numbers else 0
        values = numbers[1:] + [0] * (count + 1 - len(numbers))
        return count, values, said[1:] or said, said[held], len(data) - len(bom) - width * pos

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
        encoding = rng.choice(list(self.BOMS))
        bom, width = self.BOMS[encoding], 1 + encoding.startswith("UTF-16")
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
        cases = [self.random_case(rng) for _ in range(60 if slow else 240)]
        # More values than one block of the storage holds, every one read.
        values = [rng.randint(-2**31, 2**31 - 1) for _ in range(VALUES_PER_BLOCK + 2)]
        cases.append((f"{len(values)} values", " ".join(map(str, [len(values)] + values)).encode()))
        for name, data in cases:
            count, values, said, said_from_file, unread = self.model(data)
            for way in ["from a file", "in one write", "in odd pieces", "a byte at a time"]:
                if way == "a byte at a time" and len(data) > 4096:
                    continue
                with self.subTest(name, way=way):
                    out, status, err, left = self.feed(data, way, rng)
                    line = said_from_file if way == "from a file" else \
                        next((s for s in said if message(s) == err), said[-1])
                    self.assert_run((out, status, err), (transcript(count, values), 0, message(line)))
                    if way == "from a file":
                        self.assertEqual(left, unread)


class NumbersSplitAcrossWrites(Case):
    def check_split(self, non_blocking=False):
        """The second piece is sent only once the program has read the first
        and, waiting for more, has shown the prompt named here: through a
        pipe, which non_blocking leaves the program as O_NONBLOCK."""
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
                self.assertNotIn(f"Enter your {i + 1} ".encode(), seen)
                p.stdin.write(f"{v}\n".encode())
                p.stdin.flush()
            p.stdin.close()
            seen = self.read_until(fd, seen=seen)
        self.assert_same(seen, transcript(len(values), values))

    @unittest.skipIf(WINDOWS, "counts writes on a POSIX socket")
    def test_waiting_input_is_answered_without_a_write_per_prompt(self):
        # 1,000 values already in a file make about 60 KB of output: it goes
        # out in a couple of large writes, not one per prompt. Standard
        # output is a socket that keeps each write a message of its own.
        values = list(range(1000))
        ours, theirs = socket.socketpair(socket.AF_UNIX, socket.SOCK_SEQPACKET)
        with ours, tempfile.TemporaryFile() as f:
            f.write(("1000 " + " ".join(map(str, values))).encode())
            f.seek(0)
            with started(PROGRAM, stdin=f, stdout=theirs):
                theirs.close()
                ours.settimeout(PATIENCE)
                writes = list(iter(lambda: ours.recv(1 << 20), b""))
        self.assert_same(b"".join(writes), transcript(1000, values))
        self.assertLessEqual(len(writes), 3, [len(w) for w in writes])

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
                os.close(writer)
                self.until_full(p, reader)
                out = self.read_until(reader)
                self.assertEqual((p.wait(timeout=PATIENCE), p.stderr.read()), (0, b""))
        self.assert_same(out, page + transcript(len(values), values))

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
        # to GROWN_PIPE.
        for name, values, grown in [
            ("a short output", [5, -2, 7], False),
            ("an output as large as the pipe", 0, False),
            ("an output a byte larger", 1, True),
            ("a much larger output", [7] * 100000, True),
        ]:
            with self.subTest(name), tempfile.TemporaryFile() as f:
                reader, writer = os.pipe()
                size = fcntl.fcntl(writer, fcntl.F_GETPIPE_SZ)
                if isinstance(values, int):
                    values = self.values_written_in(size + values)
                f.write(" ".join(map(str, [len(values)] + values)).encode())
                f.seek(0)
                with open(reader, "rb") as out:
                    with started(PROGRAM, stdin=f, stdout=writer) as p:
                        os.close(writer)
                        self.assert_same(self.read_until(out.fileno()), transcript(len(values), values))
                    self.assertEqual(fcntl.fcntl(reader, fcntl.F_GETPIPE_SZ), GROWN_PIPE if grown else size)

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
            self.assertEqual(fcntl.fcntl(reader, fcntl.F_GETPIPE_SZ), 4 * GROWN_PIPE)
            self.assert_same(out.read(), transcript(1, [5]))


class Terminal(Case):
    """A person at a terminal: a pseudo-terminal, or for the Windows build
    the console that wine keeps on one."""

    def start(self):
        """The program, with all three of its streams on the terminal."""
        leader, follower = os.openpty()
        if WINDOWS:  # wine's console edits the line itself, and takes Enter as "\r"
            tty.setraw(follower)
        p = subprocess.Popen(PROGRAM, stdin=follower, stdout=follower, stderr=follower)
        os.close(follower)
        self.addCleanup(os.close, leader)
        self.addCleanup(p.kill)
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
        self.assertNotIn(b"Enter your 1", seen)
        os.write(term, b"-3\r")
        seen = self.screen(term, "Enter your 1 number : ", seen)
        os.write(term, b"8\r")
        self.screen(term, "max is 8\nmin is -3\n0 value you have entered is : -3\n"
                         "1 value you have entered is : 8\n", seen)
        self.assertEqual(p.wait(timeout=PATIENCE), 0)

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
        self.assertEqual(p.wait(timeout=PATIENCE), 0)


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
                result = subprocess.run(PROGRAM + args, stdin=f, stdout=out, stderr=subprocess.PIPE,
                                        timeout=PATIENCE, preexec_fn=limit and (
                                            lambda: resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))))
                self.assertEqual(result.stderr, f"extremes: write error: {reason}{EOL}".encode())
                self.assertEqual(result.returncode, 1)
                self.assertEqual(os.lseek(f.fileno(), 0, os.SEEK_CUR), len(data) - len(rest))
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
            self.assertEqual(p.wait(timeout=PATIENCE), 1)
        self.assertEqual(err[filled:], b"extremes: read error: Is a directory\n")

    @unittest.skipIf(WINDOWS, "closes a POSIX file descriptor")
    def test_closed_output(self):
        result = subprocess.run(PROGRAM, input=b"1 5", stdout=subprocess.DEVNULL,
                                stderr=subprocess.PIPE, timeout=PATIENCE,
                                preexec_fn=lambda: os.close(1))
        self.assertEqual(result.stderr, b"extremes: write error: Bad file descriptor\n")
        self.assertEqual(result.returncode, 1)

    def test_a_closed_pipe_ends_the_run_quietly_and_leaves_the_file_offset(self):
        # 20 million prompts would take a while to write out; the run must
        # end at the first write to a closed pipe, of the output or of a
        # message, and leave the file offset where the reading stopped:
        # killed by SIGPIPE, or with status 1 where SIGPIPE was ignored or
        # blocked when it started, or on Windows, which has no SIGPIPE. With
        # no message to write, standard error's pipe does not matter.
        sigpipe_at_start = {
            "default": lambda: signal.signal(signal.SIGPIPE, signal.SIG_DFL),
            "ignored": lambda: signal.signal(signal.SIGPIPE, signal.SIG_IGN),
            "blocked": lambda: signal.pthread_sigmask(signal.SIG_BLOCK, [signal.SIGPIPE]),
        }
        start = "enter the array length : " + "".join(f"Enter your {i} number : " for i in range(5))
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
                with started(PROGRAM + args, stdin=f, **streams,
                             preexec_fn=sigpipe_at_start[sigpipe]) as p:
                    os.close(writer)
                    if closed == "standard output":
                        seen = self.read_until(reader, start[-30:].encode())
                        self.assert_same(seen[:len(start)], start.encode())
                        os.close(reader)
                    if whole is not None:
                        self.assert_same(self.read_until(p.stdout.fileno()), whole)
                    status = p.wait(timeout=PATIENCE)
                    if closed == "standard output":
                        self.assertEqual(p.stderr.read(), b"")
                self.assertEqual(status, 0 if not fails else -signal.SIGPIPE if killed else 1)
                self.assertEqual(os.lseek(f.fileno(), 0, os.SEEK_CUR), offset)


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
    def peak_kib(self, data, limit=None):
        """Runs the program on data with output to /dev/null: its peak resident
        size in KiB, its status and what it wrote on standard error."""
        with tempfile.TemporaryFile() as f, tempfile.NamedTemporaryFile("r") as report:
            f.write(data)
            f.seek(0)
            pre = (lambda: resource.setrlimit(resource.RLIMIT_AS, (limit, limit))) if limit else None
            result = subprocess.run([PEAK_MEMORY, report.name] + PROGRAM,
                                    stdin=f, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                    preexec_fn=pre, timeout=PATIENCE)
            return int(report.read()), result.returncode, result.stderr

    @NATIVE_MEMORY
    def test_a_large_count_with_few_values_stays_small(self):
        base, status, _ = self.peak_kib(b"3 1 2 3")
        self.assertEqual(status, 0)
        peak, status, _ = self.peak_kib(b"20000000 1 2 3")
        self.assertEqual(status, 0)
        self.assertLess(peak - base, 4 * 1024, f"{base} KiB for 3 values, {peak} KiB for the count")

    @NATIVE_MEMORY
    @unittest.skipIf(SANITIZED, "the sanitizers add their own bookkeeping to every allocation")
    def test_values_take_four_bytes_each(self):
        n = 2000000
        base, _, _ = self.peak_kib(b"3 1 2 3")
        peak, status, _ = self.peak_kib(f"{n} ".encode() + b"-1\n" * n)
        self.assertEqual(status, 0)
        self.assertLess(peak - base, n * 4 // 1024 + 2 * 1024)

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
                    result = subprocess.run(PROGRAM, stdin=f, stdout=out, stderr=subprocess.PIPE,
                                            timeout=PATIENCE, preexec_fn=lambda: [
                                                resource.setrlimit(r, (v, v)) for r, v in limits])
                    out.seek(0)
                    return result.returncode, result.stderr, out.read(), os.lseek(f.fileno(), 0, os.SEEK_CUR)

            status, err, output, offset = run_out()
            self.assertEqual((status, err), (1, b"extremes: out of memory\n"))
            # The output is every prompt up to the last, whole. The value at
            # n - 1 was read, and found no room: the input is left just
            # after it.
            n = int(re.search(rb"Enter your (\d+) number : $", output[-100:])[1]) + 1
            self.assert_same(output, b"enter the array length : "
                             + b"".join(b"Enter your %d number : " % i for i in range(n)))
            self.assertEqual(offset, len(count) + len(b"7\n") * n - 1)
            # Memory runs out at the same value again; with a file-size
            # limit a byte short of that output, the write that then fails
            # is reported after it.
            status, err, short, _ = run_out((resource.RLIMIT_FSIZE, len(output) - 1))
            self.assertEqual((status, err), (1, b"extremes: out of memory\nextremes: write error: File too large\n"))
            self.assert_same(short, output[:-1])

    @unittest.skipIf(WINDOWS or EMULATED, "limits the stack of a native POSIX process")
    @unittest.skipIf(SANITIZED, "the sanitizers need a larger stack of their own")
    def test_a_small_stack_is_enough(self):
        small = 32 * 1024
        result = run("3 5 -2 7", preexec_fn=lambda: resource.setrlimit(
            resource.RLIMIT_STACK, (small, small)))
        self.assert_run((result.stdout, result.returncode, result.stderr), (transcript(3, [5, -2, 7]), 0, b""))


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
        self.assertEqual(err, f"extremes: out of memory{EOL}status 1\n".encode())
        self.assertGreater(int(re.search(rb"Enter your (\d+) number : $", out)[1]), 536870912)


def case_ids(suite):
    for test in suite:
        yield from case_ids(test) if isinstance(test, unittest.TestSuite) else [test.id()]


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
    else:
        loader, names = unittest.TestLoader(), [o for o in OPTIONS if not o.startswith("--")]
        suite = loader.loadTestsFromNames(names, sys.modules[__name__]) if names else \
            loader.loadTestsFromModule(sys.modules[__name__])
        cases = set(case_ids(suite))
        result = unittest.TextTestRunner(failfast=True).run(suite)
        for test, reason in result.skipped:
            print(f"skipped: {test.id()}: {reason}")
        if any(test.id() not in cases for test, _ in result.skipped):
            sys.exit("a row was skipped where the others of its case ran: "
                     "give it a case of its own, so that CTest shows the skip")
        sys.exit(1 if not result.wasSuccessful() else
                 77 if result.skipped and len(result.skipped) == result.testsRun else 0)
