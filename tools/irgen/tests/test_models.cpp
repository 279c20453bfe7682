#include "check.hpp"

#include "analysis.hpp"
#include "catalog.hpp"
#include "encode.hpp"
#include "models.hpp"

#include <algorithm>
#include <map>
#include <set>

using namespace irgen;

TEST_CASE(plate_modes_follow_thin_plate_theory) {
    PlateParams p;
    p.tension = 0.0;
    p.detune = 0.0;
    p.maxHz = 10000.0;
    p.t60 = {2, 2, 2, 2, 2, 2, 2, 2};
    const auto modes = plateModes(p);
    // Asymptotic modal density of a thin plate: n = S/2 * sqrt(rho h / D) per Hz.
    const double h = p.thickness;
    const double d = p.youngs * h * h * h / (12.0 * (1.0 - p.poisson * p.poisson));
    const double density = p.lx * p.ly / 2.0 * std::sqrt(p.density * h / d);
    CHECK_NEAR(double(modes.size()), density * p.maxHz, 0.03 * density * p.maxHz);
    // Lowest mode (1,1): f = pi/2 sqrt(D / rho h) (1/lx^2 + 1/ly^2).
    const double f11 = kPi / 2.0 * std::sqrt(d / (p.density * h)) * (1.0 / (p.lx * p.lx) + 1.0 / (p.ly * p.ly));
    const auto lowest = std::min_element(modes.begin(), modes.end(),
                                         [](const PlateMode& a, const PlateMode& b) { return a.hz < b.hz; });
    CHECK_NEAR(lowest->hz, f11, 1e-9 * f11);
    // Tension stiffens the lowest modes.
    p.tension = 1500.0;
    const auto tensioned = plateModes(p);
    CHECK(tensioned.front().hz > 2.0 * modes.front().hz);
    // A pickup on the centre line cannot hear modes that have a node there.
    p.pickupL = {0.5, 0.37};
    int silent = 0;
    for (const PlateMode& mode : plateModes(p))
        if (std::fabs(mode.gainL) < 1e-12) ++silent;
    CHECK(silent > int(tensioned.size()) / 3);  // every even m
}

TEST_CASE(modal_sum_matches_closed_form) {
    const std::vector<PlateMode> modes{{440.0, 3.0, 0.5, -0.25}, {1234.5, 12.0, 0.1, 0.2}};
    const std::size_t n = 44100;
    const Stereo s = renderModes(modes, n);
    for (std::size_t t : {0u, 1u, 999u, 20000u, 44099u}) {
        const double sec = double(t) / kSampleRate;
        double l = 0, r = 0;
        for (const auto& m : modes) {
            const double v = std::exp(-m.sigma * sec) * std::cos(2.0 * kPi * m.hz * sec);
            l += m.gainL * v;
            r += m.gainR * v;
        }
        CHECK_NEAR(s.l[t], l, 1e-9);
        CHECK_NEAR(s.r[t], r, 1e-9);
    }
}

namespace {
RoomParams hardFloorRoom() {
    RoomParams p;
    p.dims = {10, 8, 4};
    p.source = {3, 4, 1.5};
    p.receiver = {7, 4, 1.5};
    p.micSpacing = 0.0;
    p.jitter = 0.0;
    const Absorption soft{0.98, 0.98, 0.98, 0.98, 0.98, 0.98}, hard{0, 0, 0, 0, 0, 0};
    p.walls = {soft, soft, soft, soft, hard, soft};
    p.mixStart = 0.05;
    p.mixEnd = 0.06;
    return p;
}
}  // namespace

