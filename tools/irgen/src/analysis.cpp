#include "analysis.hpp"

#include <algorithm>
#include <cmath>

namespace irgen {

namespace {
std::vector<float> decimate(const std::vector<double>& v, std::size_t step) {
    std::vector<float> out;
    for (std::size_t i = 0; i < v.size(); i += step) out.push_back(float(std::max(v[i], -200.0)));
    return out;
}

// Schroeder curve of the summed energy of both channels.
std::vector<double> stereoEdc(const Stereo& s) {
    std::vector<double> e(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) e[i] = std::sqrt(0.5 * (s.l[i] * s.l[i] + s.r[i] * s.r[i]));
    return schroederDb(e);
}

double windowPeakRms(const std::vector<double>& a, const std::vector<double>& b, std::size_t from,
                     std::size_t to, std::size_t win) {
    double best = 0.0;
    for (std::size_t s = from; s + win <= to; s += win / 2) {
        double acc = 0.0;
        for (std::size_t i = s; i < s + win; ++i) acc += a[i] * a[i] + b[i] * b[i];
        best = std::max(best, acc / double(2 * win));
    }
    return std::sqrt(best);
}
// Zero-phase third-octave of the sum of both channels.
std::vector<double> thirdOctaveOfSum(const Stereo& s, double centreHz) {
    Stereo sum(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) sum.l[i] = s.l[i] + s.r[i];
    applyMagnitude(sum, [centreHz](double hz) { return octaveBandMagnitude(std::pow(hz / centreHz, 3.0) * centreHz, centreHz); });
    return sum.l;
}

// Time of the first envelope peak that comes within 6 dB of the loudest one of the first 300 ms.
double firstArrival(const std::vector<double>& band) {
    const std::size_t n = std::min(band.size(), std::size_t(0.3 * kSampleRate));
    const std::size_t w = std::size_t(0.002 * kSampleRate);
    std::vector<double> env(n, 0.0);
    double acc = 0.0, top = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        acc += band[i] * band[i] - (i >= w ? band[i - w] * band[i - w] : 0.0);
        env[i] = acc;
        top = std::max(top, acc);
    }
    std::size_t i = 0;
    while (i < n && env[i] < 0.25 * top) ++i;
    while (i + 1 < n && env[i + 1] >= env[i]) ++i;
    return (double(i) - 0.5 * double(w)) / kSampleRate;
}

// Abel and Huang's normalised echo density over 20 ms: the share of samples beyond one standard deviation,
// against that of Gaussian noise.
double echoDensityAt(const std::vector<double>& x, std::size_t centre) {
    const std::size_t half = std::size_t(0.01 * kSampleRate);
    const std::size_t from = centre > half ? centre - half : 0, to = std::min(x.size(), centre + half);
    if (to <= from) return 0.0;
    double power = 0.0;
    for (std::size_t i = from; i < to; ++i) power += x[i] * x[i];
    const double sd = std::sqrt(power / double(to - from));
    std::size_t beyond = 0;
    for (std::size_t i = from; i < to; ++i) beyond += std::fabs(x[i]) > sd;
    return double(beyond) / double(to - from) / 0.31731050786291415;
}

void measureTexture(const Stereo& s, const std::vector<Stereo>& bands, double peak, Analysis& a) {
    const std::size_t n = s.size();
    std::size_t onset = 0;
    while (onset < n && std::max(std::fabs(s.l[onset]), std::fabs(s.r[onset])) < 0.1 * peak) ++onset;
    a.onsetSeconds = double(onset) / kSampleRate;

    // 1 ms windows of the energy of both channels above 1 kHz: a slap is heard there, and there a millisecond of
    // diffuse sound holds enough cycles for its energy to be steady.
    Stereo high = s;
    applyMagnitude(high, [](double hz) {
        const double x = hz / 1000.0;
        return x * x * x * x / std::sqrt(1.0 + std::pow(x, 8.0));
    });
    const std::size_t w = 44, from = onset + std::size_t(0.02 * kSampleRate);
    const std::size_t to = std::min(n, onset + std::size_t(0.5 * kSampleRate));
    std::vector<double> e;
    double loudest = 0.0;
    for (std::size_t i = from; i + w <= to; i += w) {
        double acc = 0.0;
        for (std::size_t k = i; k < i + w; ++k) acc += high.l[k] * high.l[k] + high.r[k] * high.r[k];
        e.push_back(acc);
        loudest = std::max(loudest, acc);
    }
    double excess = 0.0;
    std::vector<double> around;
    for (std::size_t k = 0; k < e.size(); ++k) {
        const std::size_t lo = k >= 10 ? k - 10 : 0, hi = std::min(e.size(), k + 10);
        around.assign(e.begin() + long(lo), e.begin() + long(hi));
        std::nth_element(around.begin(), around.begin() + long(around.size() / 2), around.end());
        const double median = around[around.size() / 2];
        if (median > 1e-6 * loudest) excess = std::max(excess, e[k] / median);
    }
    a.reflectionExcessDb = excess > 0.0 ? 10.0 * std::log10(excess) : 0.0;

    a.echoDensity50 = 0.5 * (echoDensityAt(s.l, onset + std::size_t(0.05 * kSampleRate)) +
                             echoDensityAt(s.r, onset + std::size_t(0.05 * kSampleRate)));
    a.mixingMs = 500.0;
    for (std::size_t ms = 0; ms < 500; ++ms) {
        const std::size_t at = onset + ms * std::size_t(kSampleRate) / 1000;
        if (0.5 * (echoDensityAt(s.l, at) + echoDensityAt(s.r, at)) >= 0.9) {
            a.mixingMs = double(ms);
            break;
        }
    }

    a.dispersionMs = 1000.0 * (firstArrival(thirdOctaveOfSum(s, 3000.0)) - firstArrival(thirdOctaveOfSum(s, 500.0)));

    auto bandEnergy = [&](std::size_t b) {
        double acc = 1e-30;
        for (std::size_t i = 0; i < n; ++i) acc += bands[b].l[i] * bands[b].l[i] + bands[b].r[i] * bands[b].r[i];
        return acc;
    };
    const double mid = bandEnergy(3);
    a.level4kDb = 10.0 * std::log10(bandEnergy(5) / mid);
    a.level8kDb = 10.0 * std::log10(bandEnergy(6) / mid);
    a.monoLossDb = -10.0 * std::log10(std::max(1e-6, 1.0 + a.correlation));
}
}  // namespace

