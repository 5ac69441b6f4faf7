"""What the end-to-end suites, test_<part>.py, share; each takes every name
here (the modules too) with import *, and is run as

    python3 tests/test_<part>.py [THEME[.CASE]...] --program-version=VERSION --boundaries=PRINTER
                                 [--sanitized] [--peak-memory=HELPER] [--fail-calls=LIBRARY] -- COMMAND...
    python3 tests/test_<part>.py --cases

COMMAND starts the program: build/extremes, wine build-win32/extremes.exe
(whose lines end in CRLF), or qemu with a build for another processor.
CTest runs each case (a test method of a theme, a TestCase class) as a test,
as --cases lists them, with its theme's seconds. VERSION is the version
--version tells; PRINTER, HELPER and LIBRARY are tests/boundaries.cpp,
peak_memory.cpp and fail_calls.cpp built; --sanitized says the sanitizers
are in. A run stops at its first failure; its status is 77, skipped, when
every case it ran was skipped, and a row skipped where the others of its
case ran fails it.
"""

import contextlib
import errno
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
import unittest

SPLIT = sys.argv.index("--") if "--" in sys.argv else len(sys.argv)
PROGRAM = sys.argv[SPLIT + 1:] or [""]
OPTIONS = sys.argv[1:SPLIT]
SANITIZED = "--sanitized" in OPTIONS
VERSION = next((o.split("=", 1)[1] for o in OPTIONS if o.startswith("--program-version=")), None)
PEAK_MEMORY = next((o.split("=", 1)[1] for o in OPTIONS if o.startswith("--peak-memory=")), None)
FAIL_CALLS = next((o.split("=", 1)[1] for o in OPTIONS if o.startswith("--fail-calls=")), None)
WINDOWS = PROGRAM[-1].endswith(".exe")
EMULATED = os.path.basename(PROGRAM[0]).startswith("qemu")
EOL = "\r\n" if WINDOWS else "\n"
# The longest that a test waits for the program to write, to read or to
# end; one that waits this long has found a hang. Generous, as the machines
# that run this are shared, and wine, qemu and the sanitizers are many times
# slower than the program alone.
PATIENCE = 60 if WINDOWS or EMULATED or SANITIZED else 20
# What the manual promises: the most bytes of a quote in a message, of a
# write of a line on standard error, and of input read at a time, and the
# size that the program grows a pipe on its standard output to.
QUOTE_ROOM = 32
MESSAGE_PIECE = 256
INPUT_BLOCK = 64 << 10
GROWN_PIPE = 1 << 20

# The process groups that the run started, one for each program.
GROUPS = set()


def end_group(group):
    with contextlib.suppress(ProcessLookupError):
        os.killpg(group, signal.SIGKILL)


@contextlib.contextmanager
def started(command, **kw):
    """subprocess.Popen in a process group of its own, all killed as the block
    ends: at once where it fails, else after its input is closed and PATIENCE
    given to end, and before anything the block holds is closed."""
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


def holding(data):
    """A temporary file that holds data, str or bytes, read from its start."""
    f = tempfile.TemporaryFile()
    f.write(data.encode() if isinstance(data, str) else data)
    f.seek(0)
    return f


def run(data, args=(), from_file=False, **kw):
    """Runs the program on data, through a pipe or from a file, which is read
    in blocks of exactly INPUT_BLOCK bytes."""
    data = data.encode() if isinstance(data, str) else data
    with holding(data) as f:
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


# The library that, preloaded, makes close(1) and realloc fail in the program.
FAILING_CALLS = unittest.skipUnless(FAIL_CALLS, "preloads a library: needs the program linked dynamically"
                                                " on Linux, without the sanitizers")
PRELOADED = dict(os.environ, LD_PRELOAD=FAIL_CALLS or "")


# What a line on standard error shows as ?: the controls, format characters
# and separators (Cc, Cf, Zl, Zp) of Unicode 15.0.0, whatever python3's is.
with open(os.path.join(os.path.dirname(__file__), "unshown-15.0.0.txt")) as f:
    UNSHOWN = {c for first, _, last in (line.split()[0].partition("..") for line in f if line[0] != "#")
               for c in range(int(first, 16), int(last or first, 16) + 1)}


