// Rooms and halls: image sources crossfaded into an Eyring-decaying diffuse field.
#include "model_common.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace irgen {

namespace {
constexpr std::size_t kRoomBands = 10;  // 31.25 Hz .. 16 kHz
const BandSplit& roomSplit() {
    static const BandSplit split(31.25, 1.0, kRoomBands);
    return split;
}

double bandAbsorption(const Absorption& a, std::size_t band, double scale) {
    // Bands 0..2 use the 125 Hz value, 8 and 16 kHz the 4 kHz value.
    const std::size_t i = band <= 2 ? 0 : std::min<std::size_t>(band - 2, 5);
    return std::min(0.98, a[i] * scale);
}

std::array<double, 6> surfaceAreas(const RoomParams& p) {
    const double x = p.dims[0], y = p.dims[1], z = p.dims[2];
    return {y * z, y * z, x * z, x * z, x * y, x * y};
}

double sinc(double x) {
    if (std::fabs(x) < 1e-9) return 1.0;
    return std::sin(kPi * x) / (kPi * x);
}

// Windowed-sinc fractional delay: adds gain * impulse at time d (samples).
void addImpulse(double* buf, std::size_t n, double d, double gain) {
    constexpr int kHalf = 8;
    const long base = long(std::floor(d));
    for (long k = base - kHalf + 1; k <= base + kHalf; ++k) {
        if (k < 0 || k >= long(n)) continue;
        const double x = double(k) - d;
        const double u = x / kHalf;
        if (std::fabs(u) >= 1.0) continue;
        const double w = 0.42 + 0.5 * std::cos(kPi * u) + 0.08 * std::cos(2.0 * kPi * u);
        buf[k] += gain * sinc(x) * w;
    }
}
}  // namespace

double airAttenuation(double hz) {
    // dB/km at 31.25 Hz .. 16 kHz octave centres, 20 C and 50 % relative humidity.
    static const double dbPerKm[kRoomBands] = {0.02, 0.1, 0.4, 1.0, 1.9, 3.7, 9.7, 32.8, 117.0, 380.0};
    const double u = std::clamp(std::log2(std::max(hz, 1.0) / 31.25), 0.0, double(kRoomBands - 1));
    const auto i = std::min<std::size_t>(std::size_t(u), kRoomBands - 2);
    const double f = u - double(i);
    const double db = std::exp(std::log(dbPerKm[i]) * (1 - f) + std::log(dbPerKm[i + 1]) * f);
    return db / 1000.0 / (10.0 * std::log10(std::exp(1.0)));
}

std::array<double, 10> eyringRt(const RoomParams& p, double scale) {
    const auto areas = surfaceAreas(p);
    const double s = std::accumulate(areas.begin(), areas.end(), 0.0);
    const double v = p.dims[0] * p.dims[1] * p.dims[2];
    std::array<double, 10> rt{};
    for (std::size_t b = 0; b < kRoomBands; ++b) {
        double sa = 0.0;
        for (int w = 0; w < 6; ++w) sa += areas[w] * bandAbsorption(p.walls[w], b, scale);
        const double mean = sa / s;
        const double m = airAttenuation(roomSplit().centre(b));
        rt[b] = 24.0 * std::log(10.0) / kSpeedOfSound * v / (-s * std::log(1.0 - mean) + 4.0 * m * v);
    }
    return rt;
}

void applySpacedPairCoherence(Stereo& s, double spacing) {
    if (spacing <= 0.0) return;
    const std::size_t n = s.size();
    const std::size_t m = nextPow2(n + 16384);
    const Fft& fft = Fft::get(m);
    std::vector<cplx> z(m, cplx(0, 0));
    for (std::size_t i = 0; i < n; ++i) z[i] = cplx(s.l[i], s.r[i]);
    fft.forward(z);
    std::vector<cplx> out(m);
    for (std::size_t k = 0; k < m; ++k) {
        const cplx zk = z[k], zm = std::conj(z[(m - k) % m]);
        const cplx a = 0.5 * (zk + zm);              // spectrum of left
        const cplx b = cplx(0, -0.5) * (zk - zm);    // spectrum of right
        const double kd = 2.0 * kPi * binHz(k, m) / kSpeedOfSound * spacing;
        const double rho = kd < 1e-9 ? 1.0 : std::sin(kd) / kd;
        const cplx right = rho * a + std::sqrt(std::max(0.0, 1.0 - rho * rho)) * b;
        out[k] = a + cplx(0, 1) * right;
    }
    fft.inverse(out);
    for (std::size_t i = 0; i < n; ++i) {
        s.l[i] = out[i].real();
        s.r[i] = out[i].imag();
    }
}

namespace {
using Point = std::array<double, 3>;

double distance(const Point& a, const Point& b) {
    return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                     (a[2] - b[2]) * (a[2] - b[2]));
}

