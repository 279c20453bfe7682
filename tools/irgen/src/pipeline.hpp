// Generation of one response: render, finish, measure, encode and verify.
#pragma once

#include "analysis.hpp"
#include "catalog.hpp"
#include "encode.hpp"
#include "voicing.hpp"

#include <string>
#include <vector>

namespace irgen {

struct Outcome {
    const IrSpec* spec = nullptr;
    std::size_t samples = 0;
    std::string modelNote;
    Analysis analysis;
    Spectrogram overview;      // whole response, log frequency
    Spectrogram detail;        // first part, linear frequency (shows spring chirps)
    std::vector<float> echogram;  // peak level (dB re peak) per column over the first echogramSeconds
    double echogramSeconds = 0.0;
    bool encoded = false;
    MpegScan scan;
    std::size_t fileBytes = 0;
    std::size_t decodedSamples = 0;
    double decodedPeakDb = -400.0;
    int encodeAttempts = 0;
    std::vector<std::string> problems;  // empty when every check passed
    Shelf shelf;                // the low shelf that level-matched the response
    double loudnessDb = 0.0;    // wetLoudnessMean of the finished response
    Stereo played;              // as the engine plays it at the default Decay
};

// A pair measured through the plug-in's convolution at defaults, with its place among all pairs.
struct PairOutcome {
    std::string name;             // "Plate1"
    PairLevels levels;
    std::array<double, 3> wetFromMedian{}, mixFromMedian{};
};

struct PipelineOptions {
    std::string outDir;
    std::string tempDir;
    bool encode = true;
    double peakDb = -1.0;
    bool levelMatch = true;
};

Outcome produce(const IrSpec& spec, const PipelineOptions& opt);

// Pairs every A with its B and measures them together (the outcomes keep their played responses).
std::vector<PairOutcome> measurePairs(const std::vector<Outcome>& outcomes);

// ID3v2.4 tag text used for every file.
std::string softwareTag();

}  // namespace irgen
