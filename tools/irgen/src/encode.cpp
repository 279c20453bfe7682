#include "encode.hpp"

#include <algorithm>
#include <cmath>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>

extern char** environ;

namespace irgen {

std::size_t lameAudioFrames(std::size_t samples) {
    return (samples + kSamplesPerFrame - 1) / kSamplesPerFrame + 1;
}

std::size_t samplesForFrames(std::size_t frames) {
    if (frames < 2) throw std::invalid_argument("need at least two frames");
    return (frames - 1) * kSamplesPerFrame;
}

namespace {
void put16(Bytes& b, std::uint32_t v) {
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}
void put32(Bytes& b, std::uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}
void putTag(Bytes& b, const char* t) { b.insert(b.end(), t, t + 4); }
std::uint32_t get16(const Bytes& b, std::size_t at) { return std::uint32_t(b[at]) | (std::uint32_t(b[at + 1]) << 8); }
std::uint32_t get32(const Bytes& b, std::size_t at) { return get16(b, at) | (get16(b, at + 2) << 16); }
}  // namespace

Bytes wavBytes24(const Stereo& s, double fs) {
    const std::size_t n = s.size();
    const std::uint32_t dataBytes = std::uint32_t(n * 6);
    Bytes b;
    b.reserve(44 + dataBytes);
    putTag(b, "RIFF");
    put32(b, 36 + dataBytes);
    putTag(b, "WAVE");
    putTag(b, "fmt ");
    put32(b, 16);
    put16(b, 1);  // PCM
    put16(b, 2);
    put32(b, std::uint32_t(fs));
    put32(b, std::uint32_t(fs) * 6);
    put16(b, 6);
    put16(b, 24);
    putTag(b, "data");
    put32(b, dataBytes);
    for (std::size_t i = 0; i < n; ++i) {
        for (int ch = 0; ch < 2; ++ch) {
            const double x = s.ch(ch)[i];
            const long v = std::clamp(std::lround(x * 8388608.0), -8388608L, 8388607L);
            const auto u = std::uint32_t(v);
            b.push_back(std::uint8_t(u));
            b.push_back(std::uint8_t(u >> 8));
            b.push_back(std::uint8_t(u >> 16));
        }
    }
    return b;
}

Stereo parseWav(const Bytes& d, double* fs) {
    if (d.size() < 12 || std::memcmp(d.data(), "RIFF", 4) != 0 || std::memcmp(d.data() + 8, "WAVE", 4) != 0)
        throw std::runtime_error("not a RIFF/WAVE file");
    std::size_t at = 12;
    int channels = 0, bits = 0;
    while (at + 8 <= d.size()) {
        const std::uint32_t len = get32(d, at + 4);
        const std::size_t body = at + 8;
        if (std::memcmp(d.data() + at, "fmt ", 4) == 0) {
            if (body + 16 > d.size()) break;
            channels = int(get16(d, body + 2));
            if (fs) *fs = double(get32(d, body + 4));
            bits = int(get16(d, body + 14));
        } else if (std::memcmp(d.data() + at, "data", 4) == 0) {
            if (channels < 1 || channels > 2 || (bits != 16 && bits != 24))
                throw std::runtime_error("unsupported WAV format");
            const std::size_t bytesPer = std::size_t(bits / 8);
            const std::size_t avail = std::min<std::size_t>(len, d.size() - body);
            const std::size_t frames = avail / (bytesPer * std::size_t(channels));
            Stereo s(frames);
            for (std::size_t i = 0; i < frames; ++i) {
                for (int ch = 0; ch < channels; ++ch) {
                    const std::size_t p = body + (i * std::size_t(channels) + std::size_t(ch)) * bytesPer;
                    double v;
                    if (bits == 16) {
                        v = double(std::int16_t(get16(d, p))) / 32768.0;
                    } else {
                        std::int32_t x = std::int32_t(d[p] | (d[p + 1] << 8) | (d[p + 2] << 16));
                        if (x & 0x800000) x -= 0x1000000;
                        v = double(x) / 8388608.0;
                    }
                    s.ch(ch)[i] = v;
                    if (channels == 1) s.r[i] = v;
                }
            }
            return s;
        }
        at = body + len + (len & 1);
    }
    throw std::runtime_error("WAV file without data");
}

Bytes readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) throw std::runtime_error("cannot read " + path);
    return Bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const Bytes& data) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (!f) throw std::runtime_error("cannot write " + path);
    f.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    if (!f) throw std::runtime_error("short write to " + path);
}

