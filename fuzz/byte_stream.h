// The fuzzers' view of their input: a stream of bytes read from the front, which never
// fails. Past the end every read gives 0, so that any input, however short, is a whole
// script and the fuzzer's mutations only change its values.
//
// Thread: one fuzzer thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace veldra::fuzz {

class ByteStream {
  public:
    ByteStream(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool empty() const { return position_ >= size_; }
    size_t remaining() const { return empty() ? 0 : size_ - position_; }

    uint8_t byte() { return empty() ? 0 : data_[position_++]; }

    uint16_t u16() {
        const uint16_t low = byte();
        return static_cast<uint16_t>(low | (byte() << 8));
    }

    // A 16-bit little-endian sample, as a sound file holds it.
    int16_t sample() { return static_cast<int16_t>(u16()); }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
};

// Stops the fuzzer with a finding: what went wrong, on standard error, then abort, which
// libFuzzer reports as a crash and saves the input for.
[[noreturn]] inline void fail(const char* what, long long expected, long long actual) {
    std::fprintf(stderr, "finding: %s (expected %lld, got %lld)\n", what, expected, actual);
    std::abort();
}

inline void expectEqual(const char* what, long long expected, long long actual) {
    if (expected != actual) fail(what, expected, actual);
}

}  // namespace veldra::fuzz