def shown(text, room=None):
    """The bytes text as a line on standard error shows them, up to room
    bytes: whole UTF-8 characters, each one of UNSHOWN among them as ?, and
    ? for each byte of none (surrogateescape); and the bytes shown."""
    out, k = "", 0
    for c in text.decode(errors="surrogateescape"):
        n = len(c.encode(errors="surrogateescape"))
        if room is not None and k + n > room:
            break
        out, k = out + ("?" if ord(c) in UNSHOWN or "\ud800" <= c <= "\udfff" else c), k + n
    return out, k


def quote(held, more=False):
    """How a failed read's line quotes the bytes held where the number was to
    begin: QUOTE_ROOM at most, then ... where more was held or may follow."""
    text, n = shown(held, QUOTE_ROOM)
    return f"'{text}'" + ("..." if more or n < len(held) else "")


def line_fed(lines, err):
    """Of the lines that may name a failed read, the one written, or the last."""
    return next((line for line in lines if message(line) == err), lines[-1])


def ignoring(quoted):
    """The line that names ignored arguments, each shown as quoted has it."""
    return message("ignoring " + ", ".join(f"'{q}'" for q in quoted) +
                   ": the numbers are read from standard input; see extremes --help")


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
        with, and the failed read it names, if any, reading a file; every_way
        feeds each also in one write and a byte at a time, and in UTF-16."""
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
        """Compares a run's output, status and error output (or a CompletedProcess)
        with those expected, standard error first, where a sanitizer reports."""
        if isinstance(got, subprocess.CompletedProcess):
            got = (got.stdout, got.returncode, got.stderr)
        self.assert_same(got[2], expected[2], "standard error")
        self.assert_same(got[0], expected[0], "the output")
        self.assertEqual(got[1], expected[1], "the exit status")

    def assert_each(self, rows, what, kind=lambda expected, got: (expected, got)):
        """Fails where rows of a sweep, (text, expected, got), differ: for each kind
        of difference, the first row that showed it, and how many were alike."""
        kinds = {}
        for text, expected, got in rows:
            if expected != got:
                kinds.setdefault(kind(expected, got), []).append((text, expected, got))
        if kinds:
            self.fail("; ".join(f"{what} {alike[0][0]!r}: expected {alike[0][1]!r}, got {alike[0][2]!r}"
                                f" ({len(alike)} alike)" for alike in kinds.values()))

    def assert_same(self, got, expected, what="the output"):
        """Fails, as cmp does, at the first byte where got differs from
        expected, naming its line and showing that line as expected and as
        got, cut around the byte; found by halving, with no diff, so that a
        large output fails as fast as a small one."""
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
        and from a file the bytes left unread. A piece sent on a socket of
        messages (under wine, a pipe) is one read, at most INPUT_BLOCK."""
        with holding(data) as f, tempfile.TemporaryFile() as out:
            if way == "from a file":
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
        """Returns the bytes read from fd once want shows in what shown makes of
        them, or without want at its end; fails if that does not come in time."""
        deadline = time.monotonic() + PATIENCE
        while want is None or want not in shown(seen):
            ready, _, _ = select.select([fd], [], [], max(deadline - time.monotonic(), 0))
            self.assertTrue(ready, f"waited in vain for {want or 'the end'!r}; "
                                   f"got {shown(seen)[-300:]!r}")
            try:
                chunk = os.read(fd, 1 << 20)
            except OSError as e:  # EIO: a terminal that no program holds open any more
                if e.errno != errno.EIO:
                    raise
                chunk = b""
            if not chunk and want is None:
                return seen
            self.assertTrue(chunk, f"output ended before {want!r}; got {shown(seen)[-300:]!r}")
            seen += chunk
        return seen

    def at_terminal(self, args=(), data=None):
        """The program and a pseudo-terminal (under wine, the console kept on one)
        that its output, error output and input, or else a file of data, are."""
        leader, follower = os.openpty()
        if WINDOWS:  # wine's console edits the line itself, and takes Enter as "\r"
            tty.setraw(follower)
        stdin = follower if data is None else self.enterContext(holding(data))
        p = self.enterContext(started(PROGRAM + list(args), stdin=stdin, stdout=follower, stderr=follower))
        os.close(follower)
        self.addCleanup(os.close, leader)
        return p, leader

    def screen(self, term, want, seen=b""):
        """Reads the terminal until want shows on it, without the escape sequences
        that wine's console draws with, moving the cursor over a blank too."""
        def shown(raw):
            text = re.sub(rb"\x1b\[(\d*)C", lambda m: b" " * int(m[1] or 1), raw)
            text = re.sub(rb"\x1b\[[0-9;?]*[A-Za-z]", b"", text)
            return text.replace(b"\r", b"")

        return self.read_until(term, want.encode(), seen, shown)

    def until_full(self, p, writer):
        """Returns once the pipe that process p writes, whose write end is
        writer, is full (select, every millisecond: no event marks it); fails
        if the program ends first or does not fill it in time."""
        deadline = time.monotonic() + PATIENCE
        while select.select([], [writer], [], 0)[1]:
            self.assertIsNone(p.poll(), "the program ended before it filled the pipe")
            self.assertLess(time.monotonic(), deadline, "the program never filled the pipe")
            time.sleep(0.001)


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