TEST_CASE(room_images_land_where_geometry_says) {
    const RoomParams p = hardFloorRoom();
    const std::size_t n = 4000;
    const RoomResult r = renderRoom(p, n);
    // Direct sound (4 m) 1.5 ms into the file, floor image sqrt(4^2 + 3^2) = 5 m.
    const double direct = 4.0, floor = 5.0;
    const double t0 = 0.0015 * kSampleRate;
    const double tFloor = t0 + (floor - direct) / kSpeedOfSound * kSampleRate;
    auto peakNear = [&](double at) {
        std::size_t best = std::size_t(at) - 3;
        for (std::size_t i = best; i < std::size_t(at) + 4; ++i)
            if (std::fabs(r.ir.l[i]) > std::fabs(r.ir.l[best])) best = i;
        return best;
    };
    const std::size_t iDirect = peakNear(t0), iFloor = peakNear(tFloor);
    CHECK(std::lround(t0) == long(iDirect) || std::lround(t0) == long(iDirect) + 1 || std::lround(t0) == long(iDirect) - 1);
    CHECK(std::labs(long(iFloor) - std::lround(tFloor)) <= 1);
    // Pressure falls as 1/r; the hard floor reflects everything. Compare the
    // energy of each interpolated impulse, not its (sub-sample) peak.
    Stereo band = r.ir;  // the interpolator is exact below ~16 kHz only
    applyMagnitude(band, [](double hz) { return hz < 8000.0 ? 1.0 : 0.0; });
    auto localEnergy = [&](std::size_t at) {
        double e = 0.0;
        for (std::size_t i = at - 12; i <= at + 12; ++i) e += band.l[i] * band.l[i];
        return std::sqrt(e);
    };
    CHECK_NEAR(localEnergy(iFloor) / localEnergy(iDirect), direct / floor, 0.03);
    // Nothing before the direct sound but filter skirts.
    double early = 0.0;
    for (std::size_t i = 0; i + 5 < iDirect; ++i) early = std::max(early, std::fabs(r.ir.l[i]));
    CHECK(early < 0.02 * std::fabs(r.ir.l[iDirect]));
}

TEST_CASE(room_tail_decays_with_its_eyring_time) {
    RoomParams p;
    p.dims = {9, 7, 3.5};
    const Absorption a{0.08, 0.08, 0.1, 0.1, 0.12, 0.14};
    p.walls = {a, a, a, a, a, a};
    p.targetRtMid = 1.2;
    const RoomResult r = renderRoom(p, std::size_t(2.5 * kSampleRate));
    CHECK_NEAR(0.5 * (r.modelRt[4] + r.modelRt[5]), 1.2, 1e-3);
    // Eyring by hand for the 1 kHz band with the found absorption scale.
    const double v = 9 * 7 * 3.5, s = 2 * (9 * 7 + 9 * 3.5 + 7 * 3.5);
    const double alpha = 0.1 * r.absorptionScale;
    const double expect = 0.1611 * v / (-s * std::log(1 - alpha) + 4 * airAttenuation(1000) * v);
    CHECK_NEAR(r.modelRt[5], expect, 0.01 * expect);
    const Analysis an = analyze(r.ir);
    CHECK_NEAR(an.rt60[3], r.modelRt[5], 0.12 * r.modelRt[5]);  // 1 kHz
    CHECK_NEAR(an.rt60[6], r.modelRt[8], 0.15 * r.modelRt[8]);  // 8 kHz, air absorption
    CHECK(an.rt60[6] < an.rt60[3]);
}

TEST_CASE(spaced_pair_coherence_follows_sinc) {
    const std::size_t n = 1 << 17;
    Stereo s(n);
    Rng rng(4);
    for (std::size_t i = 0; i < n; ++i) {
        s.l[i] = rng.gauss();
        s.r[i] = rng.gauss();
    }
    applySpacedPairCoherence(s, 1.0);
    auto bandCorr = [&](double lo, double hi) {
        Stereo b = s;
        applyMagnitude(b, [&](double hz) { return hz >= lo && hz <= hi ? 1.0 : 0.0; });
        return correlation(b.l, b.r);
    };
    CHECK(bandCorr(20, 50) > 0.85);
    CHECK(std::fabs(bandCorr(1500, 3000)) < 0.08);
}

