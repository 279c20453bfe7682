#include "Artwork.h"

#include <cmath>
#include <vector>

namespace artwork
{
void blur (juce::Image& mask, float sigma)
{
    jassert (mask.getFormat() == juce::Image::SingleChannel);

    if (sigma <= 0.0f)
        return;

    const auto radius = (int) std::ceil (3.0f * sigma);
    std::vector<float> kernel ((size_t) (2 * radius + 1));
    auto sum = 0.0f;

    for (int i = -radius; i <= radius; ++i)
        sum += kernel[(size_t) (i + radius)] = std::exp (-0.5f * (float) (i * i) / (sigma * sigma));

    for (auto& k : kernel)
        k /= sum;

    const auto w = mask.getWidth();
    const auto h = mask.getHeight();
    std::vector<float> source ((size_t) (w * h)), temp ((size_t) (w * h));

    juce::Image::BitmapData data (mask, juce::Image::BitmapData::readWrite);

    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            source[(size_t) (y * w + x)] = (float) *data.getPixelPointer (x, y);

    // Separable: rows, then columns. Outside the image counts as empty.
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
        {
            auto acc = 0.0f;

            for (int i = -radius; i <= radius; ++i)
                if (x + i >= 0 && x + i < w)
                    acc += kernel[(size_t) (i + radius)] * source[(size_t) (y * w + x + i)];

            temp[(size_t) (y * w + x)] = acc;
        }

    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
        {
            auto acc = 0.0f;

            for (int i = -radius; i <= radius; ++i)
                if (y + i >= 0 && y + i < h)
                    acc += kernel[(size_t) (i + radius)] * temp[(size_t) ((y + i) * w + x)];

            *data.getPixelPointer (x, y) = (juce::uint8) juce::jlimit (0, 255, juce::roundToInt (acc));
        }
}

void drawSoftShape (juce::Graphics& g, juce::Rectangle<int> canvas, const juce::Path& path, juce::Colour colour,
                    float sigma, juce::Point<float> offset)
{
    juce::Image mask (juce::Image::SingleChannel, canvas.getWidth(), canvas.getHeight(), true);

    {
        juce::Graphics mg (mask);
        mg.setColour (juce::Colours::white);
        mg.fillPath (path, juce::AffineTransform::translation (offset.x - (float) canvas.getX(),
                                                               offset.y - (float) canvas.getY()));
    }

    blur (mask, sigma);
    g.setColour (colour);
    g.drawImageAt (mask, canvas.getX(), canvas.getY(), true);
}

void drawGlow (juce::Graphics& g, juce::Rectangle<int> canvas, const juce::Path& outline, float strokeWidth,
               juce::Colour colour, float sigma)
{
    juce::Path stroke;
    juce::PathStrokeType (strokeWidth, juce::PathStrokeType::curved, juce::PathStrokeType::rounded)
        .createStrokedPath (stroke, outline);
    drawSoftShape (g, canvas, stroke, colour, sigma);
}

juce::ColourGradient verticalGradient (juce::Colour top, float topY, juce::Colour bottom, float bottomY)
{
    return juce::ColourGradient (top, 0.0f, topY, bottom, 0.0f, bottomY, false);
}

juce::Path makePill (juce::Rectangle<float> area)
{
    juce::Path p;

    if (area.getWidth() == area.getHeight())
        p.addEllipse (area);
    else
        p.addRoundedRectangle (area, 0.5f * juce::jmin (area.getWidth(), area.getHeight()));

    return p;
}
} // namespace artwork
