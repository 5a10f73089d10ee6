// Sound file reader: any file libsndfile reads, streamed as the tuner's own input.
//
// What comes out is always 16-bit signed mono at the reader's output rate (the tuner's
// 22050 samples per second), whatever the file holds (WAV, FLAC, Ogg/Vorbis, AIFF, ...;
// any rate libsamplerate can convert, any channel count libsndfile opens):
//   - channels are averaged to mono, each first cleared of NaN (silence) and clipped to
//     full scale (so infinities clip);
//   - other rates are resampled to the output rate, streamed through a small fixed buffer;
//   - values become 16-bit by scaling with 32768, clipping to -32768..32767 and
//     truncating toward zero.
// A mono 16-bit PCM file at the output rate is copied through untouched, bit for bit: no
// float conversion and no resampler on that path.
//
// Memory: every buffer is allocated by open and has a fixed size; reading allocates
// nothing, so a file of any length is read in constant memory.
//
// Failures are values: open returns false and error() tells what happened, with a
// one-line message that names the file and the reason ("song.wav: no such file",
// "... : not a sound file", "... : truncated (the file ends inside its header)", ...).
// After a failed open the reader is closed and read() returns 0. The operating system's
// refusal to read (EIO, ...) is never taken for the end of the sound: at the open it is
// "cannot be read (<reason>)", later "read error at <seconds> s (<reason>)".
//
// One rule for every format: a file cut short (it ends early, nothing inside it damaged:
// copied in part, or shrinking while it is read) is read to where it ends, without an
// error; warning() then says how much of it there was. The header's promise is libsndfile's
// frame count or, for PCM WAV, whose size libsndfile quietly corrects to the file's, the
// data chunk's size; an Ogg file whose last page runs past its end is cut whatever it
// promised. Damage inside the sound ends the reading at the damage with the error
// "damaged at <seconds> s" (DamagedSound), nothing after it delivered:
//   - a decoder error libsndfile reports on a read (libFLAC's lost sync, a broken frame),
//     while bytes remain to decode; at the end of the bytes the same error is the cut;
//   - Ogg (Vorbis, Opus): a page whose checksum fails, or bytes that are no page, found by
//     walking the pages at the open (libsndfile's decoders skip such a page, or stop at it,
//     and say nothing);
//   - MPEG: what libmpg123 reports. It steps over a frame it cannot decode and tells only
//     its own note on standard error, seen while holdDecoderMessages holds it (veldra-file;
//     not in the live program, where the notes go to standard error as they are); and it
//     stops, without a note, at a frame head it cannot read, before the end of the file.
//     It cannot see damage to the coded sound itself: MPEG frames carry no checksum unless
//     the encoder added one, so a flipped bit there decodes to slightly different sound.
//
// Names in messages are shown with printableText, so a message is one line whatever the
// file is called.
//
// The same code serves a path and a block of memory (openMemory, through libsndfile's
// virtual I/O), so anything that can be fed to one can be fed to the other.
//
// Thread: a reader belongs to one thread at a time; separate readers are independent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/sound_files/printable_text.h"

namespace veldra {

// Why a file could not be read. None while the reader is healthy.
enum class SoundFileProblem {
    None,
    Missing,              // the path names nothing
    Directory,            // the path names a directory
    NotRegularFile,       // a device, a FIFO, a socket
    NotReadable,          // the operating system refused (permissions, I/O error)
    Empty,                // no bytes, or a sound file that holds no sound
    NotSoundFile,         // libsndfile recognises no format in it
    Truncated,            // the file ends inside its header, or before any promised sound
    UnsupportedEncoding,  // a known container whose encoding cannot be decoded
    UnsupportedRate,      // a sample rate too far from the output rate to convert
    Damaged,              // a header libsndfile rejects for another reason
    ReadFailed,           // decoding or the operating system failed after the file was opened
    DamagedSound,         // the decoder met damage inside the sound: "damaged at <seconds> s"
};

struct SoundFileError {
    SoundFileProblem problem = SoundFileProblem::None;
    std::string message;  // "<name>: <reason>", one line; empty when problem is None
};

// What the open file holds before conversion.
struct SoundFileFormat {
    int32_t sampleRate = 0;    // of the file, samples per second
    int32_t channels = 0;      // of the file
    int64_t frames = 0;        // frames the file declares (libsndfile's count)
    bool passThrough = false;  // mono 16-bit PCM at the output rate: copied unchanged
    bool resampled = false;    // another rate, converted
};

class SoundFileReader {
  public:
    // A reader that delivers outputRate samples per second.
    explicit SoundFileReader(int32_t outputRate);
    ~SoundFileReader();
    SoundFileReader(const SoundFileReader&) = delete;
    SoundFileReader& operator=(const SoundFileReader&) = delete;

    // Opens the file at path (closing whatever was open). The messages name it as given.
    bool open(const std::string& path);

    // Opens size bytes at bytes as a sound file; name stands for it in messages. The bytes
    // are not copied and must stay valid until close or the next open.
    bool openMemory(const void* bytes, size_t size, const std::string& name);

    // Writes up to count samples (mono 16-bit at the output rate) to out and returns how many it
    // wrote: count, except at the end of the sound. 0 at the end, when closed, and after
    // a decoding or read failure (error() then says so; warning() may say the end came
    // early).
    int32_t read(int16_t* out, int32_t count);

    // Starts the sound again from its first sample (for a source that loops). False, with
    // error() set, if the file cannot be rewound.
    bool rewind();

    void close();

    bool isOpen() const;
    const SoundFileError& error() const;
    const SoundFileFormat& format() const;

    // Set once the sound has ended before the frames its header announced, one line:
    // "<name>: shorter than its header says: 2.0 s read of 3.0 s announced". Empty
    // otherwise; cleared by open.
    const std::string& warning() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The one-line reason for a problem, as used in the messages ("no such file", ...).
const char* soundFileProblemText(SoundFileProblem problem);

// Decoder messages: libsndfile's MP3 decoder (libmpg123) writes notes about the frames it
// skips straight to the process's standard error, which no libsndfile call turns off. With
// hold set, every reader sends standard error (descriptor 2, process-wide) to a scratch
// buffer while libsndfile opens a file or decodes MPEG sound, and passes what was caught on
// to standard error only when that call failed; a note of damage becomes the reading's
// error (DamagedSound, the note as its detail). A program whose standard error carries one
// line per failure keeps it that way. Off by default: a program with threads that
// write to standard error, or a fuzzer whose findings are reported there, leaves it off.
// Main thread, before any reader opens.
void holdDecoderMessages(bool hold);

}  // namespace veldra
