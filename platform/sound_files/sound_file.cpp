// Sections: messages: names and the decoder's words; open: path and memory, then the
// shared opening; convert: mixing and the conversion to 16-bit; read: the pass-through,
// direct and resampling roads, and how the sound ended.
#include "platform/sound_files/sound_file.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <type_traits>
#include <vector>

#include "platform/sound_files/resampler.h"
#include "platform/sound_files/sample_conversion.h"
#include "platform/sound_files/sound_file_bytes.h"
#include "platform/sound_files/sound_file_diagnosis.h"

namespace veldra {
namespace {

// Interleaved input values fetched per libsndfile call, whatever the channel count: the
// read buffer's size, and with it the reader's memory, does not depend on the file.
constexpr int32_t inputValues = 8192;
// Mono values held before and after the resampler.
constexpr int32_t monoValues = 4096;

// Rates the reader converts to the output rate: ratios from 1/256 to 256 (87 Hz to
// 5644800 Hz for 22050 Hz).
constexpr int32_t lowestRate(int32_t outputRate) {
    return outputRate / 256 + 1;
}
constexpr int32_t highestRate(int32_t outputRate) {
    return outputRate * 256;
}

// ---- messages ----
bool holdMessages = false;  // holdDecoderMessages; read by every reader's libsndfile calls

// Standard error sent to a scratch file for the length of one libsndfile call, then put
// back; what was caught is passed on only when the call failed. libmpg123 would keep
// quiet with its MPG123_QUIET flag, but libsndfile makes and keeps the decoder's handle to
// itself and has no command that sets it; so the descriptor is swapped around the calls
// that may decode MPEG (the open, and reads of an MPEG file: one swap per 8192 values),
// into an in-memory file, which no amount of chatter can block.
class HeldMessages {
  public:
    explicit HeldMessages(bool hold) {
        if (!hold) return;
        caught_ = memfd_create("decoder-messages", MFD_CLOEXEC);
        saved_ = caught_ < 0 ? -1 : fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
        if (saved_ >= 0 && dup2(caught_, STDERR_FILENO) >= 0) return;
        if (saved_ >= 0) close(saved_);
        if (caught_ >= 0) close(caught_);
        saved_ = caught_ = -1;
    }
    ~HeldMessages() { (void)end(false); }
    HeldMessages(const HeldMessages&) = delete;
    HeldMessages& operator=(const HeldMessages&) = delete;

    // Puts standard error back, passes what was caught on when the call failed, and
    // returns its first line ("" when nothing was said).
    std::string end(bool failed) {
        if (saved_ < 0) return "";
        dup2(saved_, STDERR_FILENO);
        close(saved_);
        saved_ = -1;
        char text[4096];
        ssize_t n = 0;
        std::string firstLine;
        if (lseek(caught_, 0, SEEK_SET) == 0) {
            for (bool first = true; (n = ::read(caught_, text, sizeof text)) > 0; first = false) {
                if (first) firstLine.assign(text, strnlen(text, static_cast<size_t>(n)));
                if (failed && ::write(STDERR_FILENO, text, static_cast<size_t>(n)) != n) break;
                if (!failed) break;
            }
        }
        close(caught_);
        return firstLine.substr(0, firstLine.find('\n'));
    }

