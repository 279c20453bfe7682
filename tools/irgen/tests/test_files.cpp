#include "check.hpp"

#include "catalog.hpp"
#include "encode.hpp"
#include "pipeline.hpp"
#include "png.hpp"
#include "report.hpp"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <unistd.h>
#include <zlib.h>

using namespace irgen;
namespace fs = std::filesystem;

TEST_CASE(frame_arithmetic_of_the_encoder) {
    for (std::size_t f : {2u, 130u, 347u}) {
        const std::size_t n = samplesForFrames(f);
        CHECK(lameAudioFrames(n) == f);
        CHECK(lameAudioFrames(n + 1) == f + 1);
        CHECK(lameAudioFrames(n - kSamplesPerFrame + 1) == f);
    }
}

TEST_CASE(wav_24bit_round_trip) {
    Stereo s(5);
    s.l = {0.0, 0.5, -0.5, 1.5, -1.5};
    s.r = {1.0 / 8388608.0, -0.25, 0.999, 0.0, 0.1};
    const Bytes b = wavBytes24(s);
    CHECK(b.size() == 44 + 5 * 6);
    CHECK(std::memcmp(b.data(), "RIFF", 4) == 0 && std::memcmp(b.data() + 36, "data", 4) == 0);
    CHECK(b[34] == 24 && b[22] == 2);
    double fs = 0;
    const Stereo back = parseWav(b, &fs);
    CHECK(fs == 44100.0 && back.size() == 5);
    CHECK_NEAR(back.l[1], 0.5, 1e-12);
    CHECK_NEAR(back.l[3], 8388607.0 / 8388608.0, 1e-12);  // clamped
    CHECK_NEAR(back.l[4], -1.0, 1e-12);
    CHECK_NEAR(back.r[0], 1.0 / 8388608.0, 1e-15);
    CHECK_NEAR(back.r[2], 0.999, 1.0 / 8388608.0);
}

TEST_CASE(id3v24_tag_layout) {
    const Bytes tag = id3v24Tag("Plate1A", "tool");
    CHECK(tag[0] == 'I' && tag[1] == 'D' && tag[2] == '3' && tag[3] == 4 && tag[4] == 0 && tag[5] == 0);
    // Body: two frames of 10 header bytes plus encoding byte plus text.
    const std::size_t body = (10 + 1 + 7) + (10 + 1 + 4);
    CHECK(tag.size() == 10 + body);
    CHECK(tag[6] == 0 && tag[7] == 0 && tag[8] == 0 && tag[9] == body);
    CHECK(std::memcmp(&tag[10], "TIT2", 4) == 0);
    CHECK(tag[17] == 8 && tag[20] == 3);  // syncsafe size 8, UTF-8
    CHECK(std::memcmp(&tag[21], "Plate1A", 7) == 0);
    // Sizes above 127 are syncsafe: 7 bits per byte.
    const Bytes big = id3v24Tag(std::string(200, 'x'), "t");
    const std::size_t frameSize = 201;
    CHECK(big[14] == 0 && big[15] == 0 && big[16] == (frameSize >> 7) && big[17] == (frameSize & 0x7F));
    Bytes file = tag;
    file.push_back(0xFF);
    file.push_back(0xFB);
    const Bytes stripped = stripId3v2(file);
    CHECK(stripped.size() == 2 && stripped[0] == 0xFF);
}

