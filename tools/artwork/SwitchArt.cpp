#include "Artwork.h"

namespace artwork
{
namespace
{
    struct Body
    {
        juce::Colour top, bottom, outline;
    };

    Body bodyFor (SwitchStyle style)
    {
        switch (style)
        {
            case SwitchStyle::darkOff:
                return { juce::Colour (0xFF464A4D), juce::Colour (0xFF1E2022), juce::Colour (0xFF090A0A) };
            case SwitchStyle::darkOn:
                return { juce::Colour (0xFF1F2A2D), juce::Colour (0xFF0B1012), juce::Colour (0xFF050808) };
            case SwitchStyle::tealOff:
                return { juce::Colour (0xFF78B3B7), juce::Colour (0xFF447D81), juce::Colour (0xFF0B1A1B) };
            case SwitchStyle::tealOn:
                return { juce::Colour (0xFF15505A), juce::Colour (0xFF08262B), juce::Colour (0xFF041416) };
        }

        return {};
    }

    bool isLit (SwitchStyle style) { return style == SwitchStyle::darkOn || style == SwitchStyle::tealOn; }
} // namespace

juce::Image drawSwitch (int width, int height, SwitchStyle style)
{
    juce::Image image (juce::Image::ARGB, width, height, true);
    juce::Graphics g (image);
    const auto canvas = image.getBounds();

    // The margin leaves room for the shadow and the glow; the ends' centres stay at height / 2 from each side.
    const auto margin = 0.1f * (float) height;
    const auto area = image.getBounds().toFloat().reduced (margin);
    const auto shape = makePill (area);
    const auto body = bodyFor (style);
    const auto lit = isLit (style);
    const juce::Colour cyan (0xFF2ACBD6);

    drawSoftShape (g, canvas, shape, juce::Colours::black.withAlpha (0.85f), 0.03f * (float) height,
                   { 0.0f, 0.025f * (float) height });

    if (lit)
        drawGlow (g, canvas, shape, 0.05f * (float) height, cyan.withAlpha (0.9f), 0.03f * (float) height);

    g.setGradientFill (verticalGradient (body.top, area.getY(), body.bottom, area.getBottom()));
    g.fillPath (shape);

    {
        juce::Graphics::ScopedSaveState state (g);
        g.reduceClipRegion (shape);

        if (lit)
        {
            // Light spilling inwards from the rim.
            drawGlow (g, canvas, shape, 0.06f * (float) height, cyan.withAlpha (0.45f), 0.07f * (float) height);
        }
        else
        {
            // A soft sheen on the upper half and a darker lip at the bottom give the body some volume.
            const auto inset = makePill (area.reduced (0.035f * (float) height));
            g.setGradientFill (verticalGradient (juce::Colours::white.withAlpha (0.22f), area.getY(),
                                                 juce::Colours::white.withAlpha (0.0f), area.getCentreY()));
            g.strokePath (inset, juce::PathStrokeType (0.018f * (float) height));
            g.setGradientFill (verticalGradient (juce::Colours::black.withAlpha (0.0f), area.getCentreY(),
                                                 juce::Colours::black.withAlpha (0.35f), area.getBottom()));
            g.strokePath (inset, juce::PathStrokeType (0.04f * (float) height));
        }
    }

    g.setColour (body.outline);
    g.strokePath (shape, juce::PathStrokeType (0.016f * (float) height));

    if (lit)
    {
        // The rim itself: bright cyan, lighter along the top, with a thin hot core.
        const auto rim = makePill (area.reduced (0.02f * (float) height));
        g.setGradientFill (
            verticalGradient (juce::Colour (0xFF7FF0F7), area.getY(), juce::Colour (0xFF1AA8B3), area.getBottom()));
        g.strokePath (rim, juce::PathStrokeType (0.042f * (float) height));
        g.setColour (juce::Colour (0xFFD8FDFF).withAlpha (0.55f));
        g.strokePath (rim, juce::PathStrokeType (0.012f * (float) height));
    }

    return image;
}
} // namespace artwork
