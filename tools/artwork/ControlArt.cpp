#include "Artwork.h"

#include <cmath>

namespace artwork
{
namespace
{
    constexpr float knobCentre = 150.0f;
    constexpr float skirtRadius = 96.0f; // the knob's base
    constexpr float capRadius = 78.0f;   // tips of the scalloped cap
    constexpr float faceRadius = 62.0f;  // flat top of the cap, inside the flutes; the pointer turns on it

    juce::Path circle (float cx, float cy, float r)
    {
        juce::Path p;
        p.addEllipse (cx - r, cy - r, 2.0f * r, 2.0f * r);
        return p;
    }

    /** The cap's outline: a circle with evenly spaced rounded flutes cut into its edge. */
    juce::Path scallopedCap (float cx, float cy)
    {
        constexpr int flutes = 14;
        constexpr float depth = 9.0f;
        constexpr float spacing = juce::MathConstants<float>::twoPi / (float) flutes;
        constexpr float fluteWidth = 0.28f * spacing;
        constexpr int steps = 1400;

        juce::Path p;

        for (int i = 0; i <= steps; ++i)
        {
            const auto angle = juce::MathConstants<float>::twoPi * (float) i / (float) steps;
            auto phase = std::fmod (angle + 0.5f * spacing, spacing) - 0.5f * spacing; // distance to the nearest flute
            const auto cut = depth * std::exp (-(phase * phase) / (2.0f * fluteWidth * fluteWidth));
            const auto r = capRadius - cut;
            const auto px = cx + r * std::sin (angle);
            const auto py = cy - r * std::cos (angle);

            if (i == 0)
                p.startNewSubPath (px, py);
            else
                p.lineTo (px, py);
        }

        p.closeSubPath();
        return p;
    }