namespace {
// One MPEG-1 Layer III 44.1 kHz frame with the given bitrate index and mode.
Bytes frame(int brIdx, int mode, bool pad, const char* marker = nullptr) {
    static const int br[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    const std::size_t len = std::size_t(144 * br[brIdx] * 1000 / 44100 + (pad ? 1 : 0));
    Bytes f(len, 0);
    f[0] = 0xFF;
    f[1] = 0xFB;
    f[2] = std::uint8_t((brIdx << 4) | (pad ? 2 : 0));
    f[3] = std::uint8_t(mode << 6);
    if (marker) std::memcpy(&f[36], marker, 4);
    return f;
}
void append(Bytes& a, const Bytes& b) { a.insert(a.end(), b.begin(), b.end()); }
}  // namespace

TEST_CASE(mpeg_scan_counts_audio_frames) {
    Bytes s = id3v24Tag("x", "y");
    append(s, frame(14, 0, false, "Info"));
    for (int i = 0; i < 5; ++i) append(s, frame(14, 0, i % 2 == 1));
    MpegScan r = scanMpeg(s);
    CHECK(r.error.empty());
    CHECK(r.id3Major == 4 && r.id3Size == id3v24Tag("x", "y").size());
    CHECK(r.infoFrame && r.audioFrames == 5);
    CHECK(r.allStereo && r.all320 && r.all44100 && r.allMpeg1Layer3);
    // Joint stereo and a lower bitrate are noticed.
    Bytes j = frame(14, 0, false, "Xing");
    append(j, frame(14, 1, false));
    append(j, frame(9, 0, false));
    r = scanMpeg(j);
    CHECK(r.audioFrames == 2 && !r.allStereo && !r.all320 && r.id3Size == 0);
    // Garbage and truncation are errors.
    Bytes g = frame(14, 0, false);
    g.push_back(0x12);
    g.push_back(0x34);
    g.push_back(0x56);
    g.push_back(0x78);
    CHECK(!scanMpeg(g).error.empty());
    Bytes t = frame(14, 0, false);
    t.resize(t.size() / 2);
    CHECK(!scanMpeg(t).error.empty());
}

TEST_CASE(png_is_valid_and_holds_the_pixels) {
    Image img(7, 3, {10, 20, 30});
    img.set(2, 1, {255, 0, 128});
    img.text(0, 0, "A", {1, 2, 3});
    const Bytes png = encodePng(img);
    const std::uint8_t sig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    CHECK(std::memcmp(png.data(), sig, 8) == 0);
    // Walk the chunks, verify every CRC and collect IDAT.
    std::size_t at = 8;
    Bytes idat;
    std::vector<std::string> order;
    auto be32 = [&](std::size_t p) {
        return (std::uint32_t(png[p]) << 24) | (std::uint32_t(png[p + 1]) << 16) | (std::uint32_t(png[p + 2]) << 8) |
               std::uint32_t(png[p + 3]);
    };
    while (at < png.size()) {
        const std::uint32_t len = be32(at);
        const std::string type(reinterpret_cast<const char*>(&png[at + 4]), 4);
        order.push_back(type);
        CHECK(be32(at + 8 + len) == std::uint32_t(crc32(0L, &png[at + 4], uInt(len + 4))));
        if (type == "IHDR") {
            CHECK(be32(at + 8) == 7 && be32(at + 12) == 3);
            CHECK(png[at + 16] == 8 && png[at + 17] == 2 && png[at + 18] == 0 && png[at + 19] == 0 &&
                  png[at + 20] == 0);
        }
        if (type == "IDAT") idat.insert(idat.end(), &png[at + 8], &png[at + 8 + len]);
        at += 12 + len;
    }
    CHECK((order == std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
    Bytes raw(3 * (1 + 7 * 3));
    uLongf rawLen = uLongf(raw.size());
    CHECK(uncompress(raw.data(), &rawLen, idat.data(), uLong(idat.size())) == Z_OK);
    CHECK(rawLen == raw.size());
    for (int y = 0; y < 3; ++y) CHECK(raw[std::size_t(y) * 22] == 0);  // filter type 0
    const std::size_t p = 1 * 22 + 1 + 2 * 3;
    CHECK(raw[p] == 255 && raw[p + 1] == 0 && raw[p + 2] == 128);
    CHECK(raw[1 + 4 * 3] == 10);  // column 4 of row 0 is outside the glyph
    CHECK(raw[1 + 0 * 3] == 10);  // the top-left pixel of 'A' is empty
    CHECK(raw[1 + 1 * 3] == 1);   // its top row starts at column 1
}

TEST_CASE(encoded_file_meets_the_format) {
    if (runProgram({"lame", "--version"}) != 0) throw irgen_test::Skip{"lame is not installed"};
    const fs::path dir = fs::temp_directory_path() / ("irgen-test-" + std::to_string(::getpid()));
    fs::create_directories(dir / "tmp");
    const auto specs = catalog();
    IrSpec spec = *std::find_if(specs.begin(), specs.end(), [](const IrSpec& s) { return s.kind == Kind::Space; });
    // Cut short so the test stays quick.
    spec.name = "TestA";
    spec.frames = 40;
    spec.space.t60 = {0.5, 0.5, 0.5, 0.5, 0.4, 0.3, 0.2, 0.1};
    PipelineOptions opt;
    opt.outDir = dir.string();
    opt.tempDir = (dir / "tmp").string();
    const Outcome first = produce(spec, opt);
    const Bytes a = readFile((dir / "TestA.mp3").string());
    const Outcome second = produce(spec, opt);
    const Bytes b = readFile((dir / "TestA.mp3").string());
    fs::remove_all(dir);
    for (const auto& p : first.problems) throw irgen_test::Failure{"pipeline: " + p};
    CHECK(a == b);  // regeneration is byte-identical
    CHECK(first.scan.audioFrames == 40 && first.scan.infoFrame && first.scan.id3Major == 4);
    CHECK(first.scan.allStereo && first.scan.all320 && first.scan.all44100);
    CHECK(first.decodedSamples == samplesForFrames(40));
    CHECK(first.decodedPeakDb < -0.1 && first.decodedPeakDb > -2.0);
    CHECK(a[0] == 'I' && a[1] == 'D' && a[2] == '3' && a[3] == 4 && a[4] == 0);
    CHECK(second.problems.empty());
}

TEST_CASE(report_sheet_draws_every_response) {
    // Two fake outcomes are enough to exercise layout and drawing.
    const auto specs = catalog();
    std::vector<Outcome> outs(2);
    for (int i = 0; i < 2; ++i) {
        outs[std::size_t(i)].spec = &specs[std::size_t(i)];
        outs[std::size_t(i)].overview.cols = 360;
        outs[std::size_t(i)].overview.rows = 150;
        outs[std::size_t(i)].overview.seconds = 1;
        outs[std::size_t(i)].overview.minHz = 40;
        outs[std::size_t(i)].overview.maxHz = 20000;
        outs[std::size_t(i)].overview.db.assign(360 * 150, float(-40 * i));
        outs[std::size_t(i)].analysis.edcDb = {0.0f, -30.0f, -90.0f};
        outs[std::size_t(i)].echogram.assign(360, -10.0f);
        outs[std::size_t(i)].echogramSeconds = 0.1;
    }
    const Image sheet = responseSheet(Kind::Plate, {&outs[0], &outs[1]});
    CHECK(sheet.width() > 1000 && sheet.height() > 150);
    const Image overview = overviewSheet(outs);
    CHECK(overview.width() > 1000);
}
