// The low-level input and output that differ between platforms, behind one
// interface: platform_posix.cpp and platform_windows.cpp each implement it,
// and the build compiles the one that fits. Failures are returned with the
// reason in errno.
#pragma once

#include <cstddef>

namespace platform {

// The line end of the platform's text files. The writer needs it while it
// is compiled, to know how much room a line end takes. And where --help
// sends its reader for the whole story: the manual page, or on Windows,
// which has none, the README.txt of the package.
#ifdef _WIN32
inline constexpr char eol[] = "\r\n";
inline constexpr char manual[] = "README.txt, next to extremes.exe";
#else
inline constexpr char eol[] = "\n";
inline constexpr char manual[] = "the manual page, man extremes";
#endif

// The size that start_output grows a pipe on standard output to, where the
// system lets it (Linux's F_SETPIPE_SZ).
inline constexpr int grown_pipe = 1 << 20;

// Make standard input, or standard output, ready for use; called once,
// before the first read or write. For output, returns how many bytes are
// best written at a time; both return -1 on failure. From start_output on,
// a write fails, rather than raise a signal, when the reader of standard
// output or standard error has left (EPIPE, SIGPIPE held until
// release_held_signal) or a file-size limit is met (EFBIG, SIGXFSZ ignored).
int start_input();
long start_output();

// Whether a read of standard input would have to wait for data to arrive.
bool input_would_wait();

// Reads up to size bytes of standard input: how many it got, 0 at the end of
// the input, -1 on failure. Waits for data when there is none yet.
long read_input(char* buffer, std::size_t size);

// Writes up to size bytes to standard output: how many it wrote, or -1 on
// failure, with errno EPIPE when the reader has gone.
long write_output(const char* bytes, std::size_t size);

// Writes a message to standard error, whole: after a short write it goes
// on, and where standard error is non-blocking it waits until it is ready,
// until the message is written or a write fails.
void write_error(const char* bytes, std::size_t size);

// Steps standard input back over the last unread bytes read from it, so
// that the next reader of a file starts where this program stopped reading.
// Input that cannot go back (a pipe, a terminal) is left as it is.
void give_back_input(std::size_t unread);

// Lets a signal held since start_output, the one a reader that left raised,
// end the process now, as it would have at the write, unless it was ignored
// or blocked when the program started; called once, when the run has left
// everything as it should be.
void release_held_signal();

// Closes standard output, where some file systems first report a failed
// write: 0, or -1 on failure.
int close_output();

}  // namespace platform
