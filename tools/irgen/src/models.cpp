#include "models.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <stdexcept>

namespace irgen {

namespace {
constexpr double kLn1000 = 6.907755278982137;  // 60 dB in nepers of amplitude

double decayPerSecond(double t60) { return kLn1000 / t60; }
}  // namespace

// ================================================================ plate ====

std::vector<PlateMode> plateModes(const PlateParams& p) {
    const double h = p.thickness;
    const double rhoH = p.density * h;
    const double bend = p.youngs * h * h * h / (12.0 * (1.0 - p.poisson * p.poisson)) / rhoH;
    const double tens = p.tension / rhoH;
    auto modeHz = [&](double k2) { return std::sqrt(bend * k2 * k2 + tens * k2) / (2.0 * kPi); };

    Rng rng(deriveSeed(p.seed, 1));
    std::vector<PlateMode> modes;
    for (int m = 1;; ++m) {
        const double kx = m * kPi / p.lx;
        const double ky1 = kPi / p.ly;
        if (modeHz(kx * kx + ky1 * ky1) > p.maxHz) break;
        const double sdx = std::sin(m * kPi * p.driver[0]);
        const double slx = std::sin(m * kPi * p.pickupL[0]);
        const double srx = std::sin(m * kPi * p.pickupR[0]);
        for (int n = 1;; ++n) {
            const double ky = n * kPi / p.ly;
            double hz = modeHz(kx * kx + ky * ky);
            if (hz > p.maxHz) break;
            hz *= 1.0 + p.detune * std::clamp(rng.gauss(), -3.0, 3.0);
            const double sdy = std::sin(n * kPi * p.driver[1]);
            const double sly = std::sin(n * kPi * p.pickupL[1]);
            const double sry = std::sin(n * kPi * p.pickupR[1]);
            const double fh = hz / p.highpassHz, fl = hz / p.lowpassHz;
            double tone = fh * fh / std::sqrt(1.0 + fh * fh * fh * fh);
            tone /= std::sqrt(1.0 + std::pow(fl, 2.0 * p.lowpassOrder));
            tone *= std::pow(hz / 1000.0, p.tiltDbPerOct / 6.0206);
            const double drive = sdx * sdy * tone;
            modes.push_back({hz, decayPerSecond(interpOctaves(p.t60, hz)), drive * slx * sly,
                             drive * srx * sry});
        }
    }
    return modes;
}

Stereo renderModes(const std::vector<PlateMode>& modesIn, std::size_t n, double fs) {
    constexpr int kLanes = 8;
    const double kLifeNepers = 110.0 / 20.0 * std::log(10.0);
    std::vector<PlateMode> modes = modesIn;
    auto life = [&](const PlateMode& m) {
        return std::min<std::size_t>(n, std::size_t(std::ceil(kLifeNepers / m.sigma * fs)));
    };
    std::stable_sort(modes.begin(), modes.end(),
                     [&](const PlateMode& a, const PlateMode& b) { return life(a) > life(b); });
    Stereo out(n);
    for (std::size_t g = 0; g < modes.size(); g += kLanes) {
        double re[kLanes], im[kLanes], cr[kLanes], ci[kLanes], gl[kLanes], gr[kLanes];
        std::size_t len = 0;
        for (int k = 0; k < kLanes; ++k) {
            re[k] = 1.0;
            im[k] = 0.0;
            if (g + k < modes.size()) {
                const PlateMode& m = modes[g + k];
                const double r = std::exp(-m.sigma / fs), w = 2.0 * kPi * m.hz / fs;
                cr[k] = r * std::cos(w);
                ci[k] = r * std::sin(w);
                gl[k] = m.gainL;
                gr[k] = m.gainR;
                len = std::max(len, life(m));
            } else {
                cr[k] = ci[k] = gl[k] = gr[k] = 0.0;
            }
        }
        double* L = out.l.data();
        double* R = out.r.data();
        for (std::size_t t = 0; t < len; ++t) {
            double sl = 0.0, sr = 0.0;
            for (int k = 0; k < kLanes; ++k) {
                sl += gl[k] * re[k];
                sr += gr[k] * re[k];
            }
            for (int k = 0; k < kLanes; ++k) {
                const double nr = re[k] * cr[k] - im[k] * ci[k];
                im[k] = re[k] * ci[k] + im[k] * cr[k];
                re[k] = nr;
            }
            L[t] += sl;
            R[t] += sr;
        }
    }
    return out;
}

Stereo renderPlate(const PlateParams& p, std::size_t n) { return renderModes(plateModes(p), n); }

// ========================================================== room, hall ====

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

RoomResult renderRoom(const RoomParams& p, std::size_t n) {
    RoomResult res;
    const BandSplit& split = roomSplit();
    const double fs = kSampleRate, c = kSpeedOfSound;

    // Scale the absorption so the mid-band decay hits the wanted value.
    double scale = 1.0;
    if (p.targetRtMid > 0.0) {
        auto mid = [&](double sc) {
            const auto rt = eyringRt(p, sc);
            return 0.5 * (rt[4] + rt[5]);
        };
        double lo = std::log(0.02), hi = std::log(50.0);
        for (int it = 0; it < 80; ++it) {
            const double m = 0.5 * (lo + hi);
            if (mid(std::exp(m)) > p.targetRtMid) lo = m; else hi = m;
        }
        scale = std::exp(0.5 * (lo + hi));
    }
    res.absorptionScale = scale;
    res.modelRt = eyringRt(p, scale);

    // Two omnis, spaced across the line from the source.
    const double dx = p.receiver[0] - p.source[0], dy = p.receiver[1] - p.source[1];
    const double dl = std::max(1e-9, std::hypot(dx, dy));
    const std::array<double, 2> perp{-dy / dl, dx / dl};
    std::array<std::array<double, 3>, 2> mic;
    for (int ch = 0; ch < 2; ++ch) {
        const double side = ch == 0 ? -0.5 : 0.5;
        mic[ch] = {p.receiver[0] + side * p.micSpacing * perp[0],
                   p.receiver[1] + side * p.micSpacing * perp[1], p.receiver[2]};
    }
    auto dist = [](const std::array<double, 3>& a, const std::array<double, 3>& b) {
        return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                         (a[2] - b[2]) * (a[2] - b[2]));
    };
    const double direct = std::min(dist(mic[0], p.source), dist(mic[1], p.source));
    const double leadIn = 0.0015;  // direct sound lands 1.5 ms into the file
    const double t0 = direct / c - leadIn;

