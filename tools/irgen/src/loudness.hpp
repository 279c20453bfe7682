// Programme loudness (ITU-R BS.1770: K-weighting, 400 ms gated blocks) and the three programme signals that
// the responses are level-matched with: pink noise, a speech-like voice and a drum loop. Header-only and
// standard C++ so that the plug-in's tests measure with the same meter and the same signals.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace loudness {

constexpr double kPi = 3.14159265358979323846;

// Second-order section, direct form I.
struct Section {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    double process(double x) {
        const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1; x1 = x; y2 = y1; y1 = y;
        return y;
    }
};

// The two K-weighting stages (high-frequency shelf, then the RLB high-pass) for any sample rate, derived from
// their analogue prototypes as libebur128 does.
inline std::vector<Section> kWeighting(double fs) {
    Section shelf, rlb;
    {
        const double f0 = 1681.974450955533, g = 3.999843853973347, q = 0.7071752369554196;
        const double k = std::tan(kPi * f0 / fs), vh = std::pow(10.0, g / 20.0), vb = std::pow(vh, 0.4996667741545416);
        const double a0 = 1.0 + k / q + k * k;
        shelf.b0 = (vh + vb * k / q + k * k) / a0;
        shelf.b1 = 2.0 * (k * k - vh) / a0;
        shelf.b2 = (vh - vb * k / q + k * k) / a0;
        shelf.a1 = 2.0 * (k * k - 1.0) / a0;
        shelf.a2 = (1.0 - k / q + k * k) / a0;
    }
    {
        const double f0 = 38.13547087602444, q = 0.5003270373238773;
        const double k = std::tan(kPi * f0 / fs), a0 = 1.0 + k / q + k * k;
        rlb.b0 = 1.0;
        rlb.b1 = -2.0;
        rlb.b2 = 1.0;
        rlb.a1 = 2.0 * (k * k - 1.0) / a0;
        rlb.a2 = (1.0 - k / q + k * k) / a0;
    }
    return {shelf, rlb};
}

// Power gain of the K-weighting at hz.
inline double kWeightingPower(double hz, double fs) {
    double power = 1.0;
    for (const Section& s : kWeighting(fs)) {
        const double w = 2.0 * kPi * hz / fs;
        const double cr = s.b0 + s.b1 * std::cos(w) + s.b2 * std::cos(2 * w), ci = -s.b1 * std::sin(w) - s.b2 * std::sin(2 * w);
        const double dr = 1.0 + s.a1 * std::cos(w) + s.a2 * std::cos(2 * w), di = -s.a1 * std::sin(w) - s.a2 * std::sin(2 * w);
        power *= (cr * cr + ci * ci) / (dr * dr + di * di);
    }
    return power;
}

// Integrated loudness in LUFS of one or two channels (equal weights), gated at -70 LUFS and 10 LU below the
// ungated mean. Returns -200 for silence.
template <typename Sample>
double integratedLufs(const std::vector<const Sample*>& channels, std::size_t n, double fs) {
    const std::size_t block = std::size_t(0.4 * fs), hop = block / 4;
    if (n < block || channels.empty()) return -200.0;
    std::vector<double> power((n - block) / hop + 1, 0.0);
    for (const Sample* ch : channels) {
        auto filters = kWeighting(fs);
        std::vector<double> sq(n);
        for (std::size_t i = 0; i < n; ++i) {
            double v = double(ch[i]);
            for (auto& f : filters) v = f.process(v);
            sq[i] = v * v;
        }
        for (std::size_t b = 0; b < power.size(); ++b) {
            double acc = 0.0;
            for (std::size_t i = b * hop; i < b * hop + block; ++i) acc += sq[i];
            power[b] += acc / double(block);
        }
    }
    auto lufs = [](double p) { return p > 0.0 ? -0.691 + 10.0 * std::log10(p) : -200.0; };
    auto gatedMean = [&](double gate) {
        double acc = 0.0;
        std::size_t count = 0;
        for (double p : power)
            if (lufs(p) > gate) {
                acc += p;
                ++count;
            }
        return count > 0 ? acc / double(count) : 0.0;
    };
    const double relative = lufs(gatedMean(-70.0)) - 10.0;
    return lufs(gatedMean(std::max(-70.0, relative)));
}

// ------------------------------------------------------------ signals ----
// A small deterministic generator, the same on every platform.
class Noise {
public:
    explicit Noise(std::uint64_t seed) : s_(seed * 0x9E3779B97F4A7C15ull + 1) {}
    double uniform() {  // [-1, 1)
        s_ ^= s_ << 13;
        s_ ^= s_ >> 7;
        s_ ^= s_ << 17;
        return double(s_ >> 11) * (2.0 / 9007199254740992.0) - 1.0;
    }
private:
    std::uint64_t s_;
};

enum class Programme { pink, speech, drums };
constexpr Programme kProgrammes[] = {Programme::pink, Programme::speech, Programme::drums};

inline const char* programmeName(Programme p) {
    return p == Programme::pink ? "pink noise" : p == Programme::speech ? "speech" : "drum loop";
}

// Pink noise (Kellet's filter on white noise).
inline std::vector<double> pinkNoise(std::size_t n, std::uint64_t seed) {
    Noise rng(seed);
    std::vector<double> out(n);
    double b0 = 0, b1 = 0, b2 = 0, b3 = 0, b4 = 0, b5 = 0, b6 = 0;
    for (auto& x : out) {
        const double w = rng.uniform();
        b0 = 0.99886 * b0 + w * 0.0555179;
        b1 = 0.99332 * b1 + w * 0.0750759;
        b2 = 0.96900 * b2 + w * 0.1538520;
        b3 = 0.86650 * b3 + w * 0.3104856;
        b4 = 0.55000 * b4 + w * 0.5329522;
        b5 = -0.7616 * b5 - w * 0.0168980;
        x = b0 + b1 + b2 + b3 + b4 + b5 + b6 + w * 0.5362;
        b6 = w * 0.115926;
    }
    return out;
}