if "--cases" not in OPTIONS and os.path.basename(PROGRAM[0]).startswith("wine"):
    # The first program that wine starts leaves its services running, and
    # they keep the streams they were given: a test's pipe would then never
    # close. So they are started here, on /dev/null, and the wine server is
    # kept for a minute after its last program, from one test to the next.
    os.makedirs(os.environ.get("WINEPREFIX", os.path.expanduser("~/.wine")), exist_ok=True)
    os.environ["LC_ALL"] = "C.UTF-8"
    quiet = {"stdin": subprocess.DEVNULL, "stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL}
    subprocess.run(["wineserver", "-p60"], timeout=PATIENCE, **quiet)  # fails when one runs already: fine
    subprocess.run(["wineboot", "--init"], check=True, timeout=PATIENCE, **quiet)

# The values stored to a block, as tests/boundaries.cpp, built with the
# program and run as it is, prints them.
BOUNDARIES = {}
if helper := next((o.split("=", 1)[1] for o in OPTIONS if o.startswith("--boundaries=")), None):
    said = subprocess.run(PROGRAM[:-1] + [helper], capture_output=True, check=True, timeout=PATIENCE).stdout.split()
    BOUNDARIES = {name.decode(): int(value) for name, value in zip(said[::2], said[1::2])}
VALUES_PER_BLOCK = BOUNDARIES.get("values_per_block")


def main(module):
    """Lists the module's cases (--cases), or runs those named, or all."""
    loader = unittest.TestLoader()
    if OPTIONS == ["--cases"]:
        # Each case as the test loader finds it, for CMake: "<theme>.<case>
        # <seconds it may take>", then its theme's label, if any.
        for name, theme in list(vars(module).items()):
            if isinstance(theme, type) and issubclass(theme, unittest.TestCase):
                for case in loader.getTestCaseNames(theme):
                    print(f"{name}.{case} {theme.TIMEOUT}" + (f" {theme.LABEL}" if theme.LABEL else ""))
        sys.exit()
    names = [o for o in OPTIONS if not o.startswith("--")]
    suite = loader.loadTestsFromNames(names, module) if names else loader.loadTestsFromModule(module)
    cases = {test.id() for test in tests(suite)}
    signal.signal(signal.SIGALRM, out_of_time)
    signal.alarm(sum(type(test).TIMEOUT for test in tests(suite)) - 10)
    result = unittest.TextTestRunner(failfast=True).run(suite)
    for test, reason in result.skipped:
        print(f"skipped: {test.id()}: {reason}")
    if any(test.id() not in cases for test, _ in result.skipped):
        sys.exit("a row was skipped where the others of its case ran: "
                 "give it a case of its own, so that CTest shows the skip")
    sys.exit(1 if not result.wasSuccessful() else
             77 if result.skipped and len(result.skipped) == result.testsRun else 0)
