/* The floor: moves the finished output of extremes and does nothing else.

       floor FILE

   FILE holds the exact bytes that extremes writes. They are mapped, not
   read, so taking them costs no copy, and the whole mapping is populated
   at once (MAP_POPULATE), so its page faults are taken in one batch rather
   than one a page; then they leave as extremes makes them leave: copied
   into a buffer a block at a time and each block written with one write(),
   64 KiB blocks, or 512 KiB blocks into a pipe of 1 MiB, to which a smaller
   pipe is grown where the output is larger than it. A program that writes
   those bytes, in those blocks, cannot take less time than this. */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

static char out[512 * 1024];

int main(int argc, char **argv)
{
    int fd;
    struct stat st;
    const char *bytes = "";
    size_t size, block, done, n, put;
    ssize_t w;
    int pipe;

    if (argc != 2) {
        fprintf(stderr, "usage: floor FILE\n");
        return 2;
    }
    fd = open(argv[1], O_RDONLY);
    if (fd < 0 || fstat(fd, &st) != 0) {
        perror(argv[1]);
        return 1;
    }
    size = (size_t)st.st_size;
    if (size > 0)
        bytes = mmap(NULL, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    if (bytes == MAP_FAILED) {
        perror(argv[1]);
        return 1;
    }

    block = 64 * 1024;
    pipe = fcntl(1, F_GETPIPE_SZ);
    if (pipe >= 1 << 20 || (pipe > 0 && size > (size_t)pipe && fcntl(1, F_SETPIPE_SZ, 1 << 20) >= 1 << 20))
        block = 512 * 1024;
    for (done = 0; done < size; done += n) {
        n = size - done < block ? size - done : block;
        memcpy(out, bytes + done, n);
        for (put = 0; put < n; put += (size_t)w) {
            w = write(1, out + put, n - put);
            if (w < 0 && errno == EINTR)
                w = 0;
            else if (w <= 0) {
                perror("floor: write");
                return 1;
            }
        }
    }
    return 0;
}
