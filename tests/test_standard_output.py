"""Standard output: each prompt before its answer is awaited, blocks, pipes, writes that fail."""

from common import *  # noqa: F401,F403


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
        with ours, holding(f"{len(values)} {' '.join(map(str, values))}".encode()) as f:
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
        with holding(f"{len(values)} ".encode() + b"7\n" * len(values)) as f:
            with started(PROGRAM, stdin=f, stdout=writer, stderr=subprocess.PIPE) as p:
                self.until_full(p, writer)
                os.close(writer)
                out = self.read_until(reader)
                self.assert_run((out, p.wait(timeout=PATIENCE), p.stderr.read()),
                                (page + transcript(len(values), values), 0, b""))

    def grow_pipe(self, fd, size):
        """Grows the pipe fd to size bytes. Past the system's limit, 1 MiB by
        default, that takes CAP_SYS_RESOURCE, or the limit raised for the
        moment where EXTREMES_TEST_PIPE_LIMIT=raise allows it, as in CI."""
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
            reader, writer = os.pipe()
            if grown is None:
                fcntl.fcntl(writer, fcntl.F_SETPIPE_SZ, GROWN_PIPE)
            size = fcntl.fcntl(writer, fcntl.F_GETPIPE_SZ)
            if isinstance(values, int):
                values = self.values_written_in(size + values)
            with self.subTest(name), holding(" ".join(map(str, [len(values)] + values))) as f:
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

    def test_person_sees_each_prompt_before_typing(self):
        p, term = self.at_terminal()
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
        p, term = self.at_terminal()
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
        (ulimit -f), which takes what fits. The run that fails leaves the
        input's file offset where it stopped reading: before rest."""
        for name, data, args, rest, limit, reason in table:
            with self.subTest(name), holding(data) as f, \
                    (tempfile.TemporaryFile() if limit else open("/dev/full", "wb")) as out:
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

    @FAILING_CALLS
    def test_a_failed_close_of_the_output(self):
        self.assert_run(run("0", env=PRELOADED), (transcript(0, []), 1, b"extremes: write error: Input/output error\n"))

    @unittest.skipIf(WINDOWS, "closes a POSIX file descriptor")
    def test_closed_output(self):
        result = complete(PROGRAM, input=b"1 5", stdout=subprocess.DEVNULL, preexec_fn=lambda: os.close(1))
        self.assert_run((b"", result.returncode, result.stderr),
                        (b"", 1, b"extremes: write error: Bad file descriptor\n"))

    def test_a_closed_pipe_ends_the_run_quietly_and_leaves_the_file_offset(self):
        # The run ends at the first write to a closed pipe, of the output or
        # of a message (20 million prompts would take a while), the file
        # offset where the reading stopped: killed by SIGPIPE, or with status
        # 1 where SIGPIPE was ignored or blocked, and on Windows. Standard
        # output's pipe is closed once full: with the input a pipe too, wine
        # then fails the write as ERROR_NOT_SUPPORTED, which must read EPIPE.
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
            with self.subTest(closed=closed, sigpipe=sigpipe), holding(data) as f, open("/dev/full", "wb") as full:
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


if __name__ == "__main__":
    main(sys.modules[__name__])