// The absorption scale for which the mid-band decay hits the wanted value.
double absorptionScaleFor(const RoomParams& p) {
    if (p.targetRtMid <= 0.0) return 1.0;
    auto mid = [&](double sc) {
        const auto rt = eyringRt(p, sc);
        return 0.5 * (rt[4] + rt[5]);
    };
    double lo = std::log(0.02), hi = std::log(50.0);
    for (int it = 0; it < 80; ++it) {
        const double m = 0.5 * (lo + hi);
        if (mid(std::exp(m)) > p.targetRtMid) lo = m; else hi = m;
    }
    return std::exp(0.5 * (lo + hi));
}

// What the early and the late part share: the microphones, the time origin
// and every band's colour and losses.
struct RoomSetup {
    std::array<Point, 2> mic;
    double leadIn = 0.0015;  // direct sound lands 1.5 ms into the file
    double t0 = 0.0;         // s of travel cut from the start of the file
    std::array<double, kRoomBands> tone{}, air{};
    std::array<std::array<double, kRoomBands>, 6> beta{};  // reflection amplitude per wall
};

RoomSetup roomSetup(const RoomParams& p, double scale) {
    RoomSetup s;
    // Two omnis, spaced across the line from the source.
    const double dx = p.receiver[0] - p.source[0], dy = p.receiver[1] - p.source[1];
    const double dl = std::max(1e-9, std::hypot(dx, dy));
    const std::array<double, 2> perp{-dy / dl, dx / dl};
    for (int ch = 0; ch < 2; ++ch) {
        const double side = ch == 0 ? -0.5 : 0.5;
        s.mic[ch] = {p.receiver[0] + side * p.micSpacing * perp[0],
                     p.receiver[1] + side * p.micSpacing * perp[1], p.receiver[2]};
    }
    const double direct = std::min(distance(s.mic[0], p.source), distance(s.mic[1], p.source));
    s.t0 = direct / kSpeedOfSound - s.leadIn;

    for (std::size_t b = 0; b < kRoomBands; ++b) {
        const double fc = roomSplit().centre(b);
        s.tone[b] = dbToGain(interpOctaves(p.toneDb, fc));
        s.air[b] = airAttenuation(fc);
        for (int w = 0; w < 6; ++w) s.beta[w][b] = std::sqrt(1.0 - bandAbsorption(p.walls[w], b, scale));
    }
    return s;
}

// The crossfade from the specular early part into the diffuse late part.
double specularFade(const RoomParams& p, double tAfterDirect) {
    if (tAfterDirect <= p.mixStart) return 1.0;
    if (tAfterDirect >= p.mixEnd) return 0.0;
    return std::cos(0.5 * kPi * (tAfterDirect - p.mixStart) / (p.mixEnd - p.mixStart));
}

double diffuseFade(const RoomParams& p, double tAfterDirect) {
    if (tAfterDirect <= p.mixStart) return 0.0;
    if (tAfterDirect >= p.mixEnd) return 1.0;
    return std::sin(0.5 * kPi * (tAfterDirect - p.mixStart) / (p.mixEnd - p.mixStart));
}

struct Image {
    Point pos;
    std::array<int, 6> hits;  // reflections off each wall
};

// Image sources (Allen & Berkley indexing) within rMax of the receiver,
// displaced at random so that the regular lattice does not produce sweeping
// echoes.
std::vector<Image> imageSources(const RoomParams& p, double rMax) {
    std::vector<Image> images;
    Rng jit(deriveSeed(p.seed, 11));
    std::array<int, 3> lim;
    for (int a = 0; a < 3; ++a) lim[a] = int(std::ceil(rMax / (2.0 * p.dims[a]))) + 1;
    for (int mx = -lim[0]; mx <= lim[0]; ++mx)
        for (int px = 0; px <= 1; ++px)
            for (int my = -lim[1]; my <= lim[1]; ++my)
                for (int py = 0; py <= 1; ++py)
                    for (int mz = -lim[2]; mz <= lim[2]; ++mz)
                        for (int pz = 0; pz <= 1; ++pz) {
                            Image im;
                            im.pos = {(1 - 2 * px) * p.source[0] + 2 * mx * p.dims[0],
                                      (1 - 2 * py) * p.source[1] + 2 * my * p.dims[1],
                                      (1 - 2 * pz) * p.source[2] + 2 * mz * p.dims[2]};
                            im.hits = {std::abs(mx - px), std::abs(mx), std::abs(my - py),
                                       std::abs(my), std::abs(mz - pz), std::abs(mz)};
                            const bool isDirect = mx == 0 && my == 0 && mz == 0 && px == 0 &&
                                                  py == 0 && pz == 0;
                            if (!isDirect)
                                for (auto& q : im.pos) q += jit.uniform(-p.jitter, p.jitter);
                            if (distance(im.pos, p.receiver) > rMax) continue;
                            images.push_back(im);
                        }
    return images;
}

