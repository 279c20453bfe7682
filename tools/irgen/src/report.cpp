#include "report.hpp"

#include "loudness.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>

namespace irgen {

namespace fs = std::filesystem;

namespace {
const Rgb kBg{250, 250, 247}, kInk{30, 30, 35}, kGrid{215, 215, 210}, kPanel{255, 255, 255};
const Rgb kColourA{222, 110, 20}, kColourB{20, 110, 190};
const Rgb kVariant[5] = {{215, 60, 40}, {235, 150, 20}, {60, 160, 60}, {30, 120, 200}, {130, 70, 170}};
const Kind kKinds[5] = {Kind::Plate, Kind::Room, Kind::Spring, Kind::Space, Kind::Hall};

std::string fmt(const char* f, double v) {
    char b[48];
    std::snprintf(b, sizeof b, f, v);
    return b;
}

std::string hzLabel(double hz) {
    if (hz >= 1000.0) return fmt(hz >= 10000.0 || std::fmod(hz, 1000.0) == 0.0 ? "%.0fK" : "%.1fK", hz / 1000.0);
    return fmt("%.0f", hz);
}

double seconds(const Outcome& o) { return double(o.spec->frames * kSamplesPerFrame) / kSampleRate; }

void drawSpectrogram(Image& img, int x0, int y0, const Spectrogram& sp, const std::string& title) {
    const int w = int(sp.cols), h = int(sp.rows);
    float top = -200.0f;
    for (float v : sp.db) top = std::max(top, v);
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c) {
            const double t = (sp.at(std::size_t(r), std::size_t(c)) - (top - 90.0)) / 90.0;
            img.set(x0 + c, y0 + h - 1 - r, heatColour(t));
        }
    img.rect(x0 - 1, y0 - 1, w + 2, h + 2, kInk);
    img.text(x0, y0 - 11, title, kInk);
    // Frequency ticks.
    auto yOf = [&](double hz) {
        const double u = sp.logFreq ? std::log(hz / sp.minHz) / std::log(sp.maxHz / sp.minHz)
                                    : (hz - sp.minHz) / (sp.maxHz - sp.minHz);
        return y0 + h - 1 - int(std::lround(u * (h - 1)));
    };
    std::vector<double> ticks;
    if (sp.logFreq) ticks = {100, 1000, 10000};
    else for (double f = 2000; f < sp.maxHz; f += sp.maxHz > 10000 ? 4000 : 2000) ticks.push_back(f);
    for (double f : ticks) {
        const int y = yOf(f);
        img.line(x0 - 4, y, x0 - 1, y, kInk);
        const std::string s = hzLabel(f);
        img.text(x0 - 5 - Image::textWidth(s), y - 3, s, kInk);
    }
    // Time ticks.
    const double step = sp.seconds > 4 ? 1.0 : sp.seconds > 1.5 ? 0.5 : sp.seconds > 0.6 ? 0.2 : 0.1;
    for (double t = 0; t <= sp.seconds + 1e-9; t += step) {
        const int x = x0 + int(std::lround(t / sp.seconds * (w - 1)));
        img.line(x, y0 + h, x, y0 + h + 3, kInk);
        const std::string s = step < 1 ? fmt("%.1f", t) : fmt("%.0f", t);
        img.text(x - Image::textWidth(s) / 2, y0 + h + 5, s, kInk);
    }
}

void drawEchogram(Image& img, int x0, int y0, int w, int h, const std::vector<float>& db, double secs,
                  const std::string& title) {
    const double floorDb = -60.0;
    img.fillRect(x0, y0, w, h, kPanel);
    for (double d = 0; d >= floorDb; d -= 20) {
        const int y = y0 + int(std::lround(-d / -floorDb * (h - 1)));
        img.line(x0, y, x0 + w - 1, y, kGrid);
        const std::string s = fmt("%.0f", d);
        img.text(x0 - 4 - Image::textWidth(s), y - 3, s, kInk);
    }
    for (std::size_t c = 0; c < db.size() && int(c) < w; ++c) {
        const double v = std::max(double(db[c]), floorDb);
        const int top = y0 + int(std::lround(v / floorDb * (h - 1)));
        img.line(x0 + int(c), top, x0 + int(c), y0 + h - 1, kColourA);
    }
    const double ms = secs * 1000.0;
    const double step = ms > 300 ? 100 : ms > 120 ? 50 : 20;
    for (double t = 0; t <= ms + 1e-9; t += step) {
        const int x = x0 + int(std::lround(t / ms * (w - 1)));
        img.line(x, y0 + h, x, y0 + h + 3, kInk);
        const std::string s = fmt("%.0f", t);
        img.text(x - Image::textWidth(s) / 2, y0 + h + 5, s, kInk);
    }
    img.rect(x0 - 1, y0 - 1, w + 2, h + 2, kInk);
    img.text(x0, y0 - 11, title, kInk);
}

struct Curve {
    const std::vector<float>* db;
    std::size_t step;
    Rgb colour;
    int thickness;
};

void drawDecayAxes(Image& img, int x0, int y0, int w, int h, double tMax, double dbMin, const std::string& title) {
    img.fillRect(x0, y0, w, h, kPanel);
    for (double db = 0; db >= dbMin; db -= 20) {
        const int y = y0 + int(std::lround(-db / -dbMin * (h - 1)));
        img.line(x0, y, x0 + w - 1, y, kGrid);
        const std::string s = fmt("%.0f", db);
        img.text(x0 - 4 - Image::textWidth(s), y - 3, s, kInk);
    }
    const double step = tMax > 4 ? 1.0 : 0.5;
    for (double t = 0; t <= tMax + 1e-9; t += step) {
        const int x = x0 + int(std::lround(t / tMax * (w - 1)));
        img.line(x, y0, x, y0 + h - 1, kGrid);
        const std::string s = fmt("%.0f", t);
        if (std::fmod(t, 1.0) == 0.0) img.text(x - Image::textWidth(s) / 2, y0 + h + 4, s, kInk);
    }
    img.rect(x0 - 1, y0 - 1, w + 2, h + 2, kInk);
    img.text(x0, y0 - 11, title, kInk);
}

void drawCurves(Image& img, int x0, int y0, int w, int h, double tMax, double dbMin, const std::vector<Curve>& curves) {
    for (const Curve& c : curves) {
        double px = -1, py = -1;
        for (std::size_t i = 0; i < c.db->size(); ++i) {
            const double t = double(i * c.step) / kSampleRate;
            if (t > tMax) break;
            const double v = std::max(double((*c.db)[i]), dbMin);
            const double x = x0 + t / tMax * (w - 1), y = y0 + v / dbMin * (h - 1);
            if (px >= 0) img.line(px, py, x, y, c.colour, c.thickness);
            px = x;
            py = y;
            if (v <= dbMin) break;
        }
    }
}

std::vector<const Outcome*> ofKind(const std::vector<Outcome>& all, Kind k) {
    std::vector<const Outcome*> v;
    for (const auto& o : all)
        if (o.spec && o.spec->kind == k) v.push_back(&o);
    std::sort(v.begin(), v.end(), [](const Outcome* a, const Outcome* b) { return a->spec->name < b->spec->name; });
    return v;
}

std::string lowerKind(Kind k) {
    std::string s = kindName(k);
    for (auto& c : s) c = char(std::tolower(c));
    return s;
}
}  // namespace

