#include "platform/sound_files/sound_file_diagnosis.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace veldra {
namespace {

// The first bytes of the containers libsndfile reads. A file that starts like one of
// them (or is too short to say) and ends while its header is being read was cut off.
constexpr const char* signatures[] = {
    "RIFF",
    "RIFX",
    "RF64",
    "riff",
    "FORM",
    "fLaC",
    "OggS",
    ".snd",
    "dns.",
    "caff",
    "NIST",
    "2BIT",
    "MAT",
    "SDS",
    "\x64\xa3\x01\x00",
    "\x00\x01\x00\x00",
    "wvpk",
};

bool startsLikeSoundFile(SoundBytes& bytes) {
    unsigned char head[4] = {};
    const int64_t got = peekBytes(bytes, 0, head, sizeof head);
    for (const char* signature : signatures) {
        const int64_t n = std::min<int64_t>(got, static_cast<int64_t>(std::strlen(signature)));
        if (n > 0 && std::memcmp(head, signature, static_cast<size_t>(n)) == 0) return true;
    }
    return false;
}

uint32_t le32(const unsigned char* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint32_t be32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

bool isRiffWave(SoundBytes& bytes) {
    unsigned char header[12];
    return peekBytes(bytes, 0, header, 12) == 12 && std::memcmp(header, "RIFF", 4) == 0 &&
           std::memcmp(header + 8, "WAVE", 4) == 0;
}

struct WavChunk {
    bool found;     // the chunk was reached with its 8-byte head complete
    bool cutOff;    // the chunks ran off the end of the file before reaching it
    int64_t body;   // offset of the chunk's body
    uint32_t size;  // the size its head claims
};

// Walks a RIFF/WAVE file's chunks to the first one named id. libsndfile stops at the end
// of the file without reading past it, so a file cut off there is found by this walk.
WavChunk findWavChunk(SoundBytes& bytes, const char* id) {
    if (!isRiffWave(bytes)) return {false, false, 0, 0};
    int64_t at = 12;
    for (int chunks = 0; chunks < 10000; ++chunks) {
        unsigned char head[8];
        if (peekBytes(bytes, at, head, 8) != 8) return {false, true, 0, 0};
        const uint32_t size = le32(head + 4);
        if (std::memcmp(head, id, 4) == 0) return {true, false, at + 8, size};
        at += 8 + static_cast<int64_t>(size) + (size & 1);
        if (at > bytes.length) return {false, true, 0, 0};
    }
    return {false, false, 0, 0};
}

// The format tag of a WAV file's complete format chunk (found by findWavChunk), or -1.
// For the extensible format the tag comes from the sub-format.
int32_t wavFormatTag(SoundBytes& bytes, const WavChunk& fmt) {
    if (!fmt.found || fmt.size < 16) return -1;
    unsigned char body[40];
    const int64_t want = fmt.size >= 40 ? 40 : 16;
    if (peekBytes(bytes, fmt.body, body, want) != want) return -1;
    const int32_t tag = body[0] | body[1] << 8;
    if (tag == 0xFFFE && want == 40) return body[24] | body[25] << 8;
    return tag;
}

// WAV encodings libsndfile decodes: PCM, MS ADPCM, float, A-law, mu-law, IMA ADPCM, GSM 6.10,
// MPEG. A file with one of these that still fails is damaged, not unsupported.
bool decodableWavTag(int32_t tag) {
    for (int32_t known : {0x0001, 0x0002, 0x0003, 0x0006, 0x0007, 0x0011, 0x0031, 0x0050, 0x0055})
        if (tag == known) return true;
    return false;
}

bool isOgg(SoundBytes& bytes) {
    unsigned char head[4];
    return peekBytes(bytes, 0, head, 4) == 4 && std::memcmp(head, "OggS", 4) == 0;
}

bool mentionsEncoding(const std::string& text) {
    return text.find("encoding") != std::string::npos ||
           text.find("unsupported") != std::string::npos ||
           text.find("compression") != std::string::npos;
}

}  // namespace

OpenDiagnosis diagnoseOpenFailure(SoundBytes& bytes, int sfCode, const std::string& sfText) {
    if (sfCode == SF_ERR_SYSTEM) return {SoundFileProblem::NotReadable, sfText};
    const bool known = startsLikeSoundFile(bytes);
    const bool endedEarly = isOgg(bytes) ? checkOggPages(bytes, 0).cutOff : bytes.readPastEnd;
    if (sfCode == SF_ERR_UNRECOGNISED_FORMAT) {
        if (known && endedEarly)
            return {SoundFileProblem::Truncated, "the file ends inside its header"};
        return {SoundFileProblem::NotSoundFile, ""};
    }
    if (endedEarly || findWavChunk(bytes, "data").cutOff)
        return {SoundFileProblem::Truncated, "the file ends inside its header"};
    // libsndfile calls an unknown WAV codec a malformed format chunk; the tag says more.
    const int32_t tag = wavFormatTag(bytes, findWavChunk(bytes, "fmt "));
    if (tag >= 0 && !decodableWavTag(tag)) {
        char detail[40];
        std::snprintf(detail, sizeof detail, "WAV format tag 0x%04X", static_cast<unsigned>(tag));
        return {SoundFileProblem::UnsupportedEncoding, detail};
    }
    if (sfCode == SF_ERR_UNSUPPORTED_ENCODING || mentionsEncoding(sfText))
        return {SoundFileProblem::UnsupportedEncoding, sfText};
    return {SoundFileProblem::Damaged, sfText};
}

OpenDiagnosis diagnoseNoFrames(const SoundBytes& bytes, const std::string& logText) {
    // libsndfile notes "(should be N)" where a header's sizes disagree with the file: a
    // header promising sound that is not there.
    if (bytes.readPastEnd && logText.find("(should be") != std::string::npos)
        return {SoundFileProblem::Truncated, "no sound data present"};
    return {SoundFileProblem::Empty, "no sound in it"};
}

namespace {

// A PCM or float WAV's data chunk, in whole frames.
int64_t announcedWavFrames(SoundBytes& bytes) {
    const WavChunk data = findWavChunk(bytes, "data");
    const WavChunk fmt = findWavChunk(bytes, "fmt ");
    unsigned char body[16];
    if (!data.found || !fmt.found || fmt.size < 16 || peekBytes(bytes, fmt.body, body, 16) != 16)
        return -1;
    const int32_t tag = wavFormatTag(bytes, fmt);
    const uint32_t blockAlign = body[12] | body[13] << 8;
    // 0 and 0xFFFFFFFF are what recorders write while the length is not yet known.
    if ((tag != 0x0001 && tag != 0x0003) || blockAlign == 0 || data.size == 0 ||
        data.size == 0xFFFFFFFF)
        return -1;
    return data.size / blockAlign;
}

// An AIFF or AIFF-C file's COMM chunk counts its sample frames whatever the encoding.
int64_t announcedAiffFrames(SoundBytes& bytes) {
    int64_t at = 12;
    for (int chunks = 0; chunks < 10000; ++chunks) {
        // A chunk's id and big-endian size, then COMM's channels and frames.
        unsigned char head[14];
        if (peekBytes(bytes, at, head, 14) != 14) return -1;
        const uint32_t size = be32(head + 4);
        if (std::memcmp(head, "COMM", 4) == 0) {
            const uint32_t frames = be32(head + 10);
            return size < 18 || frames == 0 || frames == 0xFFFFFFFF ? -1 : frames;
        }
        at += 8 + static_cast<int64_t>(size) + (size & 1);
    }
    return -1;
}

// Ogg's page checksum: CRC-32 with the polynomial 0x04C11DB7, most significant bit first,
// starting from 0 and not inverted, over the page with its checksum field read as zero.
uint32_t oggCrcStep(uint32_t crc, unsigned char byte) {
    static const auto table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t r = i << 24;
            for (int bit = 0; bit < 8; ++bit)
                r = r & 0x80000000u ? (r << 1) ^ 0x04C11DB7u : r << 1;
            t[i] = r;
        }
        return t;
    }();
    return (crc << 8) ^ table[(crc >> 24) ^ byte];
}