    std::array<double, kRoomBands> tone{}, air{};
    std::array<std::array<double, kRoomBands>, 6> beta{};
    for (std::size_t b = 0; b < kRoomBands; ++b) {
        const double fc = split.centre(b);
        tone[b] = dbToGain(interpOctaves(p.toneDb, fc));
        air[b] = airAttenuation(fc);
        for (int w = 0; w < 6; ++w) beta[w][b] = std::sqrt(1.0 - bandAbsorption(p.walls[w], b, scale));
    }

    auto specular = [&](double tAfterDirect) {
        if (tAfterDirect <= p.mixStart) return 1.0;
        if (tAfterDirect >= p.mixEnd) return 0.0;
        return std::cos(0.5 * kPi * (tAfterDirect - p.mixStart) / (p.mixEnd - p.mixStart));
    };
    auto diffuse = [&](double tAfterDirect) {
        if (tAfterDirect <= p.mixStart) return 0.0;
        if (tAfterDirect >= p.mixEnd) return 1.0;
        return std::sin(0.5 * kPi * (tAfterDirect - p.mixStart) / (p.mixEnd - p.mixStart));
    };

    // Image sources (Allen & Berkley indexing), displaced at random so that
    // the regular lattice does not produce sweeping echoes.
    struct Image {
        std::array<double, 3> pos;
        std::array<int, 6> hits;
    };
    std::vector<Image> images;
    const double rMax = c * (t0 + leadIn + p.mixEnd) + p.micSpacing;
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
                            if (dist(im.pos, p.receiver) > rMax) continue;
                            images.push_back(im);
                        }
    res.images = images.size();

    // Early part: one impulse train per band, scaled by that band's losses.
    Stereo early = combineBands(n, split, [&](std::size_t b, double* l, double* r) {
        for (const Image& im : images) {
            double wallGain = 1.0;
            for (int w = 0; w < 6; ++w) wallGain *= std::pow(beta[w][b], im.hits[w]);
            for (int ch = 0; ch < 2; ++ch) {
                const double d = dist(im.pos, mic[ch]);
                const double t = d / c - t0;
                const double fade = specular(t - leadIn);
                if (fade <= 0.0) continue;
                const double g = wallGain * tone[b] * std::exp(-0.5 * air[b] * d) / d * fade;
                addImpulse(ch == 0 ? l : r, n, t * fs, g);
            }
        }
    });

    // Late part: the reflection density 4 pi c^3 t^2 / V at amplitude 1/(ct)
    // gives a mean power of 4 pi c / V per second, decaying with the band's
    // reverberation time.
    const double v = p.dims[0] * p.dims[1] * p.dims[2];
    const double level = std::sqrt(4.0 * kPi * c / (v * fs));
    std::vector<double> noise[2];
    for (int ch = 0; ch < 2; ++ch) {
        Rng rng(deriveSeed(p.seed, 20 + ch));
        noise[ch].resize(n);
        for (auto& x : noise[ch]) x = rng.gauss();
    }
    Stereo late = combineBands(n, split, [&](std::size_t b, double* l, double* r) {
        const double rate = decayPerSecond(res.modelRt[b]);
        for (std::size_t i = 0; i < n; ++i) {
            const double t = double(i) / fs;
            const double fade = diffuse(t - leadIn);
            if (fade <= 0.0) continue;
            const double env = level * tone[b] * std::exp(-rate * (t + t0)) * fade;
            l[i] = noise[0][i] * env;
            r[i] = noise[1][i] * env;
        }
    });
    applySpacedPairCoherence(late, p.micSpacing);

    res.ir = Stereo(n);
    for (std::size_t i = 0; i < n; ++i) {
        res.ir.l[i] = early.l[i] + late.l[i];
        res.ir.r[i] = early.r[i] + late.r[i];
    }
    return res;
}

