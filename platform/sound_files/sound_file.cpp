// Sections: open: path and memory, then the shared opening; convert: mixing and the
// conversion to 16-bit; read: the pass-through, direct and resampling roads.
#include "platform/sound_files/sound_file.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
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

}  // namespace

struct SoundFileReader::Impl {
    int32_t outputRate = 0;                // what read() delivers, samples per second
    SoundBytes bytes;                      // where libsndfile reads from
    SNDFILE* file = nullptr;               // open libsndfile handle, or null
    Resampler resampler;                   // open only for rates other than outputRate
    std::string name;                      // the file as messages name it
    SoundFileError error;                  // why the last open or read failed
    SoundFileFormat format;                // what the open file holds
    std::vector<float> interleaved;        // raw frames from libsndfile, inputValues long
    std::vector<float> mono;               // mixed input of the resampler, monoValues long
    std::vector<float> converted;          // mixed or resampled output, monoValues long
    int32_t monoUsed = 0, monoFilled = 0;  // resampler input window in mono
    int32_t convertedUsed = 0, convertedFilled = 0;  // output window in converted
    bool inputEnded = false;                         // libsndfile has no more frames
    bool drained = false;                            // the resampler has given out its tail too

    bool fail(SoundFileProblem problem, const std::string& detail);
    bool openBytes();
    int32_t mixFrames(float* out, int32_t maxFrames);
    bool refill();
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
    }
    return "unknown problem";
}

SoundFileReader::SoundFileReader(int32_t outputRate) : impl_(std::make_unique<Impl>()) {
    impl_->outputRate = outputRate;
}

SoundFileReader::~SoundFileReader() {
    close();
}

bool SoundFileReader::Impl::fail(SoundFileProblem problem, const std::string& detail) {
    release();
    error.problem = problem;
    error.message = name + ": " + soundFileProblemText(problem);
    if (!detail.empty()) error.message += " (" + detail + ")";
    // One line, whatever a library's text held.
    std::replace(error.message.begin(), error.message.end(), '\n', ' ');
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
    file = sf_open_virtual(const_cast<SF_VIRTUAL_IO*>(&soundBytesIo()), SFM_READ, &info, &bytes);
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
    if (format.resampled) {
        std::string why;
        if (!resampler.open(info.samplerate, outputRate, why))
            return fail(SoundFileProblem::UnsupportedRate, why);
    }
    if (!format.passThrough) {
        interleaved.assign(inputValues, 0.0f);
        mono.assign(monoValues, 0.0f);
        converted.assign(monoValues, 0.0f);
    }
    monoUsed = monoFilled = convertedUsed = convertedFilled = 0;
    inputEnded = drained = false;
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

bool SoundFileReader::rewind() {
    Impl& s = *impl_;
    if (s.file == nullptr) return false;
    if (sf_seek(s.file, 0, SEEK_SET) != 0)
        return s.fail(SoundFileProblem::ReadFailed, "cannot rewind");
    s.resampler.reset();
    s.monoUsed = s.monoFilled = s.convertedUsed = s.convertedFilled = 0;
    s.inputEnded = s.drained = false;
    return true;
}

// ---- convert ----

// Reads up to maxFrames frames from the file and averages their channels into out.
int32_t SoundFileReader::Impl::mixFrames(float* out, int32_t maxFrames) {
    const int32_t channels = format.channels;
    if (channels > inputValues) return 0;  // libsndfile refuses such files before this
    const int32_t frames = std::min(maxFrames, inputValues / channels);
    const sf_count_t got = sf_readf_float(file, interleaved.data(), frames);
    if (got <= 0) return 0;
    mixToMono(interleaved.data(), channels, static_cast<int32_t>(got), out);
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
            const sf_count_t got = sf_read_short(s.file, out + written, count - written);
            if (got <= 0) break;
            written += static_cast<int32_t>(got);
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
    if (written < count && s.file != nullptr && sf_error(s.file) != SF_ERR_NO_ERROR) {
        const std::string why = sf_strerror(s.file);
        s.fail(SoundFileProblem::ReadFailed, why);
    }
    return written;
}

}  // namespace veldra
