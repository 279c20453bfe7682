#include "check.hpp"

#include "analysis.hpp"
#include "dsp.hpp"
#include "loudness.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>

using namespace irgen;

TEST_CASE(fft_agrees_with_direct_dft_and_inverts) {
    Rng rng(7);
    for (std::size_t n : {8u, 64u, 512u}) {
        std::vector<cplx> x(n);
        for (auto& v : x) v = cplx(rng.gauss(), rng.gauss());
        std::vector<cplx> y = x;
        Fft(n).forward(y);
        for (std::size_t k = 0; k < n; k += n / 8 + 1) {
            cplx ref(0, 0);
            for (std::size_t t = 0; t < n; ++t) ref += x[t] * std::polar(1.0, -2.0 * kPi * double(k * t) / double(n));
            CHECK(std::abs(ref - y[k]) < 1e-9 * double(n));
        }
        Fft::get(n).inverse(y);
        for (std::size_t t = 0; t < n; ++t) CHECK(std::abs(y[t] - x[t]) < 1e-12);
    }
    bool threw = false;
    try {
        Fft bad(12);
    } catch (const std::invalid_argument&) {
        threw = true;
    }
    CHECK(threw);
}

TEST_CASE(band_split_recombines_transparently) {
    for (const BandSplit& split : {BandSplit(31.25, 1.0, 10), BandSplit(31.25, 1.0 / 3.0, 28)}) {
        for (double hz = 0.0; hz < 22050.0; hz += 37.3) {
            double sum = 0.0;
            for (std::size_t b = 0; b < split.count(); ++b) {
                const double w = split.weight(b, hz);
                CHECK(w >= 0.0 && w <= 1.0);
                sum += w;
            }
            CHECK_NEAR(sum, 1.0, 1e-12);
        }
    }
    // Feeding every band the same signal must give that signal back.
    const std::size_t n = 4000;
    Rng rng(3);
    std::vector<double> l(n), r(n);
    for (std::size_t i = 0; i < n; ++i) {
        l[i] = rng.gauss();
        r[i] = i == 100 ? 1.0 : 0.0;
    }
    const Stereo out = combineBands(n, BandSplit(31.25, 1.0, 10), [&](std::size_t, double* bl, double* br) {
        std::copy(l.begin(), l.end(), bl);
        std::copy(r.begin(), r.end(), br);
    });
    for (std::size_t i = 0; i < n; ++i) {
        CHECK_NEAR(out.l[i], l[i], 1e-9);
        CHECK_NEAR(out.r[i], r[i], 1e-9);
    }
}

TEST_CASE(octave_filter_shape) {
    for (double fc : kOctaveCentres) {
        CHECK_NEAR(octaveBandMagnitude(fc, fc), 1.0, 1e-12);
        CHECK_NEAR(octaveBandMagnitude(fc * std::sqrt(2.0), fc), 0.5, 1e-9);
        CHECK_NEAR(octaveBandMagnitude(fc / std::sqrt(2.0), fc), 0.5, 1e-9);
        CHECK(octaveBandMagnitude(fc * 2.0, fc) == 0.0);
        CHECK(octaveBandMagnitude(fc / 2.0, fc) == 0.0);
    }
    CHECK(octaveBandMagnitude(0.0, 1000.0) == 0.0);
}

namespace {
// Exponentially decaying Gaussian noise with a different T60 in every octave.
Stereo decayingNoise(const std::array<double, 10>& t60, std::size_t n, std::uint64_t seed) {
    Rng rng(seed);
    std::vector<double> a(n), b(n);
    for (std::size_t i = 0; i < n; ++i) {
        a[i] = rng.gauss();
        b[i] = rng.gauss();
    }
    return combineBands(n, BandSplit(31.25, 1.0, 10), [&](std::size_t band, double* l, double* r) {
        const double k = std::exp(-6.907755 / (t60[band] * kSampleRate));
        double g = 1.0;
        for (std::size_t i = 0; i < n; ++i, g *= k) {
            l[i] = a[i] * g;
            r[i] = b[i] * g;
        }
    });
}
}  // namespace

TEST_CASE(schroeder_fit_recovers_known_decay_per_octave) {
    // Bands 2..8 are the analysis octaves 125 Hz .. 8 kHz.
    const std::array<double, 10> t60{2.0, 2.0, 2.4, 2.0, 1.6, 1.3, 1.0, 0.8, 0.6, 0.4};
    const Stereo s = decayingNoise(t60, std::size_t(3.5 * kSampleRate), 11);
    const Analysis a = analyze(s);
    for (std::size_t b = 0; b < 7; ++b) {
        CHECK(a.valid[b]);
        CHECK(a.t30[b]);
        CHECK_NEAR(a.rt60[b], t60[b + 2], 0.07 * t60[b + 2]);
    }
    CHECK(std::fabs(a.correlation) < 0.05);
}

