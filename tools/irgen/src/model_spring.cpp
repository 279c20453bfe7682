// The spring: a dispersive all-pass waveguide per helical spring.
#include "model_common.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace irgen {

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

}  // namespace irgen