TEST_CASE(space_swells_then_decays) {
    SpaceParams p;
    p.t60 = {3, 3, 3, 3, 2.5, 2, 1.5, 1};
    p.startDb = -12.0;
    p.buildUp = 0.3;
    p.modDepthDb = 0.0;
    const std::size_t n = std::size_t(4.0 * kSampleRate);
    const Stereo full = renderSpace(p, n);
    const Stereo s = octaveBands(full)[3];  // the swell is set at 1 kHz
    // Short-time level in 50 ms windows.
    auto level = [&](double t) {
        const std::size_t a = std::size_t(t * kSampleRate), w = 2205;
        double e = 0;
        for (std::size_t i = a; i < a + w; ++i) e += s.l[i] * s.l[i] + s.r[i] * s.r[i];
        return 10.0 * std::log10(e / double(2 * w));
    };
    double peakDb = -400, peakAt = 0;
    for (double t = 0; t < 3.0; t += 0.05)
        if (level(t) > peakDb) {
            peakDb = level(t);
            peakAt = t;
        }
    CHECK(peakAt > 0.2 && peakAt < 1.5);
    CHECK_NEAR(level(0.0) - peakDb, -12.0, 4.0);
    const Analysis a = analyze(full);
    CHECK_NEAR(a.rt60[3], 3.0, 0.5);
    CHECK(a.rt60[6] < 0.7 * a.rt60[3]);
    CHECK(std::fabs(a.correlation) < 0.15);
}

namespace {
// Group delay (samples) of x around hz, from the phase slope of its spectrum.
double arrival(const std::vector<double>& x, double hz) {
    const std::size_t n = nextPow2(2 * x.size());
    std::vector<cplx> z(n, cplx(0, 0));
    for (std::size_t i = 0; i < x.size(); ++i) z[i] = x[i];
    Fft::get(n).forward(z);
    const auto k = std::size_t(std::lround(hz / kSampleRate * double(n)));
    double sum = 0.0;
    for (std::size_t j = k - 2; j < k + 2; ++j) sum += -std::arg(z[j + 1] * std::conj(z[j])) / (2.0 * kPi / double(n));
    return sum / 4.0;
}
}  // namespace

TEST_CASE(allpass_chain_disperses_without_loss) {
    const std::size_t n = 16384;
    for (double a : {0.6, -0.5}) {
        AllpassChain chain(1, a, 40);
        std::vector<double> h(n);
        double energy = 0;
        for (std::size_t i = 0; i < n; ++i) {
            h[i] = chain.process(i == 0 ? 1.0 : 0.0);
            energy += h[i] * h[i];
        }
        CHECK_NEAR(energy, 1.0, 1e-6);
        // Positive coefficient: high frequencies later; negative: earlier.
        const double low = arrival(h, 500), high = arrival(h, 16000);
        CHECK(a > 0 ? high > low + 20 : high < low - 20);
        // Group delay at DC of 40 sections: 40 (1 - a) / (1 + a) samples.
        CHECK_NEAR(arrival(h, 60), 40.0 * (1 - a) / (1 + a), 2.0);
    }
    // A damped chain loses energy, the more the longer a frequency stays.
    AllpassChain lossy(6, 0.6, 60, std::exp(-6.9 / (1.0 * kSampleRate)));
    double energy = 0;
    for (std::size_t i = 0; i < n; ++i) energy += std::pow(lossy.process(i == 0 ? 1.0 : 0.0), 2);
    CHECK(energy < 0.99 && energy > 0.5);
}

TEST_CASE(spring_line_chirps_and_repeats) {
    SpringLine s;
    s.delay = 0.03;
    s.stretch = 6;
    s.coeff = 0.6;
    s.sections = 80;
    s.t60 = 3.0;
    const std::size_t n = std::size_t(0.6 * kSampleRate);
    const auto h = renderSpringLine(s, n);
    // The first pass is a rising chirp: 3 kHz (near the 3.7 kHz transition) lags 500 Hz.
    const std::vector<double> first(h.begin(), h.begin() + std::ptrdiff_t(0.05 * kSampleRate));
    CHECK(arrival(first, 3000) > arrival(first, 500) + 0.01 * kSampleRate);
    // Echoes come back once per round trip: the 300 Hz envelope repeats at 2 x delay + chain delay.
    Stereo b(n);
    b.l = h;
    b.r = h;
    applyMagnitude(b, [](double f) { return f > 150 && f < 400 ? 1.0 : 0.0; });
    std::vector<double> env(n / 64);
    for (std::size_t i = 0; i < env.size(); ++i)
        for (std::size_t k = 0; k < 64; ++k) env[i] += b.l[i * 64 + k] * b.l[i * 64 + k];
    const double trip = 2.0 * s.delay * kSampleRate + 2.0 * s.sections * s.stretch * 0.25;
    auto near = [&](double at) {
        double m = 0;
        for (long i = long(at / 64) - 3; i <= long(at / 64) + 3; ++i) m = std::max(m, env[std::size_t(i)]);
        return m;
    };
    const double gap = near(trip * 0.5);  // half-way between arrivals
    CHECK(near(trip) > 20.0 * gap);
    CHECK(near(2.0 * trip) > 20.0 * near(1.5 * trip));
    CHECK(near(2.0 * trip) < near(trip));
}