TEST_CASE(decay_fit_needs_enough_range) {
    // A broadband exponential of exactly 1.5 s.
    std::vector<double> x(44100 * 3);
    Rng rng(5);
    for (std::size_t i = 0; i < x.size(); ++i) x[i] = rng.gauss() * std::exp(-6.907755 * double(i) / (1.5 * kSampleRate));
    const DecayFit f = fitDecay(schroederDb(x));
    CHECK(f.valid && f.t30);
    CHECK_NEAR(f.rt60, 1.5, 0.06);
    // A curve that never falls below -20 dB cannot be fitted.
    std::vector<double> shallow(1000);
    for (std::size_t i = 0; i < shallow.size(); ++i) shallow[i] = -20.0 * double(i) / 1000.0;
    CHECK(!fitDecay(shallow).valid);
}

TEST_CASE(rng_is_reproducible_and_normal) {
    Rng a(42), b(42), c(43);
    for (int i = 0; i < 100; ++i) CHECK(a.next() == b.next());
    Rng d(42);
    CHECK(d.next() != c.next());
    CHECK(deriveSeed(1, 2) != deriveSeed(1, 3));
    CHECK(deriveSeed(1, 2) != deriveSeed(2, 2));
    Rng g(9);
    double sum = 0, sq = 0;
    const int n = 200000;
    for (int i = 0; i < n; ++i) {
        const double v = g.gauss();
        sum += v;
        sq += v * v;
    }
    CHECK_NEAR(sum / n, 0.0, 0.01);
    CHECK_NEAR(sq / n, 1.0, 0.02);
    for (int i = 0; i < 1000; ++i) {
        const double u = g.uniform();
        CHECK(u >= 0.0 && u < 1.0);
    }
}

TEST_CASE(filters_have_expected_gain) {
    // Steady-state gain of a sine through each filter.
    auto gainAt = [](auto filter, double hz) {
        double peak = 0.0;
        for (int i = 0; i < 44100; ++i) {
            const double y = filter.process(std::sin(2.0 * kPi * hz * i / kSampleRate));
            if (i > 22050) peak = std::max(peak, std::fabs(y));
        }
        return peak;
    };
    CHECK_NEAR(gainAt(Butter4::lowpass(1000), 100), 1.0, 0.01);
    CHECK_NEAR(gainAt(Butter4::lowpass(1000), 1000), std::sqrt(0.5), 0.01);
    CHECK(gainAt(Butter4::lowpass(1000), 4000) < 0.005);
    CHECK_NEAR(gainAt(Butter4::highpass(1000), 8000), 1.0, 0.01);
    CHECK_NEAR(gainAt(Butter4::highpass(1000), 1000), std::sqrt(0.5), 0.01);
    CHECK_NEAR(gainAt(Biquad::highpass(100, 0.7071), 100), std::sqrt(0.5), 0.01);
}

TEST_CASE(octave_table_interpolation) {
    const Octaves8 v{1, 2, 3, 4, 5, 6, 7, 8};
    CHECK_NEAR(interpOctaves(v, 125), 1, 1e-12);
    CHECK_NEAR(interpOctaves(v, 1000), 4, 1e-12);
    CHECK_NEAR(interpOctaves(v, 1000 * std::sqrt(2.0)), 4.5, 1e-9);
    CHECK_NEAR(interpOctaves(v, 20), 1, 1e-12);
    CHECK_NEAR(interpOctaves(v, 20000), 8, 1e-12);
}

TEST_CASE(spectrogram_locates_a_tone) {
    std::vector<double> x(44100);
    for (std::size_t i = 0; i < x.size(); ++i) x[i] = i >= 22050 ? std::sin(2.0 * kPi * 3050.0 * double(i) / kSampleRate) : 0.0;
    const Spectrogram sp = spectrogram(x, 1.0, false, 0.0, 8000.0, 40, 80);
    // Loudest row in the second half is the one holding 3.05 kHz (100 Hz rows); the first half is silent.
    std::size_t best = 0;
    for (std::size_t r = 0; r < sp.rows; ++r)
        if (sp.at(r, 30) > sp.at(best, 30)) best = r;
    CHECK(best == 30);
    CHECK(sp.at(best, 5) < sp.at(best, 30) - 100.0);
}

TEST_CASE(loudness_meter_reads_the_reference_tone_and_gates_silence) {
    // ITU-R BS.1770: a full-scale 997 Hz sine in one channel reads -3.01 LUFS, at any rate. Silence after it
    // falls below the gate: only the few blocks across the tone's end lower the reading (an ungated mean would
    // fall by 3 dB).
    for (double fs : {44100.0, 48000.0}) {
        const std::size_t n = std::size_t(3.0 * fs);
        std::vector<double> tone(2 * n, 0.0);
        for (std::size_t i = 0; i < n; ++i) tone[i] = std::sin(2.0 * irgen::kPi * 997.0 * double(i) / fs);
        CHECK_NEAR(loudness::integratedLufs<double>({tone.data()}, n, fs), -3.01, 0.05);
        CHECK_NEAR(loudness::integratedLufs<double>({tone.data()}, 2 * n, fs), -3.01, 0.3);
    }
}
