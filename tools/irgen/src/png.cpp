#include "png.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <zlib.h>

namespace irgen {

namespace {
// 5x7 glyphs for ' ' .. 'Z', one byte per row, bit 4 is the left column.
const std::uint8_t kFont[59][7] = {
    {0, 0, 0, 0, 0, 0, 0},                                // space
    {0x04, 0x04, 0x04, 0x04, 0x04, 0x00, 0x04},          // !
    {0x0A, 0x0A, 0, 0, 0, 0, 0},                          // "
    {0x0A, 0x1F, 0x0A, 0x0A, 0x0A, 0x1F, 0x0A},          // #
    {0x04, 0x0F, 0x14, 0x0E, 0x05, 0x1E, 0x04},          // $
    {0x18, 0x19, 0x02, 0x04, 0x08, 0x13, 0x03},          // %
    {0x0C, 0x12, 0x14, 0x08, 0x15, 0x12, 0x0D},          // &
    {0x04, 0x04, 0, 0, 0, 0, 0},                          // '
    {0x02, 0x04, 0x08, 0x08, 0x08, 0x04, 0x02},          // (
    {0x08, 0x04, 0x02, 0x02, 0x02, 0x04, 0x08},          // )
    {0x00, 0x04, 0x15, 0x0E, 0x15, 0x04, 0x00},          // *
    {0x00, 0x04, 0x04, 0x1F, 0x04, 0x04, 0x00},          // +
    {0x00, 0x00, 0x00, 0x00, 0x0C, 0x04, 0x08},          // ,
    {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00},          // -
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C},          // .
    {0x00, 0x01, 0x02, 0x04, 0x08, 0x10, 0x00},          // /
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E},          // 0
    {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},          // 1
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F},          // 2
    {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},          // 3
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02},          // 4
    {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},          // 5
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E},          // 6
    {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},          // 7
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E},          // 8
    {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},          // 9
    {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00},          // :
    {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x04, 0x08},          // ;
    {0x02, 0x04, 0x08, 0x10, 0x08, 0x04, 0x02},          // <
    {0x00, 0x00, 0x1F, 0x00, 0x1F, 0x00, 0x00},          // =
    {0x08, 0x04, 0x02, 0x01, 0x02, 0x04, 0x08},          // >
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x00, 0x04},          // ?
    {0x0E, 0x11, 0x01, 0x0D, 0x15, 0x15, 0x0E},          // @
    {0x0E, 0x11, 0x11, 0x11, 0x1F, 0x11, 0x11},          // A
    {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E},          // B
    {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E},          // C
    {0x1C, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1C},          // D
    {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F},          // E
    {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10},          // F
    {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F},          // G
    {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11},          // H
    {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E},          // I
    {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C},          // J
    {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11},          // K
    {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F},          // L
    {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11},          // M
    {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11},          // N
    {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E},          // O
    {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10},          // P
    {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D},          // Q
    {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11},          // R
    {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E},          // S
    {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04},          // T
    {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E},          // U
    {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04},          // V
    {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A},          // W
    {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11},          // X
    {0x11, 0x11, 0x11, 0x0A, 0x04, 0x04, 0x04},          // Y
    {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F},          // Z
};

void putBe32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) b.push_back(std::uint8_t(v >> s));
}

