// Runs a command and writes its peak resident memory, in KiB, to a file:
//     peak_memory FILE COMMAND [ARG...]
// The kernel charges a process with the memory of the one it was forked
// from, up to its exec: measured as a child of this small program, the
// command's figure is its own, not that of a test's python3. Exits with the
// command's status, or 128 plus the signal that ended it.

#include <cstdio>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fputs("usage: peak_memory FILE COMMAND [ARG...]\n", stderr);
        return 2;
    }
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[2], argv + 2);
        std::perror(argv[2]);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    std::FILE* report = nullptr;
    if (child < 0 || wait4(child, &status, 0, &usage) < 0 || !(report = std::fopen(argv[1], "w")) ||
        std::fprintf(report, "%ld\n", usage.ru_maxrss) < 0 || std::fclose(report) != 0) {
        std::perror("peak_memory");
        return 2;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