Image responseSheet(Kind kind, const std::vector<const Outcome*>& set) {
    // One row per variant: A and B spectrograms, detail of A, decay curves.
    std::map<std::string, std::pair<const Outcome*, const Outcome*>> rows;
    for (const Outcome* o : set) {
        const std::string stem = o->spec->name.substr(0, o->spec->name.size() - 1);
        auto& pr = rows[stem];
        (o->spec->name.back() == 'A' ? pr.first : pr.second) = o;
    }
    const int cellW = 360, cellH = 150, left = 50, gap = 60, rowH = cellH + 48, top = 52;
    const int width = left + 3 * (cellW + gap) + 300 + 30;
    const int height = top + int(rows.size()) * rowH + 10;
    Image img(width, height, kBg);
    img.text(left, 10, std::string(kindName(kind)) + " responses", kInk, 2);
    img.text(left, 32,
             "Left channel. Spectrograms: 90 dB range. Third column: start of A (echogram or "
             "linear-frequency spectrogram). Decay: Schroeder curves, thick broadband, thin 8K octave.",
             kInk);
    int y = top + 12;
    for (const auto& [stem, pr] : rows) {
        int x = left;
        for (const Outcome* o : {pr.first, pr.second}) {
            if (o) drawSpectrogram(img, x, y, o->overview, o->spec->name + "  " + fmt("%.2f S", seconds(*o)));
            x += cellW + gap;
        }
        if (pr.first && !pr.first->echogram.empty()) {
            drawEchogram(img, x, y, cellW, cellH, pr.first->echogram, pr.first->echogramSeconds,
                         pr.first->spec->name + " ECHOGRAM, FIRST " +
                             fmt("%.0f MS", pr.first->echogramSeconds * 1000) + " (DB)");
        } else if (pr.first) {
            const Spectrogram& d = pr.first->detail;
            drawSpectrogram(img, x, y, d, pr.first->spec->name + " FIRST " + fmt("%.1f S", d.seconds));
        }
        x += cellW + gap;
        double tMax = 0;
        for (const Outcome* o : {pr.first, pr.second})
            if (o) tMax = std::max(tMax, seconds(*o));
        tMax = std::ceil(tMax);
        drawDecayAxes(img, x, y, 300, cellH, tMax, -80, stem + " DECAY (DB)");
        std::vector<Curve> curves;
        if (pr.first) {
            curves.push_back({&pr.first->analysis.bandEdcDb[6], pr.first->analysis.edcStep, kColourA, 1});
            curves.push_back({&pr.first->analysis.edcDb, pr.first->analysis.edcStep, kColourA, 2});
        }
        if (pr.second) {
            curves.push_back({&pr.second->analysis.bandEdcDb[6], pr.second->analysis.edcStep, kColourB, 1});
            curves.push_back({&pr.second->analysis.edcDb, pr.second->analysis.edcStep, kColourB, 2});
        }
        drawCurves(img, x, y, 300, cellH, tMax, -80, curves);
        img.text(x + 300 - 30, y + 6, "A", kColourA, 2);
        img.text(x + 300 - 16, y + 6, "B", kColourB, 2);
        y += rowH;
    }
    return img;
}

