// Why a sound file would not open: turns libsndfile's refusal, and a look at the first
// bytes, into one of the reader's problems with a short detail for the message.
//
//   - the system refused to read it (EIO, ...)                   -> NotReadable
//   - no known format and no known signature at the start        -> NotSoundFile
//   - the file ended while libsndfile was still reading its header -> Truncated
//     (for Ogg: one of its pages runs past the end of the file, checkOggPages)
//   - a WAV whose format chunk names an encoding we cannot decode -> UnsupportedEncoding
//   - libsndfile's own "unsupported encoding" answer            -> UnsupportedEncoding
//   - anything else libsndfile rejects                          -> Damaged, with its text
//
// Thread: any; works on the reader's own bytes.
#pragma once

#include <cstdint>
#include <string>

#include "platform/sound_files/sound_file.h"
#include "platform/sound_files/sound_file_bytes.h"

namespace veldra {

struct OpenDiagnosis {
    SoundFileProblem problem;
    std::string detail;  // what to add after the reason, e.g. "WAV format tag 0x0055"; may be empty
};

// bytes: the source as libsndfile left it (readPastEnd tells whether it hit the end).
// sfCode, sfText: what sf_error and sf_strerror said about the failed open.
OpenDiagnosis diagnoseOpenFailure(SoundBytes& bytes, int sfCode, const std::string& sfText);

// The frames a PCM or float WAV's data chunk (its size in whole frames) or an AIFF's COMM
// chunk announces, or -1 for another file or a count that means "not known" (0,
// 0xFFFFFFFF). libsndfile corrects its own count to what these files hold, so this is
// where a cut file's promise is kept.
int64_t announcedHeaderFrames(SoundBytes& bytes);

// What a walk over every page of an Ogg file finds. libsndfile's Ogg decoders step over a
// page whose checksum fails, or stop at it, without a word; so the reader checks the pages
// itself.
struct OggPageCheck {
    bool cutOff = false;       // the last page runs past the end of the file
    int64_t damageFrame = -1;  // the first frame (at sampleRate) of the first damaged page
                               // (checksum failed, or no page where one should start); -1: none
    const char* why = "";      // what is wrong with that page, for the message
};

// Walks the pages from the start, reading every byte once. sampleRate: the decoded sound's
// rate, in which damageFrame is counted (0 when only cutOff is wanted).
OggPageCheck checkOggPages(SoundBytes& bytes, int32_t sampleRate);

// A file that opened but declares no frames: empty, or cut off before its sound.
// logText: libsndfile's log of the header it parsed.
OpenDiagnosis diagnoseNoFrames(const SoundBytes& bytes, const std::string& logText);

}  // namespace veldra
