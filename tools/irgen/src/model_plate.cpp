// The plate: modal synthesis of a tensioned thin plate.
#include "model_common.hpp"

#include <algorithm>
#include <cmath>

namespace irgen {

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

}  // namespace irgen
