/* Times short runs: starts a command RUNS times in turn, each with standard
   input the file INPUT and standard output /dev/null or a pipe that this
   program reads to its end, and prints the mean wall time of a run in
   microseconds, start-up and exit included. No shell stands between, and
   posix_spawn costs the parent little, so that the figure is the command's.

       spawn RUNS INPUT null|pipe COMMAND [ARG...]
*/
#define _POSIX_C_SOURCE 200809L
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char **environ;

static void fail(const char *what)
{
    perror(what);
    exit(2);
}

int main(int argc, char **argv)
{
    if (argc < 5 || (strcmp(argv[3], "null") != 0 && strcmp(argv[3], "pipe") != 0)) {
        fputs("usage: spawn RUNS INPUT null|pipe COMMAND [ARG...]\n", stderr);
        return 2;
    }
    const long runs = atol(argv[1]);
    const int to_pipe = strcmp(argv[3], "pipe") == 0;
    char drain[65536];
    struct timespec start, end;
    clock_gettime(CLOCK_MONOTONIC, &start);
    for (long r = 0; r < runs; ++r) {
        int out[2] = {-1, -1};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, argv[2], O_RDONLY, 0);
        if (to_pipe) {
            if (pipe(out) != 0)
                fail("pipe");
            posix_spawn_file_actions_adddup2(&actions, out[1], 1);
            posix_spawn_file_actions_addclose(&actions, out[0]);
            posix_spawn_file_actions_addclose(&actions, out[1]);
        } else {
            posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        }
        pid_t child;
        const int error = posix_spawnp(&child, argv[4], &actions, NULL, argv + 4, environ);
        posix_spawn_file_actions_destroy(&actions);
        if (error != 0) {
            fprintf(stderr, "spawn: %s: %s\n", argv[4], strerror(error));
            return 2;
        }
        if (to_pipe) {
            close(out[1]);
            ssize_t got;
            while ((got = read(out[0], drain, sizeof drain)) > 0)
                ;
            if (got < 0)
                fail("read");
            close(out[0]);
        }
        int status;
        if (waitpid(child, &status, 0) != child)
            fail("waitpid");
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            fprintf(stderr, "spawn: %s ended with status %d\n", argv[4], status);
            return 2;
        }
    }
    clock_gettime(CLOCK_MONOTONIC, &end);
    const double seconds = (double)(end.tv_sec - start.tv_sec) + (end.tv_nsec - start.tv_nsec) / 1e9;
    printf("%.1f\n", seconds / (double)runs * 1e6);
    return 0;
}