Image overviewSheet(const std::vector<Outcome>& outcomes) {
    const int pw = 260, ph = 200, left = 40, gapX = 50, top = 60, gapY = 60;
    Image img(left + 5 * (pw + gapX), top + 2 * (ph + gapY) + 20, kBg);
    img.text(left, 10, "Vellumar built-in responses", kInk, 2);
    img.text(left, 32,
             "Top: RT60 per octave (Schroeder, T30). Bottom: broadband decay curves. "
             "Colour = variant 1-5, thick = B, thin = A.",
             kInk);
    for (int k = 0; k < 5; ++k) {
        const auto set = ofKind(outcomes, kKinds[k]);
        const int x0 = left + k * (pw + gapX);
        // RT60 against octave band.
        double rtMax = 1.0;
        for (const Outcome* o : set)
            for (std::size_t b = 0; b < 7; ++b) rtMax = std::max(rtMax, o->analysis.rt60[b]);
        rtMax = std::ceil(rtMax);
        const int y0 = top + 12;
        img.fillRect(x0, y0, pw, ph, kPanel);
        for (double v = 0; v <= rtMax + 1e-9; v += 1) {
            const int y = y0 + ph - 1 - int(std::lround(v / rtMax * (ph - 1)));
            img.line(x0, y, x0 + pw - 1, y, kGrid);
            img.text(x0 - 4 - Image::textWidth(fmt("%.0f", v)), y - 3, fmt("%.0f", v), kInk);
        }
        for (std::size_t b = 0; b < 7; ++b) {
            const int x = x0 + 10 + int(b) * (pw - 20) / 6;
            img.line(x, y0, x, y0 + ph - 1, kGrid);
            const std::string s = hzLabel(kOctaveCentres[b]);
            img.text(x - Image::textWidth(s) / 2, y0 + ph + 4, s, kInk);
        }
        img.rect(x0 - 1, y0 - 1, pw + 2, ph + 2, kInk);
        img.text(x0, y0 - 11, std::string(kindName(kKinds[k])) + " RT60 (S)", kInk);
        for (const Outcome* o : set) {
            const int variant = o->spec->name[o->spec->name.size() - 2] - '1';
            const bool isB = o->spec->name.back() == 'B';
            double px = -1, py = -1;
            for (std::size_t b = 0; b < 7; ++b) {
                if (!o->analysis.valid[b]) continue;
                const double x = x0 + 10 + double(b) * (pw - 20) / 6;
                const double y = y0 + ph - 1 - o->analysis.rt60[b] / rtMax * (ph - 1);
                if (px >= 0) img.line(px, py, x, y, kVariant[std::clamp(variant, 0, 4)], isB ? 3 : 1);
                px = x;
                py = y;
            }
        }
        // Decay curves.
        const int y1 = top + ph + gapY + 12;
        double tMax = 0;
        for (const Outcome* o : set) tMax = std::max(tMax, seconds(*o));
        tMax = std::ceil(tMax);
        drawDecayAxes(img, x0, y1, pw, ph, tMax, -80, std::string(kindName(kKinds[k])) + " DECAY (DB)");
        std::vector<Curve> curves;
        for (const Outcome* o : set) {
            const int variant = o->spec->name[o->spec->name.size() - 2] - '1';
            curves.push_back({&o->analysis.edcDb, o->analysis.edcStep, kVariant[std::clamp(variant, 0, 4)],
                              o->spec->name.back() == 'B' ? 3 : 1});
        }
        drawCurves(img, x0, y1, pw, ph, tMax, -80, curves);
        for (int v = 0; v < 5; ++v) img.text(x0 + pw - 14, y1 + 6 + v * 10, std::to_string(v + 1), kVariant[v]);
    }
    return img;
}

