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
