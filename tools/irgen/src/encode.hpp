// WAV files, the lame subprocess, MPEG frame scanning and the ID3v2.4 tag.
#pragma once

#include "dsp.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace irgen {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kSamplesPerFrame = 1152;

// lame pads one frame of encoder delay/flush, so N input samples become
// ceil(N / 1152) + 1 audio frames (plus its Info frame).
std::size_t lameAudioFrames(std::size_t samples);
// Longest input that encodes to exactly `frames` audio frames.
std::size_t samplesForFrames(std::size_t frames);

// 24-bit PCM stereo WAV, samples clamped to [-1, 1).
Bytes wavBytes24(const Stereo& s, double fs = kSampleRate);
// Reads 16- or 24-bit PCM WAV (as written by lame --decode or wavBytes24).
Stereo parseWav(const Bytes& data, double* fs = nullptr);

Bytes readFile(const std::string& path);
void writeFile(const std::string& path, const Bytes& data);

// Runs a program found on PATH with the given arguments (its standard output
// discarded); returns the exit code, 127 if it could not be started.
int runProgram(const std::vector<std::string>& argv);

struct MpegScan {
    std::size_t id3Size = 0;       // bytes of a leading ID3v2 tag, 0 if none
    int id3Major = 0;              // 3 or 4
    std::size_t audioFrames = 0;   // frames that carry audio
    bool infoFrame = false;        // first frame is a Xing/Info tag frame
    bool allMpeg1Layer3 = true;
    bool allStereo = true;         // channel mode 00, not joint stereo
    bool all320 = true;
    bool all44100 = true;
    std::size_t trailingBytes = 0; // bytes after the last frame
    std::string error;             // empty when the stream parsed cleanly
};
MpegScan scanMpeg(const Bytes& data);

// Minimal ID3v2.4 tag with UTF-8 TIT2 and TSSE text frames, no padding.
Bytes id3v24Tag(const std::string& title, const std::string& software);
// Removes a leading ID3v2 tag if there is one.
Bytes stripId3v2(const Bytes& data);

}  // namespace irgen
