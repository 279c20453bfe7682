// The space: a statistical diffuse field with a slow swell and drifting bands.
#include "model_common.hpp"

#include <algorithm>
#include <cmath>

namespace irgen {

Stereo renderSpace(const SpaceParams& p, std::size_t n) {
    const double fs = kSampleRate;
    const BandSplit split(31.25, 1.0 / 3.0, 28);  // up to 16 kHz
    std::vector<double> noise[2];
    for (int ch = 0; ch < 2; ++ch) {
        Rng rng(deriveSeed(p.seed, 30 + ch));
        noise[ch].resize(n);
        for (auto& x : noise[ch]) x = rng.gauss();
    }
    // The swell rises from `floor` while the field decays; choose the floor so
    // that the start sits startDb below the peak of the 1 kHz envelope.
    const double midRate = decayPerSecond(interpOctaves(p.t60, 1000.0));
    auto onsetAt = [&](double t, double fl) {
        const double rise = 1.0 - std::exp(-t / p.buildUp);
        return fl + (1.0 - fl) * rise * rise;
    };
    double floor = dbToGain(p.startDb);
    for (int it = 0; it < 20; ++it) {
        double peak = 0.0;
        for (double t = 0.0; t < 10.0; t += 0.005) peak = std::max(peak, onsetAt(t, floor) * std::exp(-midRate * t));
        floor = dbToGain(p.startDb) * peak;
    }
    Stereo out = combineBands(n, split, [&](std::size_t b, double* l, double* r) {
        const double fc = split.centre(b);
        const double rate = decayPerSecond(interpOctaves(p.t60, fc));
        const double tone = dbToGain(interpOctaves(p.toneDb, fc));
        for (int ch = 0; ch < 2; ++ch) {
            Rng rng(deriveSeed(p.seed, 1000 + 2 * b + ch));
            const double r1 = p.modRateHz * rng.uniform(0.6, 1.4);
            const double r2 = p.modRateHz * rng.uniform(0.25, 0.6);
            const double ph1 = rng.uniform(0, 2 * kPi), ph2 = rng.uniform(0, 2 * kPi);
            double* dst = ch == 0 ? l : r;
            for (std::size_t i = 0; i < n; ++i) {
                const double t = double(i) / fs;
                const double onset = onsetAt(t, floor);
                const double drift = p.modDepthDb * (0.65 * std::sin(2 * kPi * r1 * t + ph1) +
                                                      0.35 * std::sin(2 * kPi * r2 * t + ph2));
                dst[i] = noise[ch][i] * tone * onset * std::exp(-rate * t) * dbToGain(drift);
            }
        }
    });
    applySpacedPairCoherence(out, p.micSpacing);
    return out;
}

}  // namespace irgen