Analysis analyze(const Stereo& s) {
    Analysis a;
    const std::size_t n = s.size();
    const auto bands = octaveBands(s);
    for (std::size_t b = 0; b < bands.size(); ++b) {
        const DecayFit fl = fitDecay(schroederDb(bands[b].l));
        const DecayFit fr = fitDecay(schroederDb(bands[b].r));
        a.valid[b] = fl.valid && fr.valid;
        a.t30[b] = fl.t30 && fr.t30;
        a.rt60[b] = a.valid[b] ? 0.5 * (fl.rt60 + fr.rt60) : 0.0;
        a.bandEdcDb[b] = decimate(stereoEdc(bands[b]), a.edcStep);
    }
    const auto edc = stereoEdc(s);
    a.edcDb = decimate(edc, a.edcStep);
    std::size_t i10 = 0;
    while (i10 < n && edc[i10] > -10.0) ++i10;
    a.edt = 6.0 * double(i10) / kSampleRate;

    a.correlation = correlation(s.l, s.r, std::size_t(0.005 * kSampleRate));
    double peak = 0.0, meanL = 0.0, meanR = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        peak = std::max({peak, std::fabs(s.l[i]), std::fabs(s.r[i])});
        meanL += s.l[i];
        meanR += s.r[i];
    }
    a.peakDb = gainToDb(peak);
    a.dcRatio = peak > 0 ? std::max(std::fabs(meanL), std::fabs(meanR)) / double(n) / peak : 0.0;

    const std::size_t w5 = std::size_t(0.005 * kSampleRate), w100 = std::size_t(0.1 * kSampleRate);
    const double loud5 = windowPeakRms(s.l, s.r, 0, n, w5);
    const double first = windowPeakRms(s.l, s.r, 0, std::min(n, 2 * w5), w5);
    a.onsetDb = gainToDb(first / loud5);
    const double loud100 = windowPeakRms(s.l, s.r, 0, n, w100);
    // Just before the closing fade (the last 6 %).
    const std::size_t endAt = n * 94 / 100;
    const double last = windowPeakRms(s.l, s.r, endAt - w100, endAt, w100);
    a.endDb = gainToDb(last / loud100);
    measureTexture(s, bands, peak, a);
    return a;
}

Spectrogram spectrogram(const std::vector<double>& x, double seconds, bool logFreq, double minHz,
                        double maxHz, std::size_t cols, std::size_t rows, std::size_t window) {
    Spectrogram sp;
    sp.cols = cols;
    sp.rows = rows;
    sp.seconds = seconds;
    sp.minHz = minHz;
    sp.maxHz = maxHz;
    sp.logFreq = logFreq;
    sp.db.assign(rows * cols, -200.0f);
    const Fft& fft = Fft::get(window);
    std::vector<cplx> buf(window);
    std::vector<double> mag(window / 2 + 1);
    for (std::size_t c = 0; c < cols; ++c) {
        const double centre = (double(c) + 0.5) / double(cols) * seconds * kSampleRate;
        const long start = long(centre) - long(window / 2);
        for (std::size_t i = 0; i < window; ++i) {
            const long j = start + long(i);
            const double v = j >= 0 && j < long(x.size()) ? x[std::size_t(j)] : 0.0;
            const double w = 0.5 - 0.5 * std::cos(2.0 * kPi * double(i) / double(window));
            buf[i] = cplx(v * w, 0.0);
        }
        fft.forward(buf);
        for (std::size_t k = 0; k <= window / 2; ++k) mag[k] = std::norm(buf[k]);
        for (std::size_t r = 0; r < rows; ++r) {
            // Average power over the bins belonging to this row.
            auto rowHz = [&](double u) {
                return logFreq ? minHz * std::pow(maxHz / minHz, u) : minHz + (maxHz - minHz) * u;
            };
            const double f0 = rowHz(double(r) / double(rows)), f1 = rowHz(double(r + 1) / double(rows));
            const double binW = kSampleRate / double(window);
            std::size_t k0 = std::size_t(std::floor(f0 / binW)), k1 = std::size_t(std::ceil(f1 / binW));
            k1 = std::min(std::max(k1, k0 + 1), window / 2 + 1);
            double acc = 0.0;
            for (std::size_t k = k0; k < k1; ++k) acc += mag[k];
            acc /= double(k1 - k0);
            sp.db[r * cols + c] = float(acc > 0 ? 10.0 * std::log10(acc) : -200.0);
        }
    }
    return sp;
}

}  // namespace irgen
