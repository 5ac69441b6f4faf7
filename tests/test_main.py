"""The run as a whole: the dialogue, the report, the options, counts of zero or less, the libraries."""

from common import *  # noqa: F401,F403


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
            with self.subTest(name), holding(b"2 1 2") as f:
                self.assert_run(complete(PROGRAM + args, stdin=f), (said.replace("\n", EOL).encode(), 0, b""))
                self.assertEqual(os.lseek(f.fileno(), 0, os.SEEK_CUR), 0, "the input's file offset")

    @unittest.skipIf(SANITIZED, "the sanitizers' runtime is a library of its own")
    def test_the_program_needs_the_c_library_alone(self):
        needed = needed_libraries(PROGRAM[-1])
        c_library = {"kernel32.dll", "msvcrt.dll"} if WINDOWS else {"libc.so.6"}
        self.assertLessEqual({name.lower() for name in needed}, c_library, f"the libraries needed: {needed}")


class CountsOfZeroOrLess(Case):
    def test_table(self):
        self.check_table([
            ("zero with values after it", "0 1 2 3", 0, []),
            ("negative", "-5 1 2", -5, []),
            ("most negative", "-2147483648", 0, []),
            ("empty input", "", 0, [], "the input ends before the count" + LAST),
            ("count out of range", "2147483648 1 2", 0, [], "the count is out of range" + LAST),
        ])


def needed_libraries(path):
    """The libraries the program at path needs: DT_NEEDED (ELF), imports (PE)."""
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


if __name__ == "__main__":
    main(sys.modules[__name__])
