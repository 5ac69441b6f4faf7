"""The values held: memory that follows the values read, and running out of it."""

from common import *  # noqa: F401,F403


NATIVE_MEMORY = unittest.skipIf(
    not PEAK_MEMORY or EMULATED, "measures the memory of a native POSIX process, not of an emulator")


class Memory(Case):
    def peak_kib(self, data):
        """The program's peak resident size in KiB on data, status, error output."""
        with holding(data) as f, tempfile.NamedTemporaryFile("r") as report:
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
        with holding(count + b"7\n" * 20000000) as f:

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

    @FAILING_CALLS
    def test_running_out_of_memory_for_the_table_of_blocks(self):
        # The table is allocated by realloc, with the first value.
        self.assert_run(run("2 5 7", env=PRELOADED),
                        (b"enter the array length : Enter your 0 number : ", 1, b"extremes: out of memory\n"))

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


if __name__ == "__main__":
    main(sys.modules[__name__])
