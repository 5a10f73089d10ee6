// The bytes under a sound file reader: an open file descriptor or a block of memory,
// offered to libsndfile through its virtual I/O so that both take the same road.
//
// The source also remembers whether anybody tried to read past its end; the reader uses
// that to tell a file cut off inside its header from one that is merely damaged. A read
// the operating system refuses (EIO, ...) comes back short too, as libsndfile expects of a
// source that can do no more, but its reason is kept: the reader must not take it for the
// end of the file.
//
// Thread: owned by one reader; no locking.
#pragma once

#include <sndfile.h>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace veldra {

struct SoundBytes {
    int fd = -1;                            // file descriptor, owned; -1 for memory
    const unsigned char* memory = nullptr;  // the bytes of a memory source; not owned
    int64_t length = 0;                     // bytes in the source
    int64_t position = 0;                   // where the next read starts
    bool readPastEnd = false;               // a read came back short: the source ended
    int readErrno = 0;                      // the first read the system refused: its errno
    // A descriptor's bytes from cacheAt on, read ahead in one system call: libsndfile asks
    // for a block at a time, and a call per block costs more than tuning the block.
    std::unique_ptr<unsigned char[]> cache;
    int64_t cacheAt = 0;
    int64_t cacheLength = 0;
};

// Points the source at an open descriptor (taken over) of a file of the given length.
void attachDescriptor(SoundBytes& bytes, int fd, int64_t length);

// Points the source at memory (not copied).
void attachMemory(SoundBytes& bytes, const void* memory, size_t size);

// Closes the descriptor, if any, and empties the source.
void detachBytes(SoundBytes& bytes);

// Reads up to count bytes from offset without moving the position; returns the count read,
// short at the end of the source or when the system refuses (readErrno then says why).
int64_t peekBytes(SoundBytes& bytes, int64_t offset, void* into, int64_t count);

// The callbacks libsndfile calls; their user pointer is the SoundBytes.
const SF_VIRTUAL_IO& soundBytesIo();

}  // namespace veldra