  private:
    int saved_ = -1;   // the real standard error while it is held
    int caught_ = -1;  // where it goes meanwhile
};

// libmpg123 steps over a frame it cannot decode and says so only in a note on standard
// error ("error: dequantization failed", "Illegal Audio-MPEG-Header ... Trying to
// resync"); such a note is its one report of damage.
bool notesDamage(const std::string& note) {
    std::string lower = note;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower.find("error") != std::string::npos || lower.find("illegal") != std::string::npos;
}

bool isMpeg(int format) {
    const int encoding = format & SF_FORMAT_SUBMASK;
    return encoding == SF_FORMAT_MPEG_LAYER_I || encoding == SF_FORMAT_MPEG_LAYER_II ||
           encoding == SF_FORMAT_MPEG_LAYER_III;
}

}  // namespace

void holdDecoderMessages(bool hold) {
    holdMessages = hold;
}

struct SoundFileReader::Impl {
    int32_t outputRate = 0;                // what read() delivers, samples per second
    SoundBytes bytes;                      // where libsndfile reads from
    SNDFILE* file = nullptr;               // open libsndfile handle, or null
    Resampler resampler;                   // open only for rates other than outputRate
    std::string name;                      // the file as messages name it
    SoundFileError error;                  // why the last open or read failed
    SoundFileFormat format;                // what the open file holds
    std::vector<float> interleaved;        // raw frames from libsndfile, inputValues long
    std::vector<int16_t> interleaved16;    // the same for 16-bit PCM, mixed from its integers
    std::vector<float> mono;               // mixed input of the resampler, monoValues long
    std::vector<float> converted;          // mixed or resampled output, monoValues long
    int32_t monoUsed = 0, monoFilled = 0;  // resampler input window in mono
    int32_t convertedUsed = 0, convertedFilled = 0;  // output window in converted
    bool inputEnded = false;                         // libsndfile has no more frames
    bool drained = false;                            // the resampler has given out its tail too
    bool decoderTalks = false;                       // MPEG: libmpg123 may write to stderr
    int64_t framesRead = 0;       // frames libsndfile has given since the open or rewind
    int64_t announcedFrames = 0;  // what the header promised (see sound_file.h); 0: unknown
    std::string warning;          // warning(): set when the sound ended short of the promise
    bool ogg = false;             // an Ogg container, its pages checked by openBytes
    OggPageCheck oggPages;        // what that check found: a cut last page, a damaged one
    int64_t damagedAt = -1;       // the frame where decoding met damage; -1: none met yet
    std::string damage;           // what the decoder said about it

    bool fail(SoundFileProblem problem, const std::string& detail, const std::string& where = "");
    bool openBytes();
    template <typename Sample>
    int32_t decode(Sample* out, int32_t frames);
    int32_t mixFrames(float* out, int32_t maxFrames);
    bool refill();
    void ended();
    void release();
};

// ---- open ----
const char* soundFileProblemText(SoundFileProblem problem) {
    switch (problem) {
        case SoundFileProblem::None:
            return "no problem";
        case SoundFileProblem::Missing:
            return "no such file";
        case SoundFileProblem::Directory:
            return "is a directory, not a sound file";
        case SoundFileProblem::NotRegularFile:
            return "not a regular file";
        case SoundFileProblem::NotReadable:
            return "cannot be read";
        case SoundFileProblem::Empty:
            return "empty";
        case SoundFileProblem::NotSoundFile:
            return "not a sound file";
        case SoundFileProblem::Truncated:
            return "truncated";
        case SoundFileProblem::UnsupportedEncoding:
            return "unsupported encoding";
        case SoundFileProblem::UnsupportedRate:
            return "unsupported sample rate";
        case SoundFileProblem::Damaged:
            return "damaged sound file";
        case SoundFileProblem::ReadFailed:
            return "read error";
        case SoundFileProblem::DamagedSound:
            return "damaged";
    }
    return "unknown problem";
}

SoundFileReader::SoundFileReader(int32_t outputRate) : impl_(std::make_unique<Impl>()) {
    impl_->outputRate = outputRate;
}

SoundFileReader::~SoundFileReader() {
    close();
}

bool SoundFileReader::Impl::fail(SoundFileProblem problem, const std::string& detail,
                                 const std::string& where) {
    release();
    error.problem = problem;
    // One line, whatever the name or a library's text held.
    error.message = printableText(name) + ": " + soundFileProblemText(problem) + where;
    if (!detail.empty()) error.message += " (" + printableText(detail) + ")";
    return false;
}

void SoundFileReader::Impl::release() {
    resampler.close();
    if (file != nullptr) sf_close(file);
    file = nullptr;
    detachBytes(bytes);
    format = SoundFileFormat{};
}

bool SoundFileReader::open(const std::string& path) {
    close();
    Impl& s = *impl_;
    s.name = path;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) return s.fail(SoundFileProblem::Missing, "");
        return s.fail(SoundFileProblem::NotReadable, std::strerror(errno));
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int e = errno;
        ::close(fd);
        return s.fail(SoundFileProblem::NotReadable, std::strerror(e));
    }
    if (S_ISDIR(st.st_mode)) {
        ::close(fd);
        return s.fail(SoundFileProblem::Directory, "");
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return s.fail(SoundFileProblem::NotRegularFile, "");
    }
    attachDescriptor(s.bytes, fd, st.st_size);
    return s.openBytes();
}

