#include "DisplayStrips.h"

#include <algorithm>
#include <cmath>

void StripRows::include (float y0, float y1) noexcept
{
    top = juce::jmin (top, y0, y1);
    bottom = juce::jmax (bottom, y0, y1);
}

void clearStrips (std::vector<StripRows>& strips) noexcept
{
    for (auto& strip : strips)
        strip = {};
}

namespace
{
// Antialiasing lets a shape touch the pixel column on either side of its geometry.
constexpr float columnMargin = 1.0f;

/** The strip that holds column x, or a negative number left of the first. */
int stripOf (float x, int stripWidth) noexcept
{
    // Shifted right by many strips, so that truncation rounds down (and no library floor is called per edge).
    constexpr int shift = 1024;
    return (int) ((x + (float) (shift * stripWidth)) / (float) stripWidth) - shift;
}

/** The strips whose columns the span x0 .. x1 (x0 <= x1) can touch, clamped to the strips there are. */
juce::Range<int> stripsTouched (float x0, float x1, int stripWidth, int numStrips) noexcept
{
    const auto first = stripOf (juce::jmax (x0 - columnMargin, -1000.0f * (float) stripWidth), stripWidth);
    const auto last = stripOf (juce::jlimit (-1000.0f * (float) stripWidth, 1000.0f * (float) stripWidth, x1 + columnMargin),
                               stripWidth);
    return { juce::jmax (0, first), juce::jmin (numStrips - 1, last) + 1 };
}

float clampHeight (float y, float height) noexcept { return juce::jlimit (0.0f, height, y); }

/** A straight edge: in each strip it counts only with the part of it over that strip's columns. */
void addLine (juce::Point<float> a, juce::Point<float> b, int stripWidth, float height,
              std::vector<StripRows>& strips) noexcept
{
    if (b.x < a.x)
        std::swap (a, b);

    const auto touched = stripsTouched (a.x, b.x, stripWidth, (int) strips.size());

    // Most edges lie within one strip, and count whole there.
    if (touched.getLength() == 1)
    {
        strips[(size_t) touched.getStart()].include (clampHeight (juce::jmin (a.y, b.y), height),
                                                     clampHeight (juce::jmax (a.y, b.y), height));
        return;
    }

    const float slope = b.x > a.x ? (b.y - a.y) / (b.x - a.x) : 0.0f;

    for (int s = touched.getStart(); s < touched.getEnd(); ++s)
    {
        float y0 = a.y, y1 = b.y;

        if (b.x > a.x)
        {
            const float x0 = juce::jmax (a.x, (float) (s * stripWidth) - columnMargin);
            const float x1 = juce::jmin (b.x, (float) ((s + 1) * stripWidth) + columnMargin);
            y0 = a.y + slope * (x0 - a.x);
            y1 = a.y + slope * (x1 - a.x);
        }

        // A margin of a pixel covers the rounding of the interpolation.
        strips[(size_t) s].include (clampHeight (juce::jmin (y0, y1) - 1.0f, height),
                                    clampHeight (juce::jmax (y0, y1) + 1.0f, height));
    }
}

/** A curved edge, by the box around its start, control and end points, which holds the whole curve. */
void addHull (std::initializer_list<juce::Point<float>> points, int stripWidth, float height,
              std::vector<StripRows>& strips) noexcept
{
    auto low = *points.begin(), high = low;

    for (const auto& p : points)
    {
        low = { juce::jmin (low.x, p.x), juce::jmin (low.y, p.y) };
        high = { juce::jmax (high.x, p.x), juce::jmax (high.y, p.y) };
    }

    const auto touched = stripsTouched (low.x, high.x, stripWidth, (int) strips.size());

    for (int s = touched.getStart(); s < touched.getEnd(); ++s)
        strips[(size_t) s].include (clampHeight (low.y, height), clampHeight (high.y, height));
}
} // namespace

