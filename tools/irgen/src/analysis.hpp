// Measurements of a generated response, used by the checks and the report.
#pragma once

#include "dsp.hpp"

#include <array>
#include <vector>

namespace irgen {

struct Analysis {
    std::array<double, 7> rt60{};    // per analysis octave, mean of both channels
    std::array<bool, 7> t30{};       // fitted over 30 dB (else 20 dB)
    std::array<bool, 7> valid{};
    double edt = 0.0;                // broadband early decay time (0 to -10 dB, x6)
    double correlation = 0.0;        // L/R, from 5 ms on
    double peakDb = 0.0;
    double onsetDb = 0.0;            // loudest 5 ms window within the first 10 ms vs loudest anywhere
    double dcRatio = 0.0;            // |mean| / peak, worst channel
    double endDb = 0.0;              // 100 ms before the closing fade vs loudest 100 ms
    std::vector<float> edcDb;        // broadband Schroeder curve, one point per edcStep samples
    std::array<std::vector<float>, 7> bandEdcDb;
    std::size_t edcStep = 441;

    // What a listener hears as the type's texture.
    double onsetSeconds = 0.0;       // first sample within 20 dB of the peak
    double reflectionExcessDb = 0.0; // loudest 1 ms window 20-500 ms after the onset against its 20 ms median
    double echoDensity50 = 0.0;      // normalised echo density 50 ms after the onset (1 = Gaussian)
    double mixingMs = 0.0;           // after the onset until the echo density first reaches 0.9
    double dispersionMs = 0.0;       // first arrival of the 3 kHz third-octave after that of 500 Hz
    double level4kDb = 0.0;          // 4 kHz octave energy against the 1 kHz octave
    double level8kDb = 0.0;          // 8 kHz octave energy against the 1 kHz octave
    double monoLossDb = 0.0;         // loss of a mono sum beyond that of an uncorrelated pair
};

Analysis analyze(const Stereo& s);

// Magnitude spectrogram in dB, `rows` frequency rows (row 0 = lowest) by `cols`
// time columns spanning [0, seconds).
struct Spectrogram {
    std::size_t cols = 0, rows = 0;
    double seconds = 0.0, minHz = 0.0, maxHz = 0.0;
    bool logFreq = true;
    std::vector<float> db;  // rows * cols, row-major
    float at(std::size_t row, std::size_t col) const { return db[row * cols + col]; }
};

Spectrogram spectrogram(const std::vector<double>& x, double seconds, bool logFreq, double minHz,
                        double maxHz, std::size_t cols, std::size_t rows, std::size_t window = 1024);

}  // namespace irgen