bool SoundFileReader::openMemory(const void* bytes, size_t size, const std::string& name) {
    close();
    impl_->name = name;
    attachMemory(impl_->bytes, bytes, size);
    return impl_->openBytes();
}

// Everything after the bytes are in place: the same for a path and for memory.
bool SoundFileReader::Impl::openBytes() {
    if (bytes.length == 0) return fail(SoundFileProblem::Empty, "0 bytes");
    SF_INFO info{};
    // libsndfile tries its MPEG decoder on files it cannot otherwise place, so any open
    // may make it talk.
    HeldMessages held(holdMessages);
    file = sf_open_virtual(const_cast<SF_VIRTUAL_IO*>(&soundBytesIo()), SFM_READ, &info, &bytes);
    held.end(file == nullptr || bytes.readErrno != 0);
    if (bytes.readErrno != 0)
        return fail(SoundFileProblem::NotReadable, std::strerror(bytes.readErrno));
    if (file == nullptr) {
        const OpenDiagnosis d = diagnoseOpenFailure(bytes, sf_error(nullptr), sf_strerror(nullptr));
        return fail(d.problem, d.detail);
    }
    if (info.frames <= 0 || info.channels <= 0) {
        std::vector<char> log(4096, '\0');
        sf_command(file, SFC_GET_LOG_INFO, log.data(), static_cast<int>(log.size()));
        const OpenDiagnosis d = diagnoseNoFrames(bytes, log.data());
        return fail(d.problem, d.detail);
    }
    if (info.samplerate < lowestRate(outputRate) || info.samplerate > highestRate(outputRate)) {
        return fail(SoundFileProblem::UnsupportedRate,
                    std::to_string(info.samplerate) + " Hz; " +
                        std::to_string(lowestRate(outputRate)) + " to " +
                        std::to_string(highestRate(outputRate)) + " Hz can be converted");
    }
    format.sampleRate = info.samplerate;
    format.channels = info.channels;
    format.frames = info.frames;
    format.passThrough = info.samplerate == outputRate && info.channels == 1 &&
                         (info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16;
    format.resampled = info.samplerate != outputRate;
    decoderTalks = isMpeg(info.format);
    ogg = (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_OGG;
    oggPages = ogg ? checkOggPages(bytes, info.samplerate) : OggPageCheck{};
    if (bytes.readErrno != 0)
        return fail(SoundFileProblem::NotReadable, std::strerror(bytes.readErrno));
    // From here on, reaching the end of the bytes means the sound ran to them (the open
    // may have looked at the end for a length).
    bytes.readPastEnd = false;
    damagedAt = -1;
    damage.clear();
    announcedFrames = std::max<int64_t>(info.frames == SF_COUNT_MAX ? 0 : info.frames,
                                        announcedHeaderFrames(bytes));
    if (format.resampled) {
        std::string why;
        if (!resampler.open(info.samplerate, outputRate, why))
            return fail(SoundFileProblem::UnsupportedRate, why);
    }
    if (!format.passThrough) {
        const bool integers = (info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16 &&
                              info.channels <= integerMixChannels;
        interleaved.assign(integers ? 0 : inputValues, 0.0f);
        interleaved16.assign(integers ? inputValues : 0, 0);
        mono.assign(monoValues, 0.0f);
        converted.assign(monoValues, 0.0f);
    }
    monoUsed = monoFilled = convertedUsed = convertedFilled = 0;
    inputEnded = drained = false;
    framesRead = 0;
    warning.clear();
    error = SoundFileError{};
    return true;
}

void SoundFileReader::close() {
    impl_->release();
    impl_->error = SoundFileError{};
}

bool SoundFileReader::isOpen() const {
    return impl_->file != nullptr;
}

const SoundFileError& SoundFileReader::error() const {
    return impl_->error;
}

const SoundFileFormat& SoundFileReader::format() const {
    return impl_->format;
}

const std::string& SoundFileReader::warning() const {
    return impl_->warning;
}

bool SoundFileReader::rewind() {
    Impl& s = *impl_;
    if (s.file == nullptr) return false;
    if (sf_seek(s.file, 0, SEEK_SET) != 0)
        return s.fail(SoundFileProblem::ReadFailed, "cannot rewind");
    s.resampler.reset();
    s.monoUsed = s.monoFilled = s.convertedUsed = s.convertedFilled = 0;
    s.inputEnded = s.drained = false;
    s.framesRead = 0;
    s.damagedAt = -1;
    s.bytes.readPastEnd = false;
    return true;
}

// ---- convert ----

// Reads up to maxFrames frames from the file and averages their channels into out.
int32_t SoundFileReader::Impl::mixFrames(float* out, int32_t maxFrames) {
    const int32_t channels = format.channels;
    if (channels > inputValues) return 0;  // libsndfile refuses such files before this
    const int32_t frames = std::min(maxFrames, inputValues / channels);
    if (!interleaved16.empty()) {
        const int32_t got = decode(interleaved16.data(), frames);
        mixToMono(interleaved16.data(), channels, got, out);
        return got;
    }
    const int32_t got = decode(interleaved.data(), frames);
    mixToMono(interleaved.data(), channels, got, out);
    return got;
}

// One call into the decoder for up to frames frames: the frames it gave, or 0 when the
// sound stops here. A decoder that reports damage stops the sound where the damage begins,
// nothing of what that call gave kept (libFLAC fills a frame it lost with silence); ended()
// then tells why the sound stopped. The same error from a decoder that has run out of
// bytes is a file cut short (libFLAC: "lost sync" at the end), not damage.
template <typename Sample>
int32_t SoundFileReader::Impl::decode(Sample* out, int32_t frames) {
    if (damagedAt >= 0) return 0;
    if (oggPages.damageFrame >= 0)
        frames = static_cast<int32_t>(std::min<int64_t>(frames, oggPages.damageFrame - framesRead));
    if (frames <= 0) {
        damagedAt = oggPages.damageFrame;
        return 0;
    }
    HeldMessages held(holdMessages && decoderTalks);
    sf_count_t got = 0;
    if constexpr (std::is_same_v<Sample, float>)
        got = sf_readf_float(file, out, frames);
    else
        got = sf_readf_short(file, out, frames);
    const int code = sf_error(file);
    const std::string note = held.end(bytes.readErrno != 0 || code != SF_ERR_NO_ERROR);
    const bool ranOut = bytes.readPastEnd || bytes.position >= bytes.length;
    if (bytes.readErrno == 0 && code != SF_ERR_NO_ERROR && !(ranOut && got < frames)) {
        damagedAt = framesRead;
        damage = sf_strerror(file);
        return 0;
    }
    if (bytes.readErrno == 0 && notesDamage(note)) {
        damagedAt = framesRead;
        damage = "libmpg123: " + note;
        return 0;
    }
    if (got <= 0) return 0;
    framesRead += got;
    return static_cast<int32_t>(got);
}

// ---- read ----
// Puts the next stretch of mono values at the output rate into converted; false at the end.
bool SoundFileReader::Impl::refill() {
    convertedUsed = convertedFilled = 0;
    if (!resampler.isOpen()) {
        convertedFilled = mixFrames(converted.data(), monoValues);
        return convertedFilled > 0;
    }
    while (!drained) {
        if (monoUsed == monoFilled && !inputEnded) {
            monoUsed = 0;
            monoFilled = mixFrames(mono.data(), monoValues);
            inputEnded = monoFilled == 0;
        }
        size_t taken = 0, given = 0;
        std::string why;
        const float* input = inputEnded ? nullptr : mono.data() + monoUsed;
        if (!resampler.process(input, static_cast<size_t>(monoFilled - monoUsed), taken,
                               converted.data(), monoValues, given, why))
            return fail(SoundFileProblem::ReadFailed, why);
        monoUsed += static_cast<int32_t>(taken);
        convertedFilled = static_cast<int32_t>(given);
        if (convertedFilled > 0) return true;
        // With the input ended, a call that gives nothing means the tail is out too.
        if (inputEnded) drained = true;
    }
    return false;
}

int32_t SoundFileReader::read(int16_t* out, int32_t count) {
    Impl& s = *impl_;
    if (s.file == nullptr || count <= 0) return 0;
    int32_t written = 0;
    if (s.format.passThrough) {
        while (written < count) {
            const int32_t got = s.decode(out + written, count - written);
            if (got <= 0) break;
            written += got;
        }
    } else {
        while (written < count) {
            if (s.convertedUsed == s.convertedFilled && !s.refill()) break;
            const int32_t n = std::min(count - written, s.convertedFilled - s.convertedUsed);
            const float* from = s.converted.data() + s.convertedUsed;
            for (int32_t i = 0; i < n; ++i)
                out[written + i] = toSample16(from[i]);
            written += n;
            s.convertedUsed += n;
        }
    }
    if (written < count && s.file != nullptr) s.ended();
    return written;
}

// The sound stopped coming: a refusal of the system, or damage inside the file, ends the
// reading with an error; a sound that merely stopped short, its file cut, is a warning.
void SoundFileReader::Impl::ended() {
    const auto at = [this](int64_t frame) {
        char text[48];
        std::snprintf(text, sizeof text, " at %.1f s",
                      static_cast<double>(frame) / format.sampleRate);
        return std::string(text);
    };
    // libmpg123 stops at a frame head it cannot read without a note; a cut MPEG file
    // stops only at the end of its bytes.
    const bool stoppedInside = decoderTalks && framesRead < announcedFrames && !bytes.readPastEnd &&
                               bytes.position < bytes.length;
    if (bytes.readErrno != 0) {
        fail(SoundFileProblem::ReadFailed, std::strerror(bytes.readErrno), at(framesRead));
    } else if (damagedAt >= 0 && !damage.empty()) {
        fail(SoundFileProblem::DamagedSound, damage, at(damagedAt));
    } else if (oggPages.damageFrame >= 0) {
        fail(SoundFileProblem::DamagedSound, oggPages.why, at(oggPages.damageFrame));
    } else if (stoppedInside) {
        fail(SoundFileProblem::DamagedSound, "the sound stops before the end of the file",
             at(framesRead));
    } else if (framesRead < announcedFrames && warning.empty()) {
        char text[96];
        std::snprintf(text, sizeof text,
                      ": shorter than its header says: %.1f s read of %.1f s announced",
                      static_cast<double>(framesRead) / format.sampleRate,
                      static_cast<double>(announcedFrames) / format.sampleRate);
        warning = printableText(name) + text;
    } else if ((oggPages.cutOff || sf_error(file) != SF_ERR_NO_ERROR) && warning.empty()) {
        char text[64];
        std::snprintf(text, sizeof text, ": cut short: the sound ends after %.1f s",
                      static_cast<double>(framesRead) / format.sampleRate);
        warning = printableText(name) + text;
    }
}

}  // namespace veldra
