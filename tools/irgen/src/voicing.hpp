// Level matching: how loud a response plays in the plug-in, and the low shelf that brings every response to the
// same programme loudness. The plug-in normalises each response to the same energy, so what sets the loudness
// is where that energy lies in frequency: a dark response puts it where programme material is loudest.
#pragma once

#include "dsp.hpp"

#include <array>

namespace irgen {

// The plug-in's defaults that shape what the convolution plays.
constexpr double kDefaultDecay = 3.0;      // s: the response is cut there with a fade
constexpr double kDefaultCharacter = 0.15; // blend of B into A
constexpr double kDefaultMix = 0.30;       // wet share of the output
constexpr double kWetGainDb = 17.0;        // the drive stage's fixed gain
constexpr double kWetLatency = 1024 + 0.02 * kSampleRate;  // engine latency plus the default pre-delay

// The common loudness (LUFS) of every response alone, per programme: pink noise at -12 dBFS RMS, speech and the
// drum loop peaking at -3 dBFS. Near the medians of the responses before matching.
constexpr std::array<double, 3> kLoudnessTargets{-8.8, -16.3, -17.2};

// The response as the engine plays it at the default Decay: cut with its fade and normalised to the energy of
// the loudest channel (0.125 for unit energy).
Stereo atDefaultDecay(const Stereo& s);

// Integrated loudness (LUFS) of the response alone at the default Decay with the wet path's gain, the mean of
// the three programmes.
double wetLoudnessMean(const Stereo& s);

// A low shelf of slope 1.
struct Shelf {
    double hz = 300.0;
    double db = 0.0;
};

// Applies the low shelf (corner 80-640 Hz, -18 to +12 dB) that brings the response's loudness with every
// programme closest to kLoudnessTargets (the smallest largest deviation) and returns it.
Shelf voiceForLoudness(Stereo& s);

// Loudness of a pair played through the plug-in's convolution at defaults, for each programme, and the peak of a
// -3 dBFS drum loop at the default mix with Character 0, 15 and 100 %.
struct PairLevels {
    std::array<double, 3> wetLufs{}, mixLufs{}, dryLufs{};
    double peakDbfs = -200.0;
};
PairLevels measurePair(const Stereo& playedA, const Stereo& playedB);

}  // namespace irgen