// ================================================================ space ====

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

// =============================================================== spring ====

AllpassChain::AllpassChain(int stretch, double coeff, int sections, double damping)
    : k_(stretch), m_(sections), a_(coeff), d_(std::pow(damping, stretch)),
      xs_(std::size_t(stretch) * std::size_t(sections), 0.0),
      ys_(std::size_t(stretch) * std::size_t(sections), 0.0) {
    if (stretch < 1 || sections < 0) throw std::invalid_argument("bad all-pass chain");
}

double AllpassChain::process(double x) {
    double* xs = xs_.data();
    double* ys = ys_.data();
    for (int i = 0; i < m_; ++i) {
        const std::size_t at = std::size_t(i) * std::size_t(k_) + pos_;
        const double y = a_ * x + d_ * (xs[at] - a_ * ys[at]);
        xs[at] = x;
        ys[at] = y;
        x = y;
    }
    if (++pos_ == std::size_t(k_)) pos_ = 0;
    return x;
}

namespace {
// Waveguide loop of one dispersion branch: the first arrival has passed the
// chain once, every further arrival two more times plus the loop filters.
// edgeHz > 0 adds a resonant-free second-order low-pass just below the
// transition: near it the group delay (and so the trip time) is several times
// longer, and without extra loss there those chirp tops would outlast the rest.
std::vector<double> springBranch(std::size_t n, std::size_t loopDelay, int stretch, double coeff,
                                 int sections, double t60, double lowpassHz, double edgeHz, double fs) {
    // Wire losses act per unit time (t60), end and coupling losses per pass
    // through the loop filters.
    const double perSample = std::exp(-kLn1000 / (t60 * fs));
    AllpassChain first(stretch, coeff, sections, perSample), loop(stretch, coeff, 2 * sections, perSample);
    const double g = std::pow(perSample, double(loopDelay));
    const double p = std::exp(-2.0 * kPi * lowpassHz / fs);
    const double dcR = std::exp(-2.0 * kPi * 40.0 / fs);  // spring ends barely hold the lowest notes
    std::vector<double> ring(loopDelay, 0.0), out(n);
    std::size_t pos = 0;
    double lp = 0.0, dcX = 0.0, dcY = 0.0;
    Biquad edge = edgeHz > 0.0 ? Biquad::lowpass(edgeHz, 0.7, fs) : Biquad{};
    for (std::size_t t = 0; t < n; ++t) {
        lp = (1.0 - p) * edge.process(ring[pos]) + p * lp;
        dcY = lp - dcX + dcR * dcY;
        dcX = lp;
        const double v = first.process(t == 0 ? 1.0 : 0.0) + g * dcY;
        out[t] = v;
        ring[pos] = loop.process(v);
        if (++pos == loopDelay) pos = 0;
    }
    return out;
}
}  // namespace

