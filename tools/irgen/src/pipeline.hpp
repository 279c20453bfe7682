// Generation of one response: render, finish, measure, encode and verify.
#pragma once

#include "analysis.hpp"
#include "catalog.hpp"
#include "encode.hpp"

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
};

struct PipelineOptions {
    std::string outDir;
    std::string tempDir;
    bool encode = true;
    double peakDb = -1.0;
};

Outcome produce(const IrSpec& spec, const PipelineOptions& opt);

// ID3v2.4 tag text used for every file.
std::string softwareTag();

}  // namespace irgen
