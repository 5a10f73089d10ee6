#include "platform/sound_files/sound_file_bytes.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace veldra {
namespace {

// What one system call reads ahead: about 1.5 s of the tuner's own sound.
constexpr size_t readAheadBytes = 64 * 1024;

SoundBytes& of(void* user) {
    return *static_cast<SoundBytes*>(user);
}

sf_count_t lengthOf(void* user) {
    return of(user).length;
}

sf_count_t seekTo(sf_count_t offset, int whence, void* user) {
    SoundBytes& b = of(user);
    int64_t base = 0;
    if (whence == SEEK_CUR) base = b.position;
    if (whence == SEEK_END) base = b.length;
    // Headers with absurd lengths ask for absurd places; stay within what an int64 holds.
    if (offset > 0 && base > INT64_MAX - offset) return -1;
    const int64_t target = base + offset;
    if (target < 0) return -1;
    b.position = target;
    return target;
}

sf_count_t readInto(void* into, sf_count_t count, void* user) {
    SoundBytes& b = of(user);
    if (count <= 0) return 0;
    const int64_t got = peekBytes(b, b.position, into, count);
    if (got < count) b.readPastEnd = true;
    b.position += got;
    return got;
}

sf_count_t refuseWrite(const void*, sf_count_t, void*) {
    return 0;
}

sf_count_t tellOf(void* user) {
    return of(user).position;
}

const SF_VIRTUAL_IO io = {lengthOf, seekTo, readInto, refuseWrite, tellOf};

}  // namespace

void attachDescriptor(SoundBytes& bytes, int fd, int64_t length) {
    detachBytes(bytes);
    bytes.fd = fd;
    bytes.length = length;
}

void attachMemory(SoundBytes& bytes, const void* memory, size_t size) {
    detachBytes(bytes);
    bytes.memory = static_cast<const unsigned char*>(memory);
    bytes.length = static_cast<int64_t>(size);
}

void detachBytes(SoundBytes& bytes) {
    if (bytes.fd >= 0) ::close(bytes.fd);
    bytes = SoundBytes{};
}

int64_t peekBytes(SoundBytes& bytes, int64_t offset, void* into, int64_t count) {
    if (offset < 0 || offset >= bytes.length || count <= 0) return 0;
    const int64_t n = std::min(count, bytes.length - offset);
    if (bytes.memory != nullptr) {
        std::memcpy(into, bytes.memory + offset, static_cast<size_t>(n));
        return n;
    }
    int64_t done = 0;
    auto* out = static_cast<unsigned char*>(into);
    while (done < n) {
        const int64_t at = offset + done;
        const int64_t cacheEnd = bytes.cacheAt + bytes.cacheLength;
        if (at >= bytes.cacheAt && at < cacheEnd) {
            const int64_t k = std::min(n - done, cacheEnd - at);
            std::memcpy(out + done, bytes.cache.get() + (at - bytes.cacheAt),
                        static_cast<size_t>(k));
            done += k;
            continue;
        }
        if (!bytes.cache) bytes.cache = std::make_unique<unsigned char[]>(readAheadBytes);
        const ssize_t got = ::pread(bytes.fd, bytes.cache.get(), readAheadBytes, at);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && bytes.readErrno == 0) bytes.readErrno = errno;
        bytes.cacheAt = at;
        bytes.cacheLength = std::max<int64_t>(got, 0);
        if (got <= 0) break;  // the file shrank under us, or the system refused: a short read
    }
    return done;
}

const SF_VIRTUAL_IO& soundBytesIo() {
    return io;
}

}  // namespace veldra
