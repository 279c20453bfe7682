#include "Artwork.h"

#include <cmath>
#include <vector>

namespace artwork
{
namespace
{
    /** Value noise on a lattice that wraps around, so the result tiles with the period of the image. */
    class TilingNoise
    {
    public:
        TilingNoise (int cellsX, int cellsY, juce::Random& random)
            : nx (cellsX), ny (cellsY), values ((size_t) (cellsX * cellsY))
        {
            for (auto& v : values)
                v = random.nextFloat() * 2.0f - 1.0f;
        }

        /** u and v in [0, 1): one period of the pattern. */
        float at (float u, float v) const
        {
            const auto fx = u * (float) nx;
            const auto fy = v * (float) ny;
            const auto x0 = (int) std::floor (fx);
            const auto y0 = (int) std::floor (fy);
            const auto tx = smooth (fx - (float) x0);
            const auto ty = smooth (fy - (float) y0);

            const auto top = juce::jmap (tx, lattice (x0, y0), lattice (x0 + 1, y0));
            const auto bottom = juce::jmap (tx, lattice (x0, y0 + 1), lattice (x0 + 1, y0 + 1));
            return juce::jmap (ty, top, bottom);
        }

    private:
        static float smooth (float t) { return t * t * (3.0f - 2.0f * t); }

        float lattice (int x, int y) const
        {
            x = ((x % nx) + nx) % nx;
            y = ((y % ny) + ny) % ny;
            return values[(size_t) (y * nx + x)];
        }

        int nx, ny;
        std::vector<float> values;
    };
} // namespace

juce::Image drawTexture()
{
    constexpr int size = 200;
    juce::Image image (juce::Image::RGB, size, size, true);
    juce::Random random (0x5e11a);

    // Cloudy variation at a few scales, fine brushed streaks along x, and a per-pixel grain.
    const TilingNoise coarse (4, 4, random), medium (10, 10, random), fine (40, 40, random);
    const TilingNoise streaks (5, 100, random), hairlines (2, 200, random);

    juce::Image::BitmapData data (image, juce::Image::BitmapData::writeOnly);

    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
        {
            const auto u = (float) x / (float) size;
            const auto v = (float) y / (float) size;
            const auto n = 5.0f * coarse.at (u, v) + 3.0f * medium.at (u, v) + 1.5f * fine.at (u, v) +
                           4.0f * streaks.at (u, v) + 2.5f * hairlines.at (u, v) + 3.0f * (random.nextFloat() - 0.5f);
            const auto level = 40.0f + n;

            data.setPixelColour (
                x, y,
                juce::Colour::fromFloatRGBA (level / 255.0f, (level + 1.0f) / 255.0f, (level + 2.5f) / 255.0f, 1.0f));
        }

    return image;
}

juce::Image drawTitle (juce::Typeface::Ptr typeface)
{
    juce::Image image (juce::Image::ARGB, 1000, 230, true);
    juce::Graphics g (image);
    const auto canvas = image.getBounds();

    // The emblem: an impulse dying away, as bars of falling height.
    juce::Path emblem;
    constexpr int bars = 6;

    for (int i = 0; i < bars; ++i)
    {
        const auto barHeight = 150.0f * std::exp (-0.38f * (float) i);
        const auto x = 24.0f + 22.0f * (float) i;
        emblem.addRoundedRectangle (x, 190.0f - barHeight, 13.0f, barHeight, 6.5f);
    }

    // The name, letter-spaced, fitted to the rest of the width.
    juce::Font font (typeface);
    font.setHeight (200.0f);
    font.setExtraKerningFactor (0.06f);

    juce::GlyphArrangement glyphs;
    glyphs.addLineOfText (font, "VELLUMAR", 0.0f, 0.0f);
    juce::Path name;
    glyphs.createPath (name);
    name.applyTransform (name.getTransformToScaleToFit (juce::Rectangle<float> (190.0f, 40.0f, 790.0f, 150.0f), true,
                                                        juce::Justification::centredLeft));

    juce::Path all (emblem);
    all.addPath (name);

    // Pressed into a light surface: a soft shadow under the letters, then the dark letters themselves.
    drawSoftShape (g, canvas, all, juce::Colours::white.withAlpha (0.55f), 1.5f, { 0.0f, 4.0f });
    drawSoftShape (g, canvas, all, juce::Colours::black.withAlpha (0.35f), 5.0f, { 0.0f, 5.0f });

    g.setGradientFill (verticalGradient (juce::Colour (0xFF0A6F7A), 40.0f, juce::Colour (0xFF043F46), 190.0f));
    g.fillPath (emblem);
    g.setGradientFill (verticalGradient (juce::Colour (0xFF30363A), 40.0f, juce::Colour (0xFF0E1112), 190.0f));
    g.fillPath (name);

    return image;
}
} // namespace artwork
