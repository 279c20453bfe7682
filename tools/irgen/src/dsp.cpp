#include "dsp.hpp"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <stdexcept>

namespace irgen {

namespace {
std::uint64_t splitMix(std::uint64_t& x) {
    std::uint64_t z = (x += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}
std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
}  // namespace

Rng::Rng(std::uint64_t seed) {
    std::uint64_t x = seed;
    for (auto& s : s_) s = splitMix(x);
}

std::uint64_t Rng::next() {
    const std::uint64_t result = rotl(s_[1] * 5, 7) * 9;
    const std::uint64_t t = s_[1] << 17;
    s_[2] ^= s_[0];
    s_[3] ^= s_[1];
    s_[1] ^= s_[2];
    s_[0] ^= s_[3];
    s_[2] ^= t;
    s_[3] = rotl(s_[3], 45);
    return result;
}

double Rng::uniform() { return double(next() >> 11) * (1.0 / 9007199254740992.0); }

double Rng::gauss() {
    if (hasSpare_) {
        hasSpare_ = false;
        return spare_;
    }
    double u, v, s;
    do {
        u = 2.0 * uniform() - 1.0;
        v = 2.0 * uniform() - 1.0;
        s = u * u + v * v;
    } while (s >= 1.0 || s == 0.0);
    const double m = std::sqrt(-2.0 * std::log(s) / s);
    spare_ = v * m;
    hasSpare_ = true;
    return u * m;
}

std::uint64_t deriveSeed(std::uint64_t base, std::uint64_t stream) {
    std::uint64_t x = base ^ (stream * 0xD1B54A32D192ED03ull);
    return splitMix(x);
}

std::size_t nextPow2(std::size_t n) {
    std::size_t p = 1;
    while (p < n) p <<= 1;
    return p;
}

Fft::Fft(std::size_t n) : n_(n) {
    if (n < 2 || (n & (n - 1)) != 0) throw std::invalid_argument("FFT size must be a power of two");
    tw_.resize(n / 2);
    for (std::size_t k = 0; k < n / 2; ++k) {
        const double a = -2.0 * kPi * double(k) / double(n);
        tw_[k] = cplx(std::cos(a), std::sin(a));
    }
    rev_.resize(n);
    int bits = 0;
    while ((std::size_t(1) << bits) < n) ++bits;
    for (std::size_t i = 0; i < n; ++i) {
        std::uint32_t r = 0;
        for (int b = 0; b < bits; ++b)
            if (i & (std::size_t(1) << b)) r |= 1u << (bits - 1 - b);
        rev_[i] = r;
    }
}

const Fft& Fft::get(std::size_t n) {
    thread_local std::map<std::size_t, std::unique_ptr<Fft>> cache;
    auto& slot = cache[n];
    if (!slot) slot = std::make_unique<Fft>(n);
    return *slot;
}

void Fft::run(std::vector<cplx>& x, bool inv) const {
    if (x.size() != n_) throw std::invalid_argument("FFT buffer size mismatch");
    for (std::size_t i = 0; i < n_; ++i)
        if (i < rev_[i]) std::swap(x[i], x[rev_[i]]);
    for (std::size_t len = 2; len <= n_; len <<= 1) {
        const std::size_t half = len / 2, stride = n_ / len;
        for (std::size_t i = 0; i < n_; i += len) {
            for (std::size_t j = 0; j < half; ++j) {
                cplx w = tw_[j * stride];
                if (inv) w = std::conj(w);
                const cplx u = x[i + j];
                const cplx v = x[i + j + half] * w;
                x[i + j] = u + v;
                x[i + j + half] = u - v;
            }
        }
    }
}

void Fft::inverse(std::vector<cplx>& x) const {
    run(x, true);
    const double s = 1.0 / double(n_);
    for (auto& v : x) v *= s;
}

void applyMagnitude(Stereo& s, const std::function<double(double)>& mag, std::size_t pad) {
    const std::size_t n = s.size();
    const std::size_t m = nextPow2(n + pad);
    const Fft& fft = Fft::get(m);
    std::vector<cplx> z(m);
    for (std::size_t i = 0; i < n; ++i) z[i] = cplx(s.l[i], s.r[i]);
    fft.forward(z);
    for (std::size_t k = 0; k < m; ++k) z[k] *= mag(binHz(k, m));
    fft.inverse(z);
    for (std::size_t i = 0; i < n; ++i) {
        s.l[i] = z[i].real();
        s.r[i] = z[i].imag();
    }
}

BandSplit::BandSplit(double firstCentreHz, double octavesPerBand, std::size_t count)
    : firstLog2_(std::log2(firstCentreHz)), step_(octavesPerBand), count_(count) {}

double BandSplit::centre(std::size_t band) const {
    return std::exp2(firstLog2_ + step_ * double(band));
}

double BandSplit::weight(std::size_t band, double hz) const {
    // Position in band units; DC belongs to the lowest band.
    const double u = hz <= 0.0 ? -1e9 : (std::log2(hz) - firstLog2_) / step_;
    const double d = u - double(band);
    if (band == 0 && d <= 0.0) return 1.0;
    if (band + 1 == count_ && d >= 0.0) return 1.0;
    if (std::fabs(d) >= 1.0) return 0.0;
    const double c = std::cos(0.5 * kPi * d);
    return c * c;
}

Stereo combineBands(std::size_t n, const BandSplit& split,
                    const std::function<void(std::size_t, double*, double*)>& fill) {
    const std::size_t m = nextPow2(n + 16384);
    const Fft& fft = Fft::get(m);
    std::vector<cplx> acc(m, cplx(0, 0)), z(m);
    std::vector<double> l(n), r(n);
    std::vector<double> w(m);
    for (std::size_t b = 0; b < split.count(); ++b) {
        std::fill(l.begin(), l.end(), 0.0);
        std::fill(r.begin(), r.end(), 0.0);
        fill(b, l.data(), r.data());
        std::fill(z.begin(), z.end(), cplx(0, 0));
        for (std::size_t i = 0; i < n; ++i) z[i] = cplx(l[i], r[i]);
        fft.forward(z);
        for (std::size_t k = 0; k < m; ++k) {
            const double wk = split.weight(b, binHz(k, m));
            if (wk != 0.0) acc[k] += wk * z[k];
        }
    }
    fft.inverse(acc);
    Stereo out(n);
    for (std::size_t i = 0; i < n; ++i) {
        out.l[i] = acc[i].real();
        out.r[i] = acc[i].imag();
    }
    return out;
}

double octaveBandMagnitude(double hz, double centreHz) {
    // Flat from fc/sqrt2 to fc*sqrt2 with half-octave raised-cosine skirts
    // (-6 dB at the nominal edges) and nothing beyond. Steep, band-limited
    // skirts keep a strongly tilted response with fast high-frequency decay
    // from leaking slower neighbouring bands into the decay fit.
    if (hz <= 0.0) return 0.0;
    const double u = std::fabs(std::log2(hz / centreHz));  // octaves from centre
    const double edge = 0.5, half = 0.25;
    if (u <= edge - half) return 1.0;
    if (u >= edge + half) return 0.0;
    const double c = std::cos(0.5 * kPi * (u - (edge - half)) / (2.0 * half));
    return c * c;
}

std::vector<Stereo> octaveBands(const Stereo& s) {
    const std::size_t n = s.size();
    const std::size_t m = nextPow2(n + 16384);
    const Fft& fft = Fft::get(m);
    std::vector<cplx> spec(m, cplx(0, 0));
    for (std::size_t i = 0; i < n; ++i) spec[i] = cplx(s.l[i], s.r[i]);
    fft.forward(spec);
    std::vector<Stereo> out;
    std::vector<cplx> z(m);
    for (double fc : kOctaveCentres) {
        for (std::size_t k = 0; k < m; ++k) z[k] = spec[k] * octaveBandMagnitude(binHz(k, m), fc);
        fft.inverse(z);
        Stereo b(n);
        for (std::size_t i = 0; i < n; ++i) {
            b.l[i] = z[i].real();
            b.r[i] = z[i].imag();
        }
        out.push_back(std::move(b));
    }
    return out;
}

std::vector<double> schroederDb(const std::vector<double>& x) {
    std::vector<double> e(x.size());
    double acc = 0.0;
    for (std::size_t i = x.size(); i-- > 0;) {
        acc += x[i] * x[i];
        e[i] = acc;
    }
    const double total = acc > 0.0 ? acc : 1.0;
    for (auto& v : e) v = v > 0.0 ? 10.0 * std::log10(v / total) : -400.0;
    return e;
}

DecayFit fitDecay(const std::vector<double>& edcDb, double fs) {
    DecayFit fit;
    if (edcDb.empty()) return fit;
    const double minDb = *std::min_element(edcDb.begin(), edcDb.end());
    const double lo = minDb < -36.0 ? -35.0 : -25.0;
    fit.t30 = lo == -35.0;
    if (minDb > -26.0) return fit;
    // Linear regression of level against time over the evaluation range,
    // taken between the first crossing of -5 dB and the first of the low end.
    std::size_t a = 0;
    while (a < edcDb.size() && edcDb[a] > -5.0) ++a;
    std::size_t b = a;
    while (b < edcDb.size() && edcDb[b] > lo) ++b;
    if (b <= a + 8) return fit;
    double sx = 0, sy = 0, sxx = 0, sxy = 0, cnt = 0;
    for (std::size_t i = a; i < b; ++i) {
        const double t = double(i) / fs, y = edcDb[i];
        sx += t; sy += y; sxx += t * t; sxy += t * y; cnt += 1;
    }
    const double slope = (cnt * sxy - sx * sy) / (cnt * sxx - sx * sx);
    if (!(slope < 0.0)) return fit;
    fit.rt60 = -60.0 / slope;
    fit.valid = true;
    return fit;
}

double correlation(const std::vector<double>& a, const std::vector<double>& b, std::size_t from) {
    double ab = 0, aa = 0, bb = 0;
    for (std::size_t i = from; i < a.size() && i < b.size(); ++i) {
        ab += a[i] * b[i];
        aa += a[i] * a[i];
        bb += b[i] * b[i];
    }
    if (aa <= 0.0 || bb <= 0.0) return 0.0;
    return ab / std::sqrt(aa * bb);
}

double interpOctaves(const Octaves8& v, double hz) {
    const double u = std::log2(std::max(hz, 1.0) / 125.0);
    if (u <= 0.0) return v[0];
    if (u >= 7.0) return v[7];
    const auto i = std::size_t(u);
    const double f = u - double(i);
    return v[i] + (v[i + 1] - v[i]) * f;
}

namespace {
Biquad makeBiquad(double b0, double b1, double b2, double a0, double a1, double a2) {
    Biquad q;
    q.b0 = b0 / a0; q.b1 = b1 / a0; q.b2 = b2 / a0;
    q.a1 = a1 / a0; q.a2 = a2 / a0;
    return q;
}
}  // namespace

Biquad Biquad::lowpass(double hz, double q, double fs) {
    const double w = 2.0 * kPi * hz / fs, c = std::cos(w), al = std::sin(w) / (2.0 * q);
    return makeBiquad((1 - c) / 2, 1 - c, (1 - c) / 2, 1 + al, -2 * c, 1 - al);
}

Biquad Biquad::highpass(double hz, double q, double fs) {
    const double w = 2.0 * kPi * hz / fs, c = std::cos(w), al = std::sin(w) / (2.0 * q);
    return makeBiquad((1 + c) / 2, -(1 + c), (1 + c) / 2, 1 + al, -2 * c, 1 - al);
}

Biquad Biquad::bandpass(double hz, double q, double fs) {
    const double w = 2.0 * kPi * hz / fs, c = std::cos(w), al = std::sin(w) / (2.0 * q);
    return makeBiquad(al, 0, -al, 1 + al, -2 * c, 1 - al);
}

Biquad Biquad::lowShelf(double hz, double gainDb, double fs) {
    const double a = std::pow(10.0, gainDb / 40.0), w = 2.0 * kPi * hz / fs, c = std::cos(w);
    const double al = std::sin(w) / 2.0 * std::sqrt(2.0), sa = 2.0 * std::sqrt(a) * al;
    return makeBiquad(a * ((a + 1) - (a - 1) * c + sa), 2 * a * ((a - 1) - (a + 1) * c), a * ((a + 1) - (a - 1) * c - sa),
                      (a + 1) + (a - 1) * c + sa, -2 * ((a - 1) + (a + 1) * c), (a + 1) + (a - 1) * c - sa);
}

double Biquad::powerAt(double hz, double fs) const {
    const cplx z = std::polar(1.0, -2.0 * kPi * hz / fs);
    const cplx h = (b0 + b1 * z + b2 * z * z) / (1.0 + a1 * z + a2 * z * z);
    return std::norm(h);
}

Butter4 Butter4::lowpass(double hz) {
    return {Biquad::lowpass(hz, 0.54119610), Biquad::lowpass(hz, 1.30656296)};
}

Butter4 Butter4::highpass(double hz) {
    return {Biquad::highpass(hz, 0.54119610), Biquad::highpass(hz, 1.30656296)};
}

double dbToGain(double db) { return std::pow(10.0, db / 20.0); }
double gainToDb(double g) { return g > 0.0 ? 20.0 * std::log10(g) : -400.0; }

}  // namespace irgen
