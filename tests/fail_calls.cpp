// Preloaded into the program (LD_PRELOAD), fails what a test cannot make
// fail otherwise: close(1) reports EIO after closing, as NFS reports a failed
// write, and realloc finds no memory (ENOMEM).

#include <cerrno>
#include <cstddef>

#include <dlfcn.h>

extern "C" int close(int fd)
{
    const auto next = reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "close"));
    const int closed = next(fd);
    if (fd != 1 || closed != 0)
        return closed;
    errno = EIO;
    return -1;
}

extern "C" void* realloc(void*, std::size_t)
{
    errno = ENOMEM;
    return nullptr;
}