int runProgram(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    // Standard output goes nowhere; diagnostics on standard error stay visible.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return 127;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return 127;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

namespace {
const int kBitrateMpeg1L3[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
const int kRateMpeg1[4] = {44100, 48000, 32000, 0};

std::size_t syncsafe(const std::uint8_t* p) {
    return (std::size_t(p[0] & 0x7F) << 21) | (std::size_t(p[1] & 0x7F) << 14) |
           (std::size_t(p[2] & 0x7F) << 7) | std::size_t(p[3] & 0x7F);
}

std::size_t id3Length(const Bytes& d) {
    if (d.size() < 10 || d[0] != 'I' || d[1] != 'D' || d[2] != '3') return 0;
    const bool footer = (d[5] & 0x10) != 0;
    return 10 + syncsafe(&d[6]) + (footer ? 10 : 0);
}

void putSyncsafe(Bytes& b, std::size_t v) {
    if (v >= (std::size_t(1) << 28)) throw std::length_error("ID3 size too large");
    for (int shift = 21; shift >= 0; shift -= 7) b.push_back(std::uint8_t((v >> shift) & 0x7F));
}

void putTextFrame(Bytes& b, const char* id, const std::string& text) {
    b.insert(b.end(), id, id + 4);
    putSyncsafe(b, text.size() + 1);
    b.push_back(0);
    b.push_back(0);
    b.push_back(3);  // UTF-8
    b.insert(b.end(), text.begin(), text.end());
}
}  // namespace

MpegScan scanMpeg(const Bytes& d) {
    MpegScan s;
    s.id3Size = id3Length(d);
    if (s.id3Size) s.id3Major = d[3];
    std::size_t at = s.id3Size;
    bool first = true;
    while (at + 4 <= d.size()) {
        const std::uint8_t* h = &d[at];
        if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) {
            if (d.size() - at == 128 && h[0] == 'T' && h[1] == 'A' && h[2] == 'G') {
                s.trailingBytes = 128;  // ID3v1
                return s;
            }
            s.error = "lost frame sync at byte " + std::to_string(at);
            s.trailingBytes = d.size() - at;
            return s;
        }
        const int version = (h[1] >> 3) & 3, layer = (h[1] >> 1) & 3;
        const int brIdx = h[2] >> 4, srIdx = (h[2] >> 2) & 3, pad = (h[2] >> 1) & 1;
        const int mode = h[3] >> 6;
        if (version != 3 || layer != 1) {
            s.allMpeg1Layer3 = false;
            s.error = "not an MPEG-1 Layer III frame at byte " + std::to_string(at);
            return s;
        }
        const int br = kBitrateMpeg1L3[brIdx], sr = kRateMpeg1[srIdx];
        if (br == 0 || sr == 0) {
            s.error = "invalid frame header at byte " + std::to_string(at);
            return s;
        }
        const std::size_t len = std::size_t(144 * br * 1000 / sr + pad);
        if (at + len > d.size()) {
            s.error = "truncated frame at byte " + std::to_string(at);
            return s;
        }
        bool info = false;
        if (first) {
            // Side information is 32 bytes for MPEG-1 stereo, 17 for mono.
            const std::size_t off = at + 4 + (mode == 3 ? 17 : 32);
            if (off + 4 <= d.size() &&
                (std::memcmp(&d[off], "Xing", 4) == 0 || std::memcmp(&d[off], "Info", 4) == 0))
                info = true;
        }
        if (info) {
            s.infoFrame = true;
        } else {
            ++s.audioFrames;
            if (br != 320) s.all320 = false;
            if (sr != 44100) s.all44100 = false;
            if (mode != 0) s.allStereo = false;
        }
        first = false;
        at += len;
    }
    s.trailingBytes = d.size() - at;
    return s;
}

Bytes id3v24Tag(const std::string& title, const std::string& software) {
    Bytes frames;
    putTextFrame(frames, "TIT2", title);
    putTextFrame(frames, "TSSE", software);
    Bytes tag = {'I', 'D', '3', 4, 0, 0};
    putSyncsafe(tag, frames.size());
    tag.insert(tag.end(), frames.begin(), frames.end());
    return tag;
}

Bytes stripId3v2(const Bytes& data) {
    const std::size_t n = id3Length(data);
    if (n == 0 || n > data.size()) return data;
    return Bytes(data.begin() + std::ptrdiff_t(n), data.end());
}

}  // namespace irgen
