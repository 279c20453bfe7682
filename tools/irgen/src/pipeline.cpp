#include "pipeline.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

namespace irgen {

namespace fs = std::filesystem;

std::string softwareTag() { return "vellumar-irgen, LAME 3.100 320 kbit/s CBR stereo"; }

namespace {
// Encodes through lame and decodes the result again to verify it; lowers the
// gain and retries when the decoded signal would clip.
void encodeAndVerify(const IrSpec& spec, Stereo ir, const PipelineOptions& opt, Outcome& out) {
    const std::string stem = (fs::path(opt.tempDir) / spec.name).string();
    const std::string wav = stem + ".wav", raw = stem + ".lame.mp3", dec = stem + ".decoded.wav";
    Bytes mp3;
    for (int attempt = 1; attempt <= 4; ++attempt) {
        out.encodeAttempts = attempt;
        writeFile(wav, wavBytes24(ir));
        if (runProgram({"lame", "--quiet", "--noreplaygain", "-b", "320", "--cbr", "-m", "s", "-q", "2",
                        wav, raw}) != 0) {
            out.problems.push_back("lame failed to encode");
            return;
        }
        if (runProgram({"lame", "--quiet", "--decode", raw, dec}) != 0) {
            out.problems.push_back("lame failed to decode");
            return;
        }
        const Stereo d = parseWav(readFile(dec));
        double peak = 0.0;
        for (std::size_t i = 0; i < d.size(); ++i) peak = std::max({peak, std::fabs(d.l[i]), std::fabs(d.r[i])});
        out.decodedSamples = d.size();
        out.decodedPeakDb = gainToDb(peak);
        mp3 = readFile(raw);
        if (out.decodedPeakDb < -0.1) break;
        // Pull the level down by the overshoot plus a margin and encode again.
        const double g = dbToGain(-0.3 - (out.decodedPeakDb + 0.1));
        for (std::size_t i = 0; i < ir.size(); ++i) {
            ir.l[i] *= g;
            ir.r[i] *= g;
        }
    }
    fs::remove(wav);
    fs::remove(raw);
    fs::remove(dec);
    if (out.decodedPeakDb >= -0.1) out.problems.push_back("decoded signal reaches full scale");

    Bytes file = id3v24Tag(spec.name, softwareTag());
    const Bytes audio = stripId3v2(mp3);
    file.insert(file.end(), audio.begin(), audio.end());
    writeFile((fs::path(opt.outDir) / (spec.name + ".mp3")).string(), file);
    out.fileBytes = file.size();
    out.scan = scanMpeg(file);
    out.encoded = true;

    const MpegScan& s = out.scan;
    if (!s.error.empty()) out.problems.push_back("stream: " + s.error);
    if (s.id3Major != 4) out.problems.push_back("no leading ID3v2.4 tag");
    if (!s.allMpeg1Layer3 || !s.all320 || !s.all44100 || !s.allStereo)
        out.problems.push_back("frames are not all MPEG-1 Layer III 320 kbit/s 44.1 kHz stereo");
    if (s.audioFrames != spec.frames)
        out.problems.push_back("has " + std::to_string(s.audioFrames) + " audio frames, wanted " +
                               std::to_string(spec.frames));
    if (out.decodedSamples != out.samples)
        out.problems.push_back("decodes to " + std::to_string(out.decodedSamples) + " samples, wanted " +
                               std::to_string(out.samples));
}
}  // namespace

Outcome produce(const IrSpec& spec, const PipelineOptions& opt) {
    Outcome out;
    out.spec = &spec;
    out.samples = samplesForFrames(spec.frames);
    Rendered r = renderSpec(spec, out.samples);
    out.modelNote = r.modelNote;
    if (opt.levelMatch) out.shelf = voiceForLoudness(r.ir);
    finalizeResponse(r.ir, opt.peakDb);
    out.loudnessDb = wetLoudnessMean(r.ir);
    out.played = atDefaultDecay(r.ir);
    out.analysis = analyze(r.ir);

    const double secs = double(out.samples) / kSampleRate;
    out.overview = spectrogram(r.ir.l, secs, true, 40.0, 20000.0, 360, 150);
    if (spec.kind == Kind::Spring)
        out.detail = spectrogram(r.ir.l, 1.0, false, 0.0, 8000.0, 360, 150, 512);
    else if (spec.kind == Kind::Space)
        out.detail = spectrogram(r.ir.l, 2.0, false, 0.0, 12000.0, 360, 150, 1024);

    if (spec.kind == Kind::Room || spec.kind == Kind::Hall || spec.kind == Kind::Plate) {
        out.echogramSeconds = spec.kind == Kind::Hall ? 0.4 : spec.kind == Kind::Room ? 0.15 : 0.1;
        const std::size_t cols = 360;
        const std::size_t span = std::size_t(out.echogramSeconds * kSampleRate);
        double peak = 0.0;
        for (std::size_t i = 0; i < out.samples; ++i) peak = std::max(peak, std::fabs(r.ir.l[i]));
        for (std::size_t c = 0; c < cols; ++c) {
            double m = 0.0;
            for (std::size_t i = c * span / cols; i < (c + 1) * span / cols && i < out.samples; ++i)
                m = std::max(m, std::fabs(r.ir.l[i]));
            out.echogram.push_back(float(std::max(-200.0, gainToDb(m / peak))));
        }
    }

    const Analysis& a = out.analysis;
    if (a.onsetDb < -30.0) out.problems.push_back("silent start");
    if (a.dcRatio > 1e-3) out.problems.push_back("DC offset");
    if (std::fabs(a.correlation) > 0.5) out.problems.push_back("left and right too similar");
    // A space may be shorter than its decay (the short B files): its closing fade starts higher.
    if (a.endDb > (spec.kind == Kind::Space ? -25.0 : -40.0)) out.problems.push_back("does not decay towards silence");
    if (opt.encode) encodeAndVerify(spec, std::move(r.ir), opt, out);
    return out;
}

std::vector<PairOutcome> measurePairs(const std::vector<Outcome>& outcomes) {
    std::vector<PairOutcome> pairs;
    for (const Outcome& a : outcomes) {
        if (!a.spec || a.spec->name.back() != 'A' || a.played.size() == 0) continue;
        const std::string stem = a.spec->name.substr(0, a.spec->name.size() - 1);
        for (const Outcome& b : outcomes)
            if (b.spec && b.spec->name == stem + "B" && b.played.size() > 0)
                pairs.push_back({stem, measurePair(a.played, b.played), {}, {}});
    }
    for (std::size_t p = 0; p < 3 && !pairs.empty(); ++p) {
        auto median = [&](auto field) {
            std::vector<double> v;
            for (const auto& q : pairs) v.push_back(field(q));
            std::sort(v.begin(), v.end());
            return v.size() % 2 ? v[v.size() / 2] : 0.5 * (v[v.size() / 2 - 1] + v[v.size() / 2]);
        };
        const double wet = median([p](const PairOutcome& q) { return q.levels.wetLufs[p]; });
        const double mix = median([p](const PairOutcome& q) { return q.levels.mixLufs[p]; });
        for (auto& q : pairs) {
            q.wetFromMedian[p] = q.levels.wetLufs[p] - wet;
            q.mixFromMedian[p] = q.levels.mixLufs[p] - mix;
        }
    }
    return pairs;
}

}  // namespace irgen
