"""Standard input: numbers and what is not one, in every encoding, however the input comes."""

from common import *  # noqa: F401,F403


class WhiteSpaceAndSigns(Case):
    def test_table(self):
        self.check_table([
            ("every kind of white space, CRLF lines, several to a line", " \t\n3\r\n\v1\f\t2 \r -3\r\n", 3,
             [1, 2, -3]),
            ("leading zeros stay decimal, past eight digits too; minus zero", "7 -0 010 -0009 +00 000000001 0000000012345678 "
             "-00000000000000002147483648", 7, [0, 10, -9, 0, 1, 12345678, -2147483648]),
            ("digits run into other bytes", "4 12345678x\n", 4, [12345678, 0, 0, 0],
             "value 1 is not a number: 'x'" + AFTER),
            ("the 0s after a failed read, more than one run of them, count in the extremes", "2500 -4 x\n", 2500,
             [-4] + [0] * 2499, "value 1 is not a number: 'x'" + AFTER),
            ("input after the last value is not read", "2 1 2 3 junk -", 2, [1, 2]),
            ("UTF-8 BOM skipped", b"\xef\xbb\xbf3 5 -2 7", 3, [5, -2, 7]),
            ("UTF-16LE", utf16("3 5 -2 7"), 3, [5, -2, 7]),
            ("UTF-16BE", utf16("3 5 -2\r\n7", "be"), 3, [5, -2, 7]),
            ("a non-ASCII unit ends a number", utf16("2 12\u3033 5"), 2, [12, 0],
             "value 1 is not a number: '?'" + LAST),
            ("an odd last byte of UTF-16 is no digit", utf16("1 7") + b"5", 1, [7]),
            ("a BOM further on is no white space", b"2 1 \xef\xbb\xbf2\n", 2, [1, 0],
             "value 1 is not a number: '?2'" + LAST),
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
            with self.subTest(name), holding(data) as f:
                complete(PROGRAM, stdin=f, stdout=subprocess.DEVNULL)
                self.assertEqual(os.lseek(f.fileno(), 0, os.SEEK_CUR), len(data) - len(rest), "the file offset")


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
            ("controls, format characters and separators quoted as ?, printable UTF-8 as itself",
             "2 1 x\x1f\x7f\u009b31m\u009f\u00a0\u00e9\u65e5\U0010ffff\u202e\ufeff\u2028z\t5", 2, [1, 0],
             "value 1 is not a number: 'x???31m?\u00a0\u00e9\u65e5\U0010ffff???z'" + LAST),
            ("bytes of no UTF-8 character quoted as ?: lone, cut, overlong, surrogate, past U+10FFFF",
             b"2 1 \x9b\xff\xe2\x82x\xc1\xbf\xe0\x9f\xbf\xed\xa0\x80\xf4\x90\x80\x80 5", 2, [1, 0],
             "value 1 is not a number: '????x" + "?" * 12 + "'" + LAST),
            ("a quote not cut inside a UTF-8 character", "1 " + lead + face * QUOTE_ROOM, 1, [0],
             f"value 0 is not a number: '{lead}{face * ((QUOTE_ROOM - len(lead)) // 4)}'..." + LAST),
            ("UTF-16 outside ASCII quoted a unit at a time as ?", utf16("2 1 \u0080x\u3033\U0001f600 5"), 2,
             [1, 0], "value 1 is not a number: '?x???'" + LAST),
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


class InputInAnyPieces(Case):
    """Random inputs of numbers, white space and what is neither, a file's
    first block often ending in or beside one, and every byte where a digit,
    a sign or white space may stand, fed four ways and compared with a model:
    the output, the failed read named, from a file the offset left."""

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
        # Every byte where a digit, a sign or white space may stand, read on
        # the fast path (from a file) and on the slow one (a byte at a time);
        # under wine, qemu or the sanitizers, those at the edges of each class.
        # A kind of difference: the way, and which of the output, the status
        # and standard error differ.
        rows = []
        for b, where, way in itertools.product(b"\0\b\t\r\x0e\x1f !*+,-./09:\x7f\x80\xff" if slow else range(256),
                                               (b"2 1<b>2", b"2<b>1 2"), ways[::3]):
            data = where.replace(b"<b>", bytes([b]))
            count, values, said, fed, _ = model(data)
            out, status, err, _ = self.feed(data, way, rng)
            line = said if way == "from a file" else line_fed(fed, err)
            rows.append((data, (way, transcript(count, values), 0, message(line)), (way, out, status, err)))
        self.assert_each(rows, "the input", lambda e, g: tuple(x == y for x, y in zip(e, g)))


class NumbersSplitAcrossWrites(Case):
    def check_split(self, non_blocking=False):
        """The second piece is sent only once the program, waiting for more,
        has shown the prompt named here: through a pipe, which non_blocking
        leaves O_NONBLOCK."""
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


if __name__ == "__main__":
    main(sys.modules[__name__])
