// Resampler: mono sound from one rate to another, streamed through the caller's buffers,
// for the sound files and the live input alike.
//
// It is libsoxr at its high-quality setting (20-bit precision, linear phase): on the
// harmonic-rich tones players make, the tuner reads a converted tone within a cent or two
// of the same tone converted by a very-high-quality resampler, at about 10,000 times real
// time for 44.1 kHz (README, "Sound input"). The conversion holds back about 30 ms of sound
// while streaming and gives it out when the input ends; its output does not depend on how
// the input is cut into pieces.
//
// Memory: open allocates; process and reset do not. Thread: one at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace veldra {

class Resampler {
  public:
    Resampler() = default;
    ~Resampler();
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    // Ready to convert inputRate to outputRate (both positive); false with error saying why.
    bool open(int32_t inputRate, int32_t outputRate, std::string& error);

    // Converts up to inputCount values at input into at most capacity values at output, and
    // says how many it took and gave. A null input means the sound has ended: what is held
    // back comes out, and a call that gives nothing then has given it all. False with error
    // set if the conversion fails.
    bool process(const float* input, size_t inputCount, size_t& taken, float* output,
                 size_t capacity, size_t& given, std::string& error);

    // Forgets the sound so far: the next value starts a new sound.
    void reset();

    void close();
    bool isOpen() const { return state_ != nullptr; }

  private:
    void* state_ = nullptr;  // the libsoxr converter, or null
};

}  // namespace veldra
