// Signal-processing building blocks shared by the impulse-response models,
// the measurements and the report.
#pragma once

#include <array>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace irgen {

constexpr double kSampleRate = 44100.0;
constexpr double kPi = 3.14159265358979323846;
constexpr double kSpeedOfSound = 343.0;  // m/s at 20 degrees C

using cplx = std::complex<double>;

struct Stereo {
    std::vector<double> l, r;
    explicit Stereo(std::size_t n = 0) : l(n, 0.0), r(n, 0.0) {}
    std::size_t size() const { return l.size(); }
    std::vector<double>& ch(int c) { return c == 0 ? l : r; }
    const std::vector<double>& ch(int c) const { return c == 0 ? l : r; }
};

// xoshiro256** seeded through SplitMix64. Unlike the standard distributions
// this gives identical sequences with every compiler and library.
class Rng {
public:
    explicit Rng(std::uint64_t seed);
    std::uint64_t next();
    double uniform();  // [0, 1)
    double uniform(double lo, double hi) { return lo + (hi - lo) * uniform(); }
    double gauss();    // standard normal
private:
    std::uint64_t s_[4];
    bool hasSpare_ = false;
    double spare_ = 0.0;
};

// Mixes a base seed with a stream index so that sub-generators never overlap.
std::uint64_t deriveSeed(std::uint64_t base, std::uint64_t stream);

std::size_t nextPow2(std::size_t n);

// Iterative radix-2 complex FFT; the size must be a power of two.
class Fft {
public:
    explicit Fft(std::size_t n);
    std::size_t size() const { return n_; }
    void forward(std::vector<cplx>& x) const { run(x, false); }
    void inverse(std::vector<cplx>& x) const;  // includes the 1/n scale
    // Per-thread cache, the tables of a 2^19 transform take a while to build.
    static const Fft& get(std::size_t n);
private:
    void run(std::vector<cplx>& x, bool inv) const;
    std::size_t n_;
    std::vector<cplx> tw_;
    std::vector<std::uint32_t> rev_;
};

// Absolute frequency of FFT bin k of an n-point transform.
inline double binHz(std::size_t k, std::size_t n, double fs = kSampleRate) {
    const double kk = k <= n / 2 ? double(k) : double(n - k);
    return kk * fs / double(n);
}

// Applies a real, even (zero-phase) frequency response to both channels.
// The signal is zero padded by `pad` samples so that the non-causal part of
// the filter does not wrap onto the start.
void applyMagnitude(Stereo& s, const std::function<double(double)>& mag, std::size_t pad = 16384);

// Partition of the spectrum into bands evenly spaced in log frequency. The
// amplitude weights of neighbours cross over with cos^2/sin^2 and sum to one at
// every frequency, so equal band signals recombine to the original.
class BandSplit {
public:
    BandSplit(double firstCentreHz, double octavesPerBand, std::size_t count);
    std::size_t count() const { return count_; }
    double centre(std::size_t band) const;
    double weight(std::size_t band, double hz) const;
private:
    double firstLog2_, step_;
    std::size_t count_;
};

// Sums the band-weighted versions of per-band stereo signals of length n.
// fill(band, left, right) writes the two n-sample band signals (zeroed before
// the call). Filtering is zero-phase.
Stereo combineBands(std::size_t n, const BandSplit& split,
                    const std::function<void(std::size_t, double*, double*)>& fill);

// Standard octave analysis centres used by the measurements and the report.
constexpr std::array<double, 7> kOctaveCentres{125, 250, 500, 1000, 2000, 4000, 8000};

// Zero-phase octave band-pass, shaped like a 3rd-order Butterworth band.
double octaveBandMagnitude(double hz, double centreHz);

// Splits a stereo signal into the seven analysis octaves: result[band].
std::vector<Stereo> octaveBands(const Stereo& s);

// Schroeder backward-integrated energy decay curve in dB (0 dB at t=0).
std::vector<double> schroederDb(const std::vector<double>& x);

struct DecayFit {
    double rt60 = 0.0;  // seconds, extrapolated to 60 dB
    bool t30 = false;   // true: fitted from -5 to -35 dB, else -5 to -25 dB
    bool valid = false;
};
DecayFit fitDecay(const std::vector<double>& edcDb, double fs = kSampleRate);

// Normalised zero-lag correlation of two equally long signals.
double correlation(const std::vector<double>& a, const std::vector<double>& b,
                   std::size_t from = 0);

// Values given at octave centres 125 Hz .. 16 kHz, interpolated on log
// frequency and held flat outside the range.
using Octaves8 = std::array<double, 8>;
double interpOctaves(const Octaves8& v, double hz);

// RBJ biquad, direct form I.
struct Biquad {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    static Biquad lowpass(double hz, double q, double fs = kSampleRate);
    static Biquad highpass(double hz, double q, double fs = kSampleRate);
    static Biquad bandpass(double hz, double q, double fs = kSampleRate);
    static Biquad lowShelf(double hz, double gainDb, double fs = kSampleRate);  // shelf slope 1
    double powerAt(double hz, double fs = kSampleRate) const;  // squared magnitude of the response
    double process(double x) {
        const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1; x1 = x; y2 = y1; y1 = y;
        return y;
    }
};

// Fourth-order Butterworth sections (two biquads).
struct Butter4 {
    Biquad s1, s2;
    static Butter4 lowpass(double hz);
    static Butter4 highpass(double hz);
    double process(double x) { return s2.process(s1.process(x)); }
};

double dbToGain(double db);
double gainToDb(double g);

}  // namespace irgen