std::vector<double> renderSpringLine(const SpringLine& s, std::size_t n, double fs) {
    const std::size_t loopDelay = std::max<std::size_t>(1, std::size_t(std::lround(2.0 * s.delay * fs)));
    const double fc = fs / (2.0 * s.stretch);
    std::vector<double> low = springBranch(n, loopDelay, s.stretch, s.coeff, s.sections, s.t60,
                                           s.loopLowpassHz, 0.9 * fc, fs);
    std::vector<double> high = springBranch(n, loopDelay, 1, s.highCoeff, s.highSections, s.highT60,
                                            s.loopLowpassHz * 1.6, 0.0, fs);
    // The stretched sections mirror their response above the transition;
    // keep the low chirps below it and the high chirps above it.
    Butter4 lp1 = Butter4::lowpass(0.9 * fc), lp2 = Butter4::lowpass(0.9 * fc);
    Butter4 hp = Butter4::highpass(1.05 * fc);
    const double hg = dbToGain(s.highLevelDb), gain = dbToGain(s.gainDb);
    std::vector<double> out(n);
    for (std::size_t t = 0; t < n; ++t)
        out[t] = gain * (lp2.process(lp1.process(low[t])) + hg * hp.process(high[t]));
    return out;
}

Stereo renderSpring(const SpringParams& p, std::size_t n) {
    Stereo out(n);
    for (int ch = 0; ch < 2; ++ch) {
        auto& dst = out.ch(ch);
        for (const SpringLine& s : ch == 0 ? p.left : p.right) {
            const auto line = renderSpringLine(s, n);
            for (std::size_t t = 0; t < n; ++t) dst[t] += line[t];
        }
        Biquad hp = Biquad::highpass(p.inputHighpassHz, 0.707);
        Butter4 lp = Butter4::lowpass(p.outputLowpassHz);
        for (auto& x : dst) x = lp.process(hp.process(x));
    }
    return out;
}

// =============================================================== shared ====

double finalizeResponse(Stereo& s, double peakDb) {
    const std::size_t n = s.size();
    // Zero-phase second-order high-pass at 12 Hz removes DC and sub-sonic drift.
    applyMagnitude(s, [](double hz) {
        const double x = hz / 12.0;
        return x * x / std::sqrt(1.0 + x * x * x * x);
    });
    // Raised-cosine fade over the last 6 % (at most 250 ms) so the file ends at zero.
    const std::size_t fade = std::min<std::size_t>(std::size_t(0.25 * kSampleRate), n * 6 / 100);
    for (std::size_t i = 0; i < fade; ++i) {
        const double w = 0.5 + 0.5 * std::cos(kPi * double(i + 1) / double(fade));
        s.l[n - fade + i] *= w;
        s.r[n - fade + i] *= w;
    }
    double peak = 0.0;
    for (std::size_t i = 0; i < n; ++i) peak = std::max({peak, std::fabs(s.l[i]), std::fabs(s.r[i])});
    if (peak <= 0.0) throw std::runtime_error("silent response");
    const double g = dbToGain(peakDb) / peak;
    for (std::size_t i = 0; i < n; ++i) {
        s.l[i] *= g;
        s.r[i] *= g;
    }
    return g;
}

}  // namespace irgen
