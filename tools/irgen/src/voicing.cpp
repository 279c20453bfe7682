#include "voicing.hpp"

#include "loudness.hpp"

#include <algorithm>
#include <cmath>
#include <mutex>

namespace irgen {

namespace {
constexpr std::size_t kLogBins = 120;  // twelfth octaves from 20 Hz
constexpr double kProgrammeSeconds = 4.0;
constexpr double kTailSeconds = 1.0;  // measured after the programme

double binCentre(std::size_t b) { return 20.0 * std::pow(2.0, (double(b) + 0.5) / 12.0); }

long logBin(double hz) {
    if (hz < 20.0) return -1;
    const long b = long(std::floor(12.0 * std::log2(hz / 20.0)));
    return b < long(kLogBins) ? b : -1;
}

// Energy per twelfth octave of each channel.
std::array<std::array<double, kLogBins>, 2> binnedEnergy(const Stereo& s) {
    const std::size_t m = nextPow2(s.size());
    const Fft& fft = Fft::get(m);
    std::vector<cplx> z(m, cplx(0, 0));
    for (std::size_t i = 0; i < s.size(); ++i) z[i] = cplx(s.l[i], s.r[i]);
    fft.forward(z);
    std::array<std::array<double, kLogBins>, 2> out{};
    for (std::size_t k = 1; k < m / 2; ++k) {
        const long b = logBin(binHz(k, m));
        if (b < 0) continue;
        const cplx zk = z[k], zm = std::conj(z[m - k]);
        out[0][std::size_t(b)] += std::norm(0.5 * (zk + zm));
        out[1][std::size_t(b)] += std::norm(cplx(0, -0.5) * (zk - zm));
    }
    return out;
}

std::vector<double> programmeSignal(loudness::Programme p) {
    // Pink noise at -12 dBFS RMS, the others peaking at -3 dBFS.
    const double level = p == loudness::Programme::pink ? dbToGain(-12.0) : dbToGain(-3.0);
    return loudness::programme(p, std::size_t(kProgrammeSeconds * kSampleRate), kSampleRate, level);
}

// K-weighted power density of each programme per twelfth octave.
const std::array<std::array<double, kLogBins>, 3>& programmeWeights() {
    static std::once_flag once;
    static std::array<std::array<double, kLogBins>, 3> weights{};
    std::call_once(once, [] {
        for (std::size_t p = 0; p < 3; ++p) {
            const auto x = programmeSignal(loudness::kProgrammes[p]);
            Stereo s(x.size());
            s.l = x;
            const auto e = binnedEnergy(s)[0];
            for (std::size_t b = 0; b < kLogBins; ++b) {
                const double width = binCentre(b) * (std::pow(2.0, 1.0 / 24.0) - std::pow(2.0, -1.0 / 24.0));
                weights[p][b] = e[b] / width * loudness::kWeightingPower(binCentre(b), kSampleRate);
            }
        }
    });
    return weights;
}

// Programme loudness of each programme in dB (up to a constant), from the spectrum alone.
std::array<double, 3> estimate(const std::array<std::array<double, kLogBins>, 2>& energy, Shelf shelfSetting) {
    const Biquad shelf = Biquad::lowShelf(shelfSetting.hz, shelfSetting.db);
    std::array<double, kLogBins> gain{};
    for (std::size_t b = 0; b < kLogBins; ++b) gain[b] = shelf.powerAt(binCentre(b));
    double total[2] = {0, 0};
    for (int c = 0; c < 2; ++c)
        for (std::size_t b = 0; b < kLogBins; ++b) total[c] += energy[std::size_t(c)][b] * gain[b];
    const double norm = std::max(total[0], total[1]);
    std::array<double, 3> out{};
    for (std::size_t p = 0; p < 3; ++p) {
        double acc = 0.0;
        for (int c = 0; c < 2; ++c)
            for (std::size_t b = 0; b < kLogBins; ++b) acc += energy[std::size_t(c)][b] * gain[b] * programmeWeights()[p][b];
        out[p] = 10.0 * std::log10(acc / norm);
    }
    return out;
}

// y = x * h for both channels of h, x mono, through one FFT of size m (x given as its spectrum).
Stereo convolve(const std::vector<cplx>& xSpectrum, const Stereo& h, std::size_t outLength) {
    const std::size_t m = xSpectrum.size();
    const Fft& fft = Fft::get(m);
    std::vector<cplx> z(m, cplx(0, 0));
    for (std::size_t i = 0; i < h.size(); ++i) z[i] = cplx(h.l[i], h.r[i]);
    fft.forward(z);
    for (std::size_t k = 0; k < m; ++k) z[k] *= xSpectrum[k];
    fft.inverse(z);
    Stereo y(outLength);
    for (std::size_t i = 0; i < outLength; ++i) {
        y.l[i] = z[i].real();
        y.r[i] = z[i].imag();
    }
    return y;
}

double lufs(const Stereo& s) {
    return loudness::integratedLufs<double>({s.l.data(), s.r.data()}, s.size(), kSampleRate);
}

// What is measured of a programme through a response: the programme and a second of its tail.
constexpr std::size_t kProgrammeSamples = std::size_t(kProgrammeSeconds * kSampleRate);
constexpr std::size_t kPlayedSamples = std::size_t((kProgrammeSeconds + kTailSeconds) * kSampleRate);

// The programmes, delayed by the wet latency, and their spectra.
struct Programmes {
    std::array<std::vector<double>, 3> signal;
    std::array<std::vector<cplx>, 3> spectrum;
};

const Programmes& programmes() {
    static std::once_flag once;
    static Programmes all;
    std::call_once(once, [] {
        const std::size_t m = nextPow2(kPlayedSamples + std::size_t(kDefaultDecay * kSampleRate)), lag = std::size_t(kWetLatency);
        for (std::size_t p = 0; p < 3; ++p) {
            all.signal[p] = programmeSignal(loudness::kProgrammes[p]);
            all.spectrum[p].assign(m, cplx(0, 0));
            for (std::size_t i = 0; i < kProgrammeSamples; ++i) all.spectrum[p][i + lag] = all.signal[p][i];
            Fft::get(m).forward(all.spectrum[p]);
        }
    });
    return all;
}

// Loudness of each programme through the response alone, with the wet path's fixed gain.
std::array<double, 3> wetLoudness(const Stereo& played) {
    std::array<double, 3> out{};
    const double gain = dbToGain(kWetGainDb);
    for (std::size_t p = 0; p < 3; ++p) {
        Stereo wet = convolve(programmes().spectrum[p], played, kPlayedSamples);
        for (std::size_t i = 0; i < wet.size(); ++i) {
            wet.l[i] *= gain;
            wet.r[i] *= gain;
        }
        out[p] = lufs(wet);
    }
    return out;
}
}  // namespace

Stereo atDefaultDecay(const Stereo& s) {
    const std::size_t len = std::size_t(kDefaultDecay * kSampleRate);
    Stereo t = s;
    if (len < s.size()) {
        const float x = float((kDefaultDecay - 2.0) / 7.0);
        const float f = x < 0.0f ? 1.0f : 1.0f - std::min(1.0f, x);
        const std::size_t fade = std::min(std::size_t(float(len) * f), len);
        for (std::size_t i = 0; i < fade; ++i) {
            const double g = 1.0 - double(i) / double(fade);
            t.l[len - fade + i] *= g;
            t.r[len - fade + i] *= g;
        }
        t.l.resize(len);
        t.r.resize(len);
    }
    double e[2] = {0, 0};
    for (std::size_t i = 0; i < t.size(); ++i) {
        e[0] += t.l[i] * t.l[i];
        e[1] += t.r[i] * t.r[i];
    }
    const double g = 0.125 / std::sqrt(std::max({e[0], e[1], 1e-30}));
    for (std::size_t i = 0; i < t.size(); ++i) {
        t.l[i] *= g;
        t.r[i] *= g;
    }
    return t;
}

double wetLoudnessMean(const Stereo& s) {
    const auto l = wetLoudness(atDefaultDecay(s));
    return (l[0] + l[1] + l[2]) / 3.0;
}

Shelf voiceForLoudness(Stereo& s) {
    // The measured loudness of the unshaped response, moved by what the shelf changes in its spectrum.
    const Stereo played = atDefaultDecay(s);
    const auto energy = binnedEnergy(played);
    const auto measured = wetLoudness(played), flat = estimate(energy, {});
    auto worstDeviation = [&](Shelf shelf) {
        const auto e = estimate(energy, shelf);
        double worst = 0.0;
        for (std::size_t p = 0; p < 3; ++p) worst = std::max(worst, std::fabs(measured[p] + e[p] - flat[p] - kLoudnessTargets[p]));
        return worst;
    };
    // A high corner moves the low mids (voice, pink noise), a low one the bass drum most.
    Shelf best{};
    double bestDeviation = worstDeviation(best);
    for (const double hz : {80.0, 113.0, 160.0, 226.0, 320.0, 453.0, 640.0})
        for (int step = -180; step <= 120; ++step) {
            const Shelf shelf{hz, 0.1 * step};
            const double d = worstDeviation(shelf);
            if (d < bestDeviation - 1e-9) {
                bestDeviation = d;
                best = shelf;
            }
        }
    for (int c = 0; c < 2; ++c) {
        Biquad filter = Biquad::lowShelf(best.hz, best.db);
        for (double& v : s.ch(c)) v = filter.process(v);
    }
    return best;
}

PairLevels measurePair(const Stereo& a, const Stereo& b) {
    PairLevels out;
    const std::size_t outLength = kPlayedSamples;
    const double gain = dbToGain(kWetGainDb);
    for (std::size_t p = 0; p < 3; ++p) {
        const auto& x = programmes().signal[p];
        const Stereo wa = convolve(programmes().spectrum[p], a, outLength), wb = convolve(programmes().spectrum[p], b, outLength);
        Stereo dry(outLength), wet(outLength), mixed(outLength);
        for (std::size_t i = 0; i < kProgrammeSamples; ++i) dry.l[i] = dry.r[i] = x[i];
        auto blend = [&](double c, Stereo& into) {
            for (std::size_t i = 0; i < outLength; ++i) {
                into.l[i] = gain * (c * wb.l[i] + (1.0 - 0.7 * c) * wa.l[i]);
                into.r[i] = gain * (c * wb.r[i] + (1.0 - 0.7 * c) * wa.r[i]);
            }
        };
        auto mix = [&](const Stereo& w) {
            double peak = 0.0;
            for (std::size_t i = 0; i < outLength; ++i) {
                mixed.l[i] = (1.0 - kDefaultMix) * dry.l[i] + kDefaultMix * w.l[i];
                mixed.r[i] = (1.0 - kDefaultMix) * dry.r[i] + kDefaultMix * w.r[i];
                peak = std::max({peak, std::fabs(mixed.l[i]), std::fabs(mixed.r[i])});
            }
            return peak;
        };
        blend(kDefaultCharacter, wet);
        const double peakDefault = mix(wet);
        out.wetLufs[p] = lufs(wet);
        out.mixLufs[p] = lufs(mixed);
        out.dryLufs[p] = lufs(dry);
        if (loudness::kProgrammes[p] == loudness::Programme::drums) {
            double peak = peakDefault;
            for (double c : {0.0, 1.0}) {
                blend(c, wet);
                peak = std::max(peak, mix(wet));
            }
            out.peakDbfs = gainToDb(peak);
        }
    }
    return out;
}

}  // namespace irgen
