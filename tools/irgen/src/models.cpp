#include "models.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace irgen {

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