// Early part: one impulse train per band, scaled by that band's losses. Images that arrive after the scattering
// time leave their energy, spread by a Hann window, to a per-band envelope of independent noise instead.
Stereo renderEarly(const RoomParams& p, const RoomSetup& s, const std::vector<Image>& images,
                   std::size_t n) {
    const bool scatters = p.scatterAfter > 0.0;
    const std::size_t spread = std::max<std::size_t>(1, std::size_t(p.scatterSpread * kSampleRate));
    std::vector<double> kernel(spread);
    double kernelSum = 0.0;
    for (std::size_t i = 0; i < spread; ++i) kernelSum += kernel[i] = std::sin(kPi * (double(i) + 0.5) / double(spread)) * std::sin(kPi * (double(i) + 0.5) / double(spread));
    for (auto& k : kernel) k /= kernelSum;
    return combineBands(n, roomSplit(), [&](std::size_t b, double* l, double* r) {
        std::vector<double> energy[2];
        for (const Image& im : images) {
            double wallGain = 1.0;
            for (int w = 0; w < 6; ++w) wallGain *= std::pow(s.beta[w][b], im.hits[w]);
            for (int ch = 0; ch < 2; ++ch) {
                const double d = distance(im.pos, s.mic[ch]);
                const double t = d / kSpeedOfSound - s.t0;
                const double fade = specularFade(p, t - s.leadIn);
                if (fade <= 0.0) continue;
                const double g = wallGain * s.tone[b] * std::exp(-0.5 * s.air[b] * d) / d * fade;
                if (scatters && t - s.leadIn > p.scatterAfter) {
                    // Centred on the image's arrival time.
                    const double start = t * kSampleRate - 0.5 * double(spread);
                    if (start < 0.0 || start + double(spread) >= double(n)) continue;
                    auto& e = energy[ch];
                    if (e.empty()) e.assign(n, 0.0);
                    const std::size_t at = std::size_t(start);
                    for (std::size_t i = 0; i < spread; ++i) e[at + i] += g * g * kernel[i];
                } else {
                    addImpulse(ch == 0 ? l : r, n, t * kSampleRate, g);
                }
            }
        }
        for (int ch = 0; ch < 2; ++ch) {
            if (energy[ch].empty()) continue;
            Rng rng(deriveSeed(p.seed, 100 + 2 * b + std::uint64_t(ch)));
            double* dst = ch == 0 ? l : r;
            for (std::size_t i = 0; i < n; ++i)
                if (energy[ch][i] > 0.0) dst[i] += rng.gauss() * std::sqrt(energy[ch][i]);
        }
    });
}

// Late part: the reflection density 4 pi c^3 t^2 / V at amplitude 1/(ct)
// gives a mean power of 4 pi c / V per second, decaying with the band's
// reverberation time.
Stereo renderLate(const RoomParams& p, const RoomSetup& s, const std::array<double, 10>& modelRt,
                  std::size_t n) {
    const double fs = kSampleRate, c = kSpeedOfSound;
    const double v = p.dims[0] * p.dims[1] * p.dims[2];
    const double level = std::sqrt(4.0 * kPi * c / (v * fs));
    std::vector<double> noise[2];
    for (int ch = 0; ch < 2; ++ch) {
        Rng rng(deriveSeed(p.seed, 20 + ch));
        noise[ch].resize(n);
        for (auto& x : noise[ch]) x = rng.gauss();
    }
    Stereo late = combineBands(n, roomSplit(), [&](std::size_t b, double* l, double* r) {
        const double rate = decayPerSecond(modelRt[b]);
        for (std::size_t i = 0; i < n; ++i) {
            const double t = double(i) / fs;
            const double fade = diffuseFade(p, t - s.leadIn);
            if (fade <= 0.0) continue;
            const double env = level * s.tone[b] * std::exp(-rate * (t + s.t0)) * fade;
            l[i] = noise[0][i] * env;
            r[i] = noise[1][i] * env;
        }
    });
    applySpacedPairCoherence(late, p.micSpacing);
    return late;
}
}  // namespace

RoomResult renderRoom(const RoomParams& p, std::size_t n) {
    RoomResult res;
    res.absorptionScale = absorptionScaleFor(p);
    res.modelRt = eyringRt(p, res.absorptionScale);

    const RoomSetup setup = roomSetup(p, res.absorptionScale);
    const double rMax = kSpeedOfSound * (setup.t0 + setup.leadIn + p.mixEnd) + p.micSpacing;
    const std::vector<Image> images = imageSources(p, rMax);
    res.images = images.size();

    const Stereo early = renderEarly(p, setup, images, n);
    const Stereo late = renderLate(p, setup, res.modelRt, n);
    res.ir = Stereo(n);
    for (std::size_t i = 0; i < n; ++i) {
        res.ir.l[i] = early.l[i] + late.l[i];
        res.ir.r[i] = early.r[i] + late.r[i];
    }
    return res;
}

}  // namespace irgen