void chunk(std::vector<std::uint8_t>& out, const char* type, const std::vector<std::uint8_t>& data) {
    putBe32(out, std::uint32_t(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    const uLong crc = crc32(0L, out.data() + start, uInt(out.size() - start));
    putBe32(out, std::uint32_t(crc));
}
}  // namespace

Image::Image(int width, int height, Rgb bg) : w_(width), h_(height), px_(std::size_t(width) * height * 3) {
    for (std::size_t i = 0; i < px_.size(); i += 3) {
        px_[i] = bg.r;
        px_[i + 1] = bg.g;
        px_[i + 2] = bg.b;
    }
}

void Image::set(int x, int y, Rgb c) {
    if (x < 0 || y < 0 || x >= w_ || y >= h_) return;
    const std::size_t i = (std::size_t(y) * w_ + x) * 3;
    px_[i] = c.r;
    px_[i + 1] = c.g;
    px_[i + 2] = c.b;
}

Rgb Image::get(int x, int y) const {
    if (x < 0 || y < 0 || x >= w_ || y >= h_) return {};
    const std::size_t i = (std::size_t(y) * w_ + x) * 3;
    return {px_[i], px_[i + 1], px_[i + 2]};
}

void Image::fillRect(int x, int y, int w, int h, Rgb c) {
    for (int yy = y; yy < y + h; ++yy)
        for (int xx = x; xx < x + w; ++xx) set(xx, yy, c);
}

void Image::rect(int x, int y, int w, int h, Rgb c) {
    for (int xx = x; xx < x + w; ++xx) {
        set(xx, y, c);
        set(xx, y + h - 1, c);
    }
    for (int yy = y; yy < y + h; ++yy) {
        set(x, yy, c);
        set(x + w - 1, yy, c);
    }
}

void Image::line(double x0, double y0, double x1, double y1, Rgb c, int thickness) {
    const double len = std::max(std::fabs(x1 - x0), std::fabs(y1 - y0));
    const int steps = std::max(1, int(std::ceil(len)));
    for (int i = 0; i <= steps; ++i) {
        const double t = double(i) / steps;
        const int x = int(std::lround(x0 + (x1 - x0) * t)), y = int(std::lround(y0 + (y1 - y0) * t));
        for (int dy = 0; dy < thickness; ++dy)
            for (int dx = 0; dx < thickness; ++dx) set(x + dx - thickness / 2, y + dy - thickness / 2, c);
    }
}

int Image::text(int x, int y, const std::string& s, Rgb c, int scale) {
    int cx = x;
    for (char ch : s) {
        if (ch >= 'a' && ch <= 'z') ch = char(ch - 'a' + 'A');
        if (ch < ' ' || ch > 'Z') ch = '?';
        const std::uint8_t* g = kFont[ch - ' '];
        for (int row = 0; row < 7; ++row)
            for (int col = 0; col < 5; ++col)
                if (g[row] & (0x10 >> col)) fillRect(cx + col * scale, y + row * scale, scale, scale, c);
        cx += 6 * scale;
    }
    return cx - x;
}

std::vector<std::uint8_t> encodePng(const Image& img) {
    const int w = img.width(), h = img.height();
    std::vector<std::uint8_t> raw;
    raw.reserve(std::size_t(h) * (std::size_t(w) * 3 + 1));
    const auto& px = img.pixels();
    for (int y = 0; y < h; ++y) {
        raw.push_back(0);  // filter: none
        raw.insert(raw.end(), px.begin() + std::ptrdiff_t(std::size_t(y) * w * 3),
                   px.begin() + std::ptrdiff_t(std::size_t(y + 1) * w * 3));
    }
    uLongf zlen = compressBound(uLong(raw.size()));
    std::vector<std::uint8_t> z(zlen);
    if (compress2(z.data(), &zlen, raw.data(), uLong(raw.size()), 9) != Z_OK)
        throw std::runtime_error("zlib compression failed");
    z.resize(zlen);

    std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> ihdr;
    putBe32(ihdr, std::uint32_t(w));
    putBe32(ihdr, std::uint32_t(h));
    ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});  // 8-bit, truecolour, deflate, filter 0, no interlace
    chunk(out, "IHDR", ihdr);
    chunk(out, "IDAT", z);
    chunk(out, "IEND", {});
    return out;
}

Rgb heatColour(double t) {
    static const double stops[][3] = {{0, 0, 4},       {40, 11, 84},    {101, 21, 110}, {159, 42, 99},
                                      {212, 72, 66},   {245, 125, 21},  {250, 193, 39}, {252, 255, 164}};
    t = std::clamp(t, 0.0, 1.0) * 7.0;
    const int i = std::min(6, int(t));
    const double f = t - i;
    auto mixc = [&](int k) { return std::uint8_t(std::lround(stops[i][k] * (1 - f) + stops[i + 1][k] * f)); };
    return {mixc(0), mixc(1), mixc(2)};
}

}  // namespace irgen
