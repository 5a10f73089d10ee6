/* Fault injection for the program tests: an LD_PRELOAD library that makes the reads of one
 * file fail from a given byte on, as a failing disk or a file shrinking under the reader
 * would. Only pread is taken over: it is how the sound file reader reads.
 *
 *   VELDRA_FAULT_FILE   the file (matched by device and inode, whatever the path)
 *   VELDRA_FAULT_AFTER  the first byte that cannot be read; a read across it stops there
 *   VELDRA_FAULT_ERRNO  the error from there on (5: EIO), or 0: the file ends there
 *
 * Built in the optimised tree only: the sanitizers' own interception and an LD_PRELOAD
 * library do not mix. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

/* Whether a read of count bytes at offset from fd meets the fault: 1 with *error set, or 0
 * with *count cut to end before it. */
static int meetsFault(int fd, off_t offset, size_t* count, int* error) {
    const char* path = getenv("VELDRA_FAULT_FILE");
    const char* after = getenv("VELDRA_FAULT_AFTER");
    struct stat faulty, file;
    if (path == NULL || after == NULL || stat(path, &faulty) != 0 || fstat(fd, &file) != 0 ||
        faulty.st_dev != file.st_dev || faulty.st_ino != file.st_ino)
        return 0;
    const off_t first = (off_t)atoll(after);
    if (offset < first) {
        if ((off_t)*count > first - offset) *count = (size_t)(first - offset);
        return 0;
    }
    const char* code = getenv("VELDRA_FAULT_ERRNO");
    *error = code != NULL ? atoi(code) : EIO;
    return 1;
}

static ssize_t faultyRead(const char* name, int fd, void* into, size_t count, off_t offset) {
    ssize_t (*real)(int, void*, size_t, off_t) =
        (ssize_t(*)(int, void*, size_t, off_t))dlsym(RTLD_NEXT, name);
    int error = 0;
    if (meetsFault(fd, offset, &count, &error)) {
        if (error == 0) return 0;
        errno = error;
        return -1;
    }
    return real(fd, into, count, offset);
}

ssize_t pread(int fd, void* into, size_t count, off_t offset) {
    return faultyRead("pread", fd, into, count, offset);
}

ssize_t pread64(int fd, void* into, size_t count, off_t offset) {
    return faultyRead("pread64", fd, into, count, offset);
}