    /** Anisotropic sheen of turned metal: two soft highlights opposite each other, made of thin wedges. */
    void drawTurnedSheen (juce::Graphics& g, float cx, float cy, float r, float strength, float lightAngle)
    {
        constexpr int wedges = 360;

        for (int i = 0; i < wedges; ++i)
        {
            const auto a0 = juce::MathConstants<float>::twoPi * (float) i / (float) wedges;
            const auto a1 = juce::MathConstants<float>::twoPi * (float) (i + 1) / (float) wedges + 0.004f;
            const auto light = std::pow (std::abs (std::cos (0.5f * (a0 + a1) - lightAngle)), 8.0f);

            juce::Path wedge;
            wedge.startNewSubPath (cx, cy);
            wedge.addCentredArc (cx, cy, r, r, 0.0f, a0, a1);
            wedge.closeSubPath();

            g.setColour (juce::Colours::white.withAlpha (strength * light));
            g.fillPath (wedge);
        }
    }
} // namespace

juce::Image drawKnob()
{
    juce::Image image (juce::Image::ARGB, 300, 300, true);
    juce::Graphics g (image);
    const auto canvas = image.getBounds();
    const auto c = knobCentre;

    // Shadow on the panel: a wide soft one and a tight contact shadow.
    const auto skirt = circle (c, c, skirtRadius);
    drawSoftShape (g, canvas, skirt, juce::Colours::black.withAlpha (0.7f), 11.0f, { 0.0f, 10.0f });
    drawSoftShape (g, canvas, skirt, juce::Colours::black.withAlpha (0.8f), 3.0f, { 0.0f, 3.0f });

    // The skirt: lit from above, with a bright bevel along its upper edge.
    g.setGradientFill (
        verticalGradient (juce::Colour (0xFF4C5053), c - skirtRadius, juce::Colour (0xFF141516), c + skirtRadius));
    g.fillPath (skirt);

    {
        juce::Graphics::ScopedSaveState state (g);
        g.reduceClipRegion (skirt);
        g.setGradientFill (verticalGradient (juce::Colours::white.withAlpha (0.28f), c - skirtRadius,
                                             juce::Colours::white.withAlpha (0.0f), c));
        g.strokePath (circle (c, c, skirtRadius - 2.5f), juce::PathStrokeType (3.0f));
        drawTurnedSheen (g, c, c, skirtRadius, 0.05f, -0.9f);
    }

    g.setColour (juce::Colour (0xFF0A0B0B));
    g.strokePath (skirt, juce::PathStrokeType (2.5f));

    // The cap throws a short shadow onto the skirt.
    const auto cap = scallopedCap (c, c);
    drawSoftShape (g, canvas, cap, juce::Colours::black.withAlpha (0.75f), 5.0f, { 0.0f, 5.0f });

    // Fluted side of the cap.
    g.setGradientFill (
        verticalGradient (juce::Colour (0xFF505458), c - capRadius, juce::Colour (0xFF0F1011), c + capRadius));
    g.fillPath (cap);
    g.setGradientFill (verticalGradient (juce::Colours::white.withAlpha (0.35f), c - capRadius,
                                         juce::Colours::black.withAlpha (0.6f), c + capRadius));
    g.strokePath (cap, juce::PathStrokeType (2.0f));

    // The flat top: dark, with a soft light from the upper left and the sheen of turned metal.
    const auto face = circle (c, c, faceRadius);
    drawSoftShape (g, canvas, face, juce::Colours::black.withAlpha (0.5f), 2.5f, { 0.0f, 2.0f });
    g.setGradientFill (juce::ColourGradient (juce::Colour (0xFF3A3E42), c - 0.45f * faceRadius, c - 0.6f * faceRadius,
                                             juce::Colour (0xFF141618), c + 0.5f * faceRadius, c + faceRadius, true));
    g.fillPath (face);

    {
        juce::Graphics::ScopedSaveState state (g);
        g.reduceClipRegion (face);
        drawTurnedSheen (g, c, c, faceRadius, 0.09f, -0.75f);

        for (auto r = 10.0f; r < faceRadius; r += 9.0f)
        {
            g.setColour (juce::Colours::white.withAlpha (0.025f));
            g.strokePath (circle (c, c, r), juce::PathStrokeType (1.2f));
        }
    }

    // A crisp edge where the top meets the flutes: light above, dark below.
    g.setGradientFill (verticalGradient (juce::Colours::white.withAlpha (0.45f), c - faceRadius,
                                         juce::Colours::black.withAlpha (0.55f), c + faceRadius));
    g.strokePath (face, juce::PathStrokeType (2.2f));

    return image;
}

juce::Image drawKnobHover()
{
    juce::Image image (juce::Image::ARGB, 300, 300, true);
    juce::Graphics g (image);
    const auto canvas = image.getBounds();
    const auto c = knobCentre;
    const juce::Colour cyan (0xFF2ACBD6);
    const juce::Colour brightCyan (0xFF9AF6FC);

    // A lit ring close around the knob, with a halo, and two fainter echoes further out.
    const auto inner = circle (c, c, skirtRadius + 6.0f);
    drawGlow (g, canvas, inner, 5.0f, cyan.withAlpha (0.85f), 6.0f);
    g.setColour (cyan);
    g.strokePath (inner, juce::PathStrokeType (4.0f));
    g.setColour (brightCyan.withAlpha (0.8f));
    g.strokePath (inner, juce::PathStrokeType (1.5f));

    g.setColour (cyan.withAlpha (0.5f));
    g.strokePath (circle (c, c, skirtRadius + 15.0f), juce::PathStrokeType (2.2f));
    g.setColour (cyan.withAlpha (0.22f));
    g.strokePath (circle (c, c, skirtRadius + 23.0f), juce::PathStrokeType (1.8f));

    // The rim of the cap's top picks up the light.
    const auto faceRim = circle (c, c, faceRadius + 1.0f);
    drawGlow (g, canvas, faceRim, 2.0f, cyan.withAlpha (0.6f), 3.0f);
    g.setColour (cyan.withAlpha (0.7f));
    g.strokePath (faceRim, juce::PathStrokeType (1.6f));

    return image;
}

juce::Image drawSliderThumb()
{
    juce::Image image (juce::Image::ARGB, 200, 200, true);
    juce::Graphics g (image);
    const auto canvas = image.getBounds();
    constexpr float c = 100.0f;
    constexpr float r = 42.0f;

    const auto disc = circle (c, c, r);
    drawSoftShape (g, canvas, disc, juce::Colours::black.withAlpha (0.75f), 6.0f, { 0.0f, 6.0f });

    g.setGradientFill (juce::ColourGradient (juce::Colour (0xFF3C4044), c - 0.4f * r, c - 0.5f * r,
                                             juce::Colour (0xFF121314), c + 0.5f * r, c + r, true));
    g.fillPath (disc);

    // Light grey rim, brighter at the top.
    g.setGradientFill (verticalGradient (juce::Colour (0xFFE2E3E4), c - r, juce::Colour (0xFF7E8082), c + r));
    g.strokePath (circle (c, c, r - 3.5f), juce::PathStrokeType (6.0f));
    g.setColour (juce::Colour (0xFF0A0B0B));
    g.strokePath (disc, juce::PathStrokeType (1.5f));

    // A small dimple in the middle.
    const auto dimple = circle (c, c, 9.0f);
    g.setGradientFill (verticalGradient (juce::Colour (0xFF0C0D0E), c - 9.0f, juce::Colour (0xFF4A4D50), c + 9.0f));
    g.fillPath (dimple);

    return image;
}
} // namespace artwork