void printSummary(const std::vector<Outcome>& outcomes, const std::vector<PairOutcome>& pairs) {
    std::printf("\n%-9s %6s %6s  %s  %5s %5s %6s %6s %6s  %s\n", "name", "frames", "secs",
                "RT60 125   250   500    1k    2k    4k    8k", "EDT", "corr", "onset", "end", "peak",
                "refl  mix  disp   4k   8k mono shelf loud");
    for (const Outcome& o : outcomes) {
        if (!o.spec) continue;
        std::printf("%-9s %3zu/%-3zu %5.2f  ", o.spec->name.c_str(), o.scan.audioFrames, o.spec->frames,
                    seconds(o));
        for (std::size_t b = 0; b < 7; ++b) std::printf("%5.2f%s", o.analysis.rt60[b], o.analysis.t30[b] ? " " : "*");
        const Analysis& a = o.analysis;
        std::printf(" %5.2f %5.2f %6.1f %6.1f %6.2f  %4.1f %4.0f %5.1f %4.0f %4.0f %4.1f %5.1f %5.1f\n", a.edt,
                    a.correlation, a.onsetDb, a.endDb, o.decodedPeakDb, a.reflectionExcessDb, a.mixingMs,
                    a.dispersionMs, a.level4kDb, a.level8kDb, a.monoLossDb, o.shelf.db, o.loudnessDb);
    }
    std::printf("\n%-8s  %s\n", "pair", "wet LU from median (pink speech drums)  mix LU from median  peak dBFS");
    for (std::size_t q = 0; q < 3 && !pairs.empty(); ++q)
        std::printf("median wet loudness, %s: %.2f LUFS\n", loudness::programmeName(loudness::kProgrammes[q]),
                    pairs.front().levels.wetLufs[q] - pairs.front().wetFromMedian[q]);
    for (const PairOutcome& p : pairs)
        std::printf("%-8s  %5.1f %5.1f %5.1f   %5.1f %5.1f %5.1f   %5.1f\n", p.name.c_str(), p.wetFromMedian[0],
                    p.wetFromMedian[1], p.wetFromMedian[2], p.mixFromMedian[0], p.mixFromMedian[1],
                    p.mixFromMedian[2], p.levels.peakDbfs);
}