// A voice-like signal: a glottal pulse train with gliding pitch through three moving formants, in syllables of
// 120-280 ms with short pauses, and hiss for the consonants between them.
inline std::vector<double> speechLike(std::size_t n, double fs, std::uint64_t seed) {
    Noise rng(seed);
    std::vector<double> out(n, 0.0);
    const double formants[5][3] = {{730, 1090, 2440}, {270, 2290, 3010}, {530, 1840, 2480}, {570, 840, 2410}, {300, 870, 2240}};
    std::size_t at = std::size_t(0.05 * fs);
    double phase = 0.0;
    while (at < n) {
        const std::size_t len = std::size_t((0.12 + 0.08 * (rng.uniform() + 1.0)) * fs);
        const auto& f = formants[std::size_t((rng.uniform() + 1.0) * 2.5) % 5];
        const double pitch = 110.0 + 25.0 * rng.uniform();
        Section res[3];
        for (int k = 0; k < 3; ++k) {
            const double w = 2.0 * kPi * f[k] / fs, r = std::exp(-kPi * (60.0 + 0.06 * f[k]) / fs);
            res[k].b0 = 1.0 - r;
            res[k].a1 = -2.0 * r * std::cos(w);
            res[k].a2 = r * r;
        }
        // A consonant: 40 ms of hiss.
        const std::size_t hiss = std::size_t(0.04 * fs);
        double hp = 0.0, prev = 0.0;
        for (std::size_t i = 0; i < hiss && at + i < n; ++i) {
            const double w = rng.uniform();
            hp = 0.6 * (hp + w - prev);
            prev = w;
            out[at + i] += 0.15 * hp * std::sin(kPi * double(i) / double(hiss));
        }
        at += hiss;
        for (std::size_t i = 0; i < len && at + i < n; ++i) {
            const double t = double(i) / double(len);
            phase += pitch * (1.0 + 0.15 * (0.5 - t)) / fs;
            const double pulse = phase >= 1.0 ? 1.0 : 0.0;
            if (phase >= 1.0) phase -= 1.0;
            double v = 0.0;
            for (int k = 0; k < 3; ++k) v += res[k].process(pulse) * (k == 0 ? 1.0 : k == 1 ? 0.5 : 0.25);
            out[at + i] += v * std::sin(kPi * t);
        }
        at += len + std::size_t((0.03 + 0.1 * (rng.uniform() + 1.0)) * fs);
    }
    return out;
}

// Two bars of a rock beat at 120 BPM, repeated: kick on 1 and 3 (and the "and" of 3), snare on 2 and 4, closed
// hi-hat on every eighth.
inline std::vector<double> drumLoop(std::size_t n, double fs, std::uint64_t seed) {
    Noise rng(seed);
    std::vector<double> out(n, 0.0);
    const std::size_t eighth = std::size_t(0.25 * fs);
    for (std::size_t step = 0; step * eighth < n; ++step) {
        const std::size_t at = step * eighth, beat = step % 8;
        auto add = [&](std::size_t i, double v) { if (at + i < n) out[at + i] += v; };
        if (beat == 0 || beat == 4 || beat == 5) {
            double ph = 0.0;
            for (std::size_t i = 0; i < std::size_t(0.35 * fs); ++i) {
                const double t = double(i) / fs;
                ph += (50.0 + 90.0 * std::exp(-t / 0.03)) / fs;
                add(i, std::sin(2.0 * kPi * ph) * std::exp(-t / 0.12));
            }
        }
        if (beat == 2 || beat == 6) {
            Section band;
            const double w = 2.0 * kPi * 2500.0 / fs, r = 0.93;
            band.b0 = 1.0 - r;
            band.b2 = -(1.0 - r);
            band.a1 = -2.0 * r * std::cos(w);
            band.a2 = r * r;
            for (std::size_t i = 0; i < std::size_t(0.25 * fs); ++i) {
                const double t = double(i) / fs;
                add(i, 0.5 * std::sin(2.0 * kPi * 190.0 * t) * std::exp(-t / 0.05) +
                           2.0 * band.process(rng.uniform()) * std::exp(-t / 0.07));
            }
        }
        double prev = 0.0;
        for (std::size_t i = 0; i < std::size_t(0.06 * fs); ++i) {
            const double w = rng.uniform();
            add(i, 0.25 * (w - prev) * std::exp(-double(i) / fs / 0.015));
            prev = w;
        }
    }
    return out;
}

// One of the three programmes, n samples, scaled to `level`: the RMS for pink noise, the peak for the others.
inline std::vector<double> programme(Programme p, std::size_t n, double fs, double level) {
    std::vector<double> x = p == Programme::pink ? pinkNoise(n, 11) : p == Programme::speech ? speechLike(n, fs, 12) : drumLoop(n, fs, 13);
    double peak = 0.0, power = 0.0;
    for (double v : x) {
        peak = std::max(peak, std::fabs(v));
        power += v * v;
    }
    const double g = p == Programme::pink ? level / std::sqrt(power / double(n)) : level / peak;
    for (double& v : x) v *= g;
    return x;
}

}  // namespace loudness