uint64_t le64(const unsigned char* p) {
    return le32(p) | static_cast<uint64_t>(le32(p + 4)) << 32;
}

}  // namespace

OggPageCheck checkOggPages(SoundBytes& bytes, int32_t sampleRate) {
    OggPageCheck check;
    std::vector<unsigned char> page(27 + 255 + 255 * 255);
    int64_t at = 0;
    bool first = true;
    uint32_t serial = 0;      // the first stream's, whose granules count the frames
    uint64_t granule = 0;     // its last whole page's position, in granule units
    int64_t preSkip = 0;      // Opus: granule units before the first sample
    int64_t granuleRate = 0;  // granule units per second; 0 until the head is known
    bool ended = false;       // the last page read closed its stream
    const auto frameOf = [&](uint64_t g) {
        if (granuleRate == 0 || sampleRate <= 0) return int64_t{0};
        const double seconds =
            static_cast<double>(g > static_cast<uint64_t>(preSkip) ? g - preSkip : 0) /
            static_cast<double>(granuleRate);
        return static_cast<int64_t>(seconds * sampleRate);
    };
    while (at < bytes.length) {
        // A page: "OggS", version, flags, granule, serial, sequence, checksum, the count of
        // segments and their lengths (27 + count bytes), then the body.
        const int64_t got = peekBytes(bytes, at, page.data(), 27);
        if (got >= 4 && std::memcmp(page.data(), "OggS", 4) != 0) {
            // Bytes after a stream's last page are a tag or padding; before it, damage.
            if (!ended) check.damageFrame = frameOf(granule);
            check.why = "bytes that are not an Ogg page inside the stream";
            return check;
        }
        if (got < 27) return check.cutOff = true, check;
        const int32_t segments = page[26];
        if (peekBytes(bytes, at + 27, page.data() + 27, segments) < segments)
            return check.cutOff = true, check;
        int64_t body = 0;
        for (int32_t i = 0; i < segments; ++i)
            body += page[27 + i];
        const int64_t size = 27 + segments + body;
        if (peekBytes(bytes, at + 27 + segments, page.data() + 27 + segments, body) < body)
            return check.cutOff = true, check;
        uint32_t crc = 0;
        for (int64_t i = 0; i < size; ++i)
            crc = oggCrcStep(crc, i >= 22 && i < 26 ? 0 : page[i]);
        if (crc != le32(page.data() + 22)) {
            check.damageFrame = frameOf(granule);
            check.why = "an Ogg page fails its checksum";
            return check;
        }
        if (first) {
            // The stream's head packet says what its granules count.
            first = false;
            serial = le32(page.data() + 14);
            const unsigned char* packet = page.data() + 27 + segments;
            if (body >= 19 && std::memcmp(packet, "OpusHead", 8) == 0) {
                granuleRate = 48000;  // Opus counts at 48 kHz whatever it was made from
                preSkip = packet[10] | packet[11] << 8;
            } else if (body >= 16 && std::memcmp(packet, "\x01vorbis", 7) == 0) {
                granuleRate = le32(packet + 12);
            }
        }
        const uint64_t position = le64(page.data() + 6);
        // All ones: no packet ends on this page.
        if (le32(page.data() + 14) == serial && position != ~uint64_t{0}) granule = position;
        ended = (page[5] & 0x04) != 0;
        at += size;
    }
    return check;
}

int64_t announcedHeaderFrames(SoundBytes& bytes) {
    unsigned char head[12];
    if (peekBytes(bytes, 0, head, 12) != 12) return -1;
    if (std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WAVE", 4) == 0)
        return announcedWavFrames(bytes);
    if (std::memcmp(head, "FORM", 4) == 0 &&
        (std::memcmp(head + 8, "AIFF", 4) == 0 || std::memcmp(head + 8, "AIFC", 4) == 0))
        return announcedAiffFrames(bytes);
    return -1;
}

}  // namespace veldra
