// Low-level input and output, one file per platform (platform_posix.cpp,
// platform_windows.cpp), of which the build compiles one. A failure returns
// -1 with the reason in errno.
#pragma once

#include <cstddef>

namespace platform {

// The line end, known when the writer is compiled, which sizes its room by
// it; and where --help points for the rest (Windows has no manual pages).
#ifdef _WIN32
inline constexpr char eol[] = "\r\n";
inline constexpr char manual[] = "README.txt, next to extremes.exe";
#else
inline constexpr char eol[] = "\n";
inline constexpr char manual[] = "the manual page, man extremes";
#endif

// The size that grow_output grows a pipe on standard output to, where the
// system allows it (Linux's F_SETPIPE_SZ).
inline constexpr int grown_pipe = 1 << 20;

// Each called once, before the first read or write. start_output returns the
// best size for a write, and sets pipe_size to the bytes that standard
// output's pipe holds where grow_output can grow it, or else to 0. From then
// on, a write to a closed pipe fails with EPIPE, SIGPIPE being blocked until
// release_held_signal, and one past the file-size limit with EFBIG, SIGXFSZ
// being ignored.
int start_input();
long start_output(long& pipe_size);

// Grows standard output's pipe to grown_pipe, where the system allows it,
// and returns the best size for a write from then on.
long grow_output();

// Whether a read of standard input would block.
bool input_would_block();

// Whether standard input is a file whose offset stands at its size: nothing
// more is to come.
bool input_read_to_end();

// A read of standard input, or a write to standard output, that blocks even
// where the descriptor is non-blocking: the bytes moved, 0 at end of file, or
// -1. A closed pipe is EPIPE on every platform.
long read_input(char* buffer, std::size_t size);
long write_output(const char* bytes, std::size_t size);

// The most bytes that write_error takes at once.
inline constexpr std::size_t error_piece = 256;

// Writes bytes, whole UTF-8 characters, to standard error, blocking as
// write_output does: false if a write failed. A Windows console is written
// UTF-16, which it shows as written, where bytes would show in its code page.
bool write_error(const char* bytes, std::size_t size);

// The arguments after the program's name, given as main has them (count
// and arguments), in UTF-8: on POSIX, as they are; on Windows, from the wide
// command line, as main's are in the ANSI code page, which lacks most
// characters. nullptr if memory ran out.
const char* const* utf8_arguments(int& count, const char* const arguments[]);

// Seeks standard input back over the bytes read but not taken, where it is
// seekable, so that the next reader of a file starts at the first of them.
void seek_back_input(std::size_t unread);

// Restores the signal mask of the start, so that a SIGPIPE held since
// start_output ends the process here; called once, as the run ends.
void release_held_signal();

// Closes standard output, which is where some file systems (NFS) first
// report a failed write.
int close_output();

}  // namespace platform
