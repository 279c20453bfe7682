#pragma once

#include <juce_graphics/juce_graphics.h>

#include <vector>

/** The rows that shapes reach in one vertical strip of a display: strip i holds the pixel columns from
    i * stripWidth up to (i + 1) * stripWidth. Empty while top > bottom.

    The displays use these to repaint, and to copy their cached layers, only where something is: in a strip, a filled
    shape covers nothing above or below the highest and lowest points of its outline there. */
struct StripRows
{
    float top = 1.0e9f;
    float bottom = -1.0e9f;

    void include (float y0, float y1) noexcept;
    bool isEmpty() const noexcept { return top > bottom; }
};

/** Empties every strip. */
void clearStrips (std::vector<StripRows>& strips) noexcept;

/** Widens the strips to what the outline of `path` reaches in each, with the heights clamped to 0 .. `height`.
    Curved segments count with their control points. Without `withImplicitClose`, the line that a fill adds from
    the end of an open subpath back to its start is left out. */
void addPathToStrips (const juce::Path& path, int stripWidth, float height, bool withImplicitClose,
                      std::vector<StripRows>& strips) noexcept;

/** Widens the strips to a polyline's reach once its corners are rounded, without building it: a rounded corner
    stays within the triangle of its point and its two neighbours, so each point counts over the columns from two
    points before it to two points after it. `x` must increase along the points. With a `reach`, everything within
    that distance of the rounded polyline counts too, as a stroke around it would. */
void addRoundedPolylineToStrips (const float* x, const float* y, int numPoints, int stripWidth, float height,
                                 float reach, std::vector<StripRows>& strips) noexcept;

/** The strips as at most `maxRectangles` rectangles, with a pixel more above and below for antialiasing, within a
    `width` x `height` display: neighbours are merged where that adds the least area (the renderer's cost grows with
    the number of rectangles it clips to). Writes them to `out`, which has room for one per strip, and returns how
    many there are. Allocates nothing. */
int stripRectangles (const std::vector<StripRows>& strips, int stripWidth, int width, int height, int maxRectangles,
                     juce::Rectangle<int>* out) noexcept;

/** Draws what drawImageAt (image, -imageOrigin.x, -imageOrigin.y) clipped to `area` would draw, but hands the
    renderer only that part of the image: it then works over that area alone, not over the whole image. */
void drawImagePart (juce::Graphics& g, const juce::Image& image, juce::Point<int> imageOrigin, juce::Rectangle<int> area);