TEST_CASE(finished_response_is_normalised_and_clean) {
    Stereo s(44100);
    Rng rng(2);
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double e = std::exp(-3.0 * double(i) / kSampleRate);
        s.l[i] = 0.3 + rng.gauss() * e;  // with a DC offset to remove
        s.r[i] = rng.gauss() * e * 0.5;
    }
    finalizeResponse(s, -1.0);
    double peak = 0, meanL = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        peak = std::max({peak, std::fabs(s.l[i]), std::fabs(s.r[i])});
        meanL += s.l[i];
    }
    CHECK_NEAR(gainToDb(peak), -1.0, 1e-9);
    CHECK(std::fabs(meanL / double(s.size())) < 1e-3 * peak);
    CHECK(s.l.back() == 0.0 && s.r.back() == 0.0);
}

TEST_CASE(catalogue_matches_the_frame_table) {
    const std::map<std::string, std::pair<int, int>> table{
        {"Plate1", {130, 347}}, {"Plate2", {150, 346}}, {"Plate3", {152, 346}}, {"Plate4", {135, 347}},
        {"Plate5", {148, 347}}, {"Room1", {169, 347}},  {"Room2", {146, 347}},  {"Room3", {169, 347}},
        {"Room4", {139, 347}},  {"Room5", {162, 347}},  {"Space1", {258, 234}}, {"Space2", {258, 132}},
        {"Space3", {176, 258}}, {"Space4", {186, 145}}, {"Space5", {196, 258}}, {"Spring1", {194, 347}},
        {"Spring2", {194, 347}}, {"Spring3", {194, 347}}, {"Spring4", {194, 347}}, {"Spring5", {194, 347}}};
    const auto specs = catalog();
    CHECK(specs.size() == 50);
    std::set<std::string> names;
    std::set<std::uint64_t> seeds;
    for (const auto& s : specs) {
        names.insert(s.name);
        seeds.insert(s.plate.seed);
        const std::string pair = s.name.substr(0, s.name.size() - 1);
        const char side = s.name.back();
        CHECK(side == 'A' || side == 'B');
        const double secs = double(s.frames * kSamplesPerFrame) / kSampleRate;
        if (s.kind == Kind::Hall) {
            CHECK(side == 'A' ? secs >= 4.5 && secs <= 5.5 : secs >= 8.0 && secs <= 9.0);
        } else {
            const auto it = table.find(pair);
            CHECK(it != table.end());
            CHECK(int(s.frames) == (side == 'A' ? it->second.first : it->second.second));
        }
    }
    CHECK(names.size() == 50);
    CHECK(seeds.size() == 50);
}

TEST_CASE(rendering_is_deterministic_and_distinct) {
    const auto specs = catalog();
    const std::size_t n = 20000;
    std::map<Kind, std::vector<double>> firstOfKind;
    for (const auto& spec : specs) {
        if (spec.name.back() != 'A' || spec.name[spec.name.size() - 2] != '1') continue;
        const Rendered a = renderSpec(spec, n), b = renderSpec(spec, n);
        CHECK(a.ir.l == b.ir.l && a.ir.r == b.ir.r);
        // Decorrelated channels and energy right at the start.
        CHECK(std::fabs(correlation(a.ir.l, a.ir.r, 220)) < 0.5);
        double start = 0, all = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const double e = a.ir.l[i] * a.ir.l[i] + a.ir.r[i] * a.ir.r[i];
            all = std::max(all, e);
            if (i < 441) start = std::max(start, e);
        }
        CHECK(start > 1e-4 * all);
    }
    // The two sides of a pair differ.
    const Rendered a = renderSpec(specs[0], n), b = renderSpec(specs[1], n);
    CHECK(std::fabs(correlation(a.ir.l, b.ir.l)) < 0.5);
}