namespace {
// What the report says before its tables: the files' format, the models and the measurements.
const char* const kReportIntro =
    "# Built-in impulse responses\n\n"
    "Generated by `tools/irgen` (`vellumar-irgen`); regenerate with `tools/irgen/make-irs.sh`. "
    "Do not edit the files by hand: change the models or the catalogue and regenerate.\n\n"
    "Every file is MPEG-1 Layer III, 320 kbit/s CBR, 44.1 kHz, plain stereo (no joint stereo), "
    "starting with an ID3v2.4 tag (TIT2 = response name). The frame count excludes the LAME Info frame; "
    "length = frames x 1152 / 44100 s. The audio itself is (frames - 1) x 1152 samples; decoders "
    "that ignore the encoder delay recorded in the Info frame see it shifted by 1105 samples "
    "(576 encoder + 529 decoder delay). Peaks are normalised to -1 dBFS before encoding; the "
    "decoded peak is listed.\n\n"
    "## Models\n\n"
    "- **Plate**: modal synthesis of a simply supported, tensioned steel plate (all modes up to 19 kHz, "
    "bending stiffness plus tension dispersion, 0.2 % random detuning), driver and two pickups at "
    "different points; each mode decays with the octave-interpolated T60 of the variant.\n"
    "- **Room** and **Hall**: shoebox image-source method (randomised images, per-wall octave-band "
    "absorption of real materials, air absorption, two spaced omnis), crossfaded into a Gaussian late "
    "field whose level follows the image density (4 pi c / V) and whose per-octave decay is the "
    "Eyring reverberation time of the same room; the absorption is scaled to the wanted mid-band "
    "T60. The late field of the two microphones has the diffuse-field coherence sin(kd)/kd. Halls use "
    "a long crossfade (smooth onset) and scatter: only the reflections of the first 20 ms arrive as single "
    "images; later ones reach the microphones as diffuse energy spread over 24 ms.\n"
    "- **Spring**: per channel two or three springs; each is a waveguide loop whose dispersion comes "
    "from cascades of stretched first-order all-pass sections (rising group delay below the "
    "transition frequency fs/2K: the drip chirps) and plain sections above it, re-applied on every "
    "round trip together with a low-pass, so each echo is more dispersed and darker. Hundreds of sections per "
    "pass put 20-35 ms between the 500 Hz and 3 kHz arrivals of the first chirp.\n"
    "- **Space**: statistical diffuse field in third-octave bands (Polack model) with strong "
    "high-frequency damping, a slow swell from a non-zero start level and slow independent level "
    "drift per band and channel.\n\n"
    "## Measurements\n\n"
    "RT60 per octave band from Schroeder backward integration of the generated signal before "
    "encoding (zero-phase octave filters, linear fit from -5 to -35 dB extrapolated to 60 dB; a "
    "value marked * used -5 to -25 dB). Mean of left and right. EDT: broadband early decay time. "
    "Corr: normalised L/R correlation after the first 5 ms. Onset: loudest 5 ms within the first "
    "10 ms against the loudest 5 ms of the file. Tail: level 100 ms before the closing fade "
    "against the loudest 100 ms.\n\n"
    "What each type must sound like, per file (a dash where a measure does not apply to the type):\n\n"
    "- **Mid decay**: mean RT60 of the 500 Hz and 1 kHz octaves. Plate 1.2-6 s, Room 0.3-1.3 s, Spring 2-4 s, "
    "Space at least 4 s, Hall 1.8-3 s.\n"
    "- **Reflection**: loudest 1 ms window (both channels, above 1 kHz) from 20 to 500 ms after the onset against "
    "the median of the 20 windows around it, the diffuse energy there. Halls at most 6 dB: no reflection stands out "
    "as a slap.\n"
    "- **Echo density** (Abel and Huang, 20 ms windows; 1 = Gaussian) 50 ms after the onset, and the **mixing "
    "time**, after which it first reaches 0.9. Plates, rooms, halls and spaces mix within 100 ms.\n"
    "- **Dispersion**: arrival of the 3 kHz third-octave of the first chirp after that of 500 Hz (envelope peaks). "
    "Springs at least 20 ms; their 8 kHz octave at least 10 dB below 1 kHz (band-limited near 4-5 kHz), and a B file "
    "at 4 kHz (against its 1 kHz) at most 6 dB darker than its A file.\n"
    "- **Mono loss**: what a mono sum loses beyond an uncorrelated pair, -10 log10(1 + corr); at most 3 dB.\n"
    "- **Shelf**: the low shelf that level-matched the response (below).\n\n"
    "![overview](report.png)\n\n";

// The measures each type is held to (see the list in the introduction).
struct Verdict {
    const char* decay;
    const char* reflection;
    const char* mixing;
    const char* spring;
    const char* mono;
};

const char* passOrFail(bool applies, bool ok) { return !applies ? "-" : ok ? "pass" : "FAIL"; }

Verdict verdictFor(const Outcome& o, const Outcome* partnerA) {
    const Analysis& a = o.analysis;
    const Kind k = o.spec->kind;
    const double mid = 0.5 * (a.rt60[2] + a.rt60[3]);
    const double lo = k == Kind::Plate ? 1.2 : k == Kind::Room ? 0.3 : k == Kind::Spring ? 2.0 : k == Kind::Space ? 4.0 : 1.8;
    const double hi = k == Kind::Plate ? 6.0 : k == Kind::Room ? 1.3 : k == Kind::Spring ? 4.0 : k == Kind::Space ? 1e9 : 3.0;
    const bool brightEnough = !partnerA || a.level4kDb >= partnerA->analysis.level4kDb - 6.0;
    return {passOrFail(true, a.valid[2] && a.valid[3] && mid >= lo && mid <= hi),
            passOrFail(k == Kind::Hall, a.reflectionExcessDb <= 6.0),
            passOrFail(k != Kind::Spring, a.mixingMs <= 100.0),
            passOrFail(k == Kind::Spring, a.dispersionMs >= 20.0 && a.level8kDb <= -10.0 && brightEnough),
            passOrFail(true, a.monoLossDb <= 3.0)};
}

// Per type: ranges of the mid-band decay for the A and B sides, how much
// faster 8 kHz dies than 1 kHz, and the largest L/R correlation.
void writeSummary(std::ostringstream& md, const std::vector<Outcome>& outcomes) {
    md << "## Summary\n\n| Type | A: RT60 500 Hz-1 kHz | B: RT60 500 Hz-1 kHz | RT60 8k / 1k | max abs L/R corr | "
          "frames as wanted |\n|---|---|---|---|---|---|\n";
    for (Kind k : kKinds) {
        const auto set = ofKind(outcomes, k);
        if (set.empty()) continue;
        double lo[2] = {1e9, 1e9}, hi[2] = {0, 0}, rLo = 1e9, rHi = 0, corr = 0;
        std::size_t ok = 0;
        for (const Outcome* o : set) {
            const Analysis& a = o->analysis;
            const int side = o->spec->name.back() == 'B';
            const double mid = 0.5 * (a.rt60[2] + a.rt60[3]);
            lo[side] = std::min(lo[side], mid);
            hi[side] = std::max(hi[side], mid);
            rLo = std::min(rLo, a.rt60[6] / a.rt60[3]);
            rHi = std::max(rHi, a.rt60[6] / a.rt60[3]);
            corr = std::max(corr, std::fabs(a.correlation));
            ok += o->scan.audioFrames == o->spec->frames;
        }
        md << "| " << kindName(k) << " | " << fmt("%.2f", lo[0]) << " - " << fmt("%.2f s", hi[0]) << " | "
           << fmt("%.2f", lo[1]) << " - " << fmt("%.2f s", hi[1]) << " | " << fmt("%.2f", rLo) << " - "
           << fmt("%.2f", rHi) << " | " << fmt("%.2f", corr) << " | " << ok << " of " << set.size() << " |\n";
    }
    md << "\n";
}

// One type's picture and its table of files with their measurements.
void writeKindTable(std::ostringstream& md, Kind k, const std::vector<const Outcome*>& set) {
    md << "## " << kindName(k) << "\n\n![" << kindName(k) << "](report-" << lowerKind(k) << ".png)\n\n";
    md << "| File | Frames | Seconds | 125 | 250 | 500 | 1k | 2k | 4k | 8k | EDT | Corr | Onset dB | Tail dB "
          "| Decoded peak dBFS | Character |\n";
    md << "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n";
    for (const Outcome* o : set) {
        const Analysis& a = o->analysis;
        md << "| " << o->spec->name << ".mp3 | " << o->scan.audioFrames;
        if (o->scan.audioFrames != o->spec->frames) md << " (wanted " << o->spec->frames << ")";
        md << " | " << fmt("%.2f", seconds(*o));
        for (std::size_t b = 0; b < 7; ++b)
            md << " | " << (a.valid[b] ? fmt("%.2f", a.rt60[b]) + (a.t30[b] ? "" : "*") : "-");
        md << " | " << fmt("%.2f", a.edt) << " | " << fmt("%.2f", a.correlation) << " | "
           << fmt("%.1f", a.onsetDb) << " | " << (a.endDb < -120.0 ? std::string("< -120") : fmt("%.0f", a.endDb)) << " | "
           << fmt("%.2f", o->decodedPeakDb) << " | " << o->spec->character << "; " << o->modelNote << " |\n";
    }
    md << "\n| File | Mid decay s | Pass | Reflection dB | Pass | Echo density | Mixing ms | Pass | Dispersion ms | "
          "4k dB | 8k dB | Pass | Mono loss dB | Pass | Shelf dB |\n";
    md << "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n";
    for (const Outcome* o : set) {
        const Analysis& a = o->analysis;
        const Outcome* partnerA = nullptr;
        if (o->spec->name.back() == 'B')
            for (const Outcome* other : set)
                if (other->spec->name == o->spec->name.substr(0, o->spec->name.size() - 1) + "A") partnerA = other;
        const Verdict v = verdictFor(*o, partnerA);
        md << "| " << o->spec->name << " | " << fmt("%.2f", 0.5 * (a.rt60[2] + a.rt60[3])) << " | " << v.decay << " | "
           << fmt("%.1f", a.reflectionExcessDb) << " | " << v.reflection << " | " << fmt("%.2f", a.echoDensity50) << " | "
           << fmt("%.0f", a.mixingMs) << " | " << v.mixing << " | " << fmt("%.1f", a.dispersionMs) << " | "
           << fmt("%.1f", a.level4kDb) << " | " << fmt("%.1f", a.level8kDb) << " | " << v.spring << " | "
           << fmt("%.2f", a.monoLossDb) << " | " << v.mono << " | " << fmt("%+.1f dB", o->shelf.db) << fmt(" at %.0f Hz", o->shelf.hz) << " |\n";
    }
    md << "\n";
}

// The pairs as the plug-in plays them at its defaults, against the median of all pairs.
void writeLevels(std::ostringstream& md, const std::vector<PairOutcome>& pairs) {
    md << "## Level matching\n\n"
          "The plug-in normalises every response to the same energy, so a response's loudness is set by where that "
          "energy lies in frequency. Each file gets the low shelf (corner 80-640 Hz, -18 to +12 dB) that brings its "
          "loudness alone, at the default Decay of 3 s, closest to the common level for all three programmes at once "
          "(the smallest largest deviation): a high corner moves the low mids, a low one mostly the bass drum.\n\n"
          "Each pair is measured as the plug-in plays it at its defaults (Decay 3 s with its fade, the engine's "
          "normalisation, Character 15 %, the wet path's fixed +17 dB, the 1024-sample latency and 20 ms pre-delay; "
          "the drive, early reverb and equaliser at their neutral defaults are left out). Programmes, generated "
          "in `loudness.hpp`: 4 s of pink noise at -12 dBFS RMS, of a speech-like voice and of a two-bar drum loop, "
          "both peaking at -3 dBFS, in both channels, measured with a second of their tail. Loudness: ITU-R BS.1770 integrated (K-weighted, gated). Wet: Mix "
          "100 %, within +-2 LU of the median of the pairs. Default: Mix 30 %, within +-1 LU. Peak: the drum loop "
          "at Mix 30 % with Character 0, 15 and 100 %, below 0 dBFS.\n\n";
    if (!pairs.empty()) {
        md << "Medians: wet " << fmt("%.1f", pairs.front().levels.wetLufs[0] - pairs.front().wetFromMedian[0]) << ", "
           << fmt("%.1f", pairs.front().levels.wetLufs[1] - pairs.front().wetFromMedian[1]) << ", "
           << fmt("%.1f LUFS", pairs.front().levels.wetLufs[2] - pairs.front().wetFromMedian[2]) << "; dry alone "
           << fmt("%.1f", pairs.front().levels.dryLufs[0]) << ", " << fmt("%.1f", pairs.front().levels.dryLufs[1])
           << ", " << fmt("%.1f LUFS", pairs.front().levels.dryLufs[2]) << " (pink, speech, drums).\n\n";
    }
    md << "| Pair | Wet pink LU | Wet speech LU | Wet drums LU | Pass | Default pink LU | Default speech LU | "
          "Default drums LU | Pass | Drum peak dBFS | Pass |\n|---|---|---|---|---|---|---|---|---|---|---|\n";
    for (const PairOutcome& p : pairs) {
        bool wetOk = true, mixOk = true;
        md << "| " << p.name;
        for (double d : p.wetFromMedian) {
            md << " | " << fmt("%+.1f", d);
            wetOk = wetOk && std::fabs(d) <= 2.0;
        }
        md << " | " << passOrFail(true, wetOk);
        for (double d : p.mixFromMedian) {
            md << " | " << fmt("%+.1f", d);
            mixOk = mixOk && std::fabs(d) <= 1.0;
        }
        md << " | " << passOrFail(true, mixOk) << " | " << fmt("%.1f", p.levels.peakDbfs) << " | "
           << passOrFail(true, p.levels.peakDbfs < 0.0) << " |\n";
    }
    md << "\n";
}
}  // namespace

void writeReport(const std::string& outDir, const std::vector<Outcome>& outcomes, const std::vector<PairOutcome>& pairs) {
    writeFile((fs::path(outDir) / "report.png").string(), encodePng(overviewSheet(outcomes)));
    for (Kind k : kKinds) {
        const auto set = ofKind(outcomes, k);
        if (set.empty()) continue;
        writeFile((fs::path(outDir) / ("report-" + lowerKind(k) + ".png")).string(),
                  encodePng(responseSheet(k, set)));
    }

    std::ostringstream md;
    md << kReportIntro;
    writeSummary(md, outcomes);
    for (Kind k : kKinds) {
        const auto set = ofKind(outcomes, k);
        if (set.empty()) continue;
        writeKindTable(md, k, set);
    }
    writeLevels(md, pairs);
    std::size_t total = 0;
    for (const Outcome& o : outcomes) total += o.fileBytes;
    md << "Total size of the " << outcomes.size() << " files: " << fmt("%.1f", double(total) / 1e6) << " MB.\n";
    const std::string s = md.str();
    writeFile((fs::path(outDir) / "REPORT.md").string(), Bytes(s.begin(), s.end()));
}

}  // namespace irgen