void addPathToStrips (const juce::Path& path, int stripWidth, float height, bool withImplicitClose,
                      std::vector<StripRows>& strips) noexcept
{
    juce::Path::Iterator it (path);
    juce::Point<float> start, current;
    bool open = false;

    const auto closeOpenSubPath = [&]
    {
        if (open && withImplicitClose)
            addLine (current, start, stripWidth, height, strips);

        open = false;
    };

    while (it.next())
    {
        const juce::Point<float> p1 (it.x1, it.y1);

        switch (it.elementType)
        {
            case juce::Path::Iterator::startNewSubPath:
                closeOpenSubPath();
                start = current = p1;
                open = true;
                break;

            case juce::Path::Iterator::lineTo:
                addLine (current, p1, stripWidth, height, strips);
                current = p1;
                break;

            case juce::Path::Iterator::quadraticTo:
            {
                const juce::Point<float> p2 (it.x2, it.y2);
                addHull ({ current, p1, p2 }, stripWidth, height, strips);
                current = p2;
                break;
            }

            case juce::Path::Iterator::cubicTo:
            {
                const juce::Point<float> p2 (it.x2, it.y2), p3 (it.x3, it.y3);
                addHull ({ current, p1, p2, p3 }, stripWidth, height, strips);
                current = p3;
                break;
            }

            case juce::Path::Iterator::closePath:
                addLine (current, start, stripWidth, height, strips);
                current = start;
                open = false;
                break;
        }
    }

    closeOpenSubPath();
}

void addRoundedPolylineToStrips (const float* x, const float* y, int numPoints, int stripWidth, float height,
                                 float reach, std::vector<StripRows>& strips) noexcept
{
    const int numStrips = (int) strips.size();

    for (int i = 0; i < numPoints; ++i)
    {
        const auto touched = stripsTouched (x[juce::jmax (0, i - 2)] - reach, x[juce::jmin (numPoints - 1, i + 2)] + reach,
                                            stripWidth, numStrips);
        const float top = clampHeight (y[i] - reach, height);
        const float bottom = clampHeight (y[i] + reach, height);

        for (int s = touched.getStart(); s < touched.getEnd(); ++s)
            strips[(size_t) s].include (top, bottom);
    }
}

int stripRectangles (const std::vector<StripRows>& strips, int stripWidth, int width, int height, int maxRectangles,
                     juce::Rectangle<int>* out) noexcept
{
    int count = 0;

    for (size_t s = 0; s < strips.size(); ++s)
    {
        const auto& strip = strips[s];

        if (strip.isEmpty())
            continue;

        const int top = juce::jmax (0, (int) std::floor (strip.top) - 1);
        const int bottom = juce::jmin (height, (int) std::floor (strip.bottom) + 2);
        const int left = (int) s * stripWidth;
        const int right = juce::jmin (width, left + stripWidth);

        if (top < bottom && left < right)
            out[count++] = { left, top, right - left, bottom - top };
    }

    const auto area = [] (juce::Rectangle<int> r) { return (juce::int64) r.getWidth() * r.getHeight(); };

    // Merges the neighbours whose merging adds the least area, while that adds none or there are too many.
    while (count > 1)
    {
        int best = 0;
        juce::int64 bestGrowth = 0;

        for (int i = 0; i + 1 < count; ++i)
        {
            const auto growth = area (out[i].getUnion (out[i + 1])) - area (out[i]) - area (out[i + 1]);

            if (i == 0 || growth < bestGrowth)
            {
                best = i;
                bestGrowth = growth;
            }
        }

        if (count <= maxRectangles && bestGrowth > 0)
            break;

        out[best] = out[best].getUnion (out[best + 1]);
        std::copy (out + best + 2, out + count, out + best + 1);
        --count;
    }

    return count;
}

void drawImagePart (juce::Graphics& g, const juce::Image& image, juce::Point<int> imageOrigin, juce::Rectangle<int> area)
{
    const auto source = (area + imageOrigin).getIntersection (image.getBounds());
    const auto target = source - imageOrigin;

    if (! source.isEmpty() && g.clipRegionIntersects (target))
        g.drawImageAt (image.getClippedImage (source), target.getX(), target.getY());
}
