// Small RGB canvas with a built-in 5x7 font, saved as PNG through zlib.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace irgen {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
};

class Image {
public:
    Image(int width, int height, Rgb background);
    int width() const { return w_; }
    int height() const { return h_; }
    void set(int x, int y, Rgb c);
    Rgb get(int x, int y) const;
    void fillRect(int x, int y, int w, int h, Rgb c);
    void rect(int x, int y, int w, int h, Rgb c);
    void line(double x0, double y0, double x1, double y1, Rgb c, int thickness = 1);
    // Upper-case text; lower-case letters are drawn as capitals. Returns the width.
    int text(int x, int y, const std::string& s, Rgb c, int scale = 1);
    static int textWidth(const std::string& s, int scale = 1) { return int(s.size()) * 6 * scale; }
    const std::vector<std::uint8_t>& pixels() const { return px_; }
private:
    int w_, h_;
    std::vector<std::uint8_t> px_;
};

// PNG, 8-bit RGB, no interlace, filter type 0 on every row.
std::vector<std::uint8_t> encodePng(const Image& img);

// Perceptual dark-to-bright colour scale for t in [0, 1].
Rgb heatColour(double t);

}  // namespace irgen
