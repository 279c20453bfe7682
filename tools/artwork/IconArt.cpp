#include "Artwork.h"

namespace artwork
{
namespace
{
    juce::Path iconPath (Icon icon)
    {
        juce::Path p;

        switch (icon)
        {
            case Icon::power:
                p.addCentredArc (50.0f, 54.0f, 31.0f, 31.0f, 0.0f, juce::degreesToRadians (42.0f),
                                 juce::degreesToRadians (318.0f), true);
                p.startNewSubPath (50.0f, 12.0f);
                p.lineTo (50.0f, 48.0f);
                return p;

            case Icon::lowCut: // high-pass: a steep rise into a flat top
                p.startNewSubPath (16.0f, 84.0f);
                p.quadraticTo (30.0f, 34.0f, 52.0f, 34.0f);
                p.lineTo (86.0f, 34.0f);
                break;

            case Icon::highCut: // low-pass: a flat top falling away steeply
                p.startNewSubPath (14.0f, 34.0f);
                p.lineTo (48.0f, 34.0f);
                p.quadraticTo (70.0f, 34.0f, 84.0f, 84.0f);
                break;

            case Icon::lowShelf: // raised lows stepping down to a flat level
                p.startNewSubPath (12.0f, 32.0f);
                p.lineTo (32.0f, 32.0f);
                p.cubicTo (50.0f, 32.0f, 50.0f, 68.0f, 68.0f, 68.0f);
                p.lineTo (88.0f, 68.0f);
                break;

            case Icon::highShelf: // a flat level stepping up to raised highs
                p.startNewSubPath (12.0f, 68.0f);
                p.lineTo (32.0f, 68.0f);
                p.cubicTo (50.0f, 68.0f, 50.0f, 32.0f, 68.0f, 32.0f);
                p.lineTo (88.0f, 32.0f);
                break;

            case Icon::peak: // a bell on a flat line
                p.startNewSubPath (10.0f, 72.0f);
                p.lineTo (28.0f, 72.0f);
                p.cubicTo (40.0f, 72.0f, 41.0f, 24.0f, 50.0f, 24.0f);
                p.cubicTo (59.0f, 24.0f, 60.0f, 72.0f, 72.0f, 72.0f);
                p.lineTo (90.0f, 72.0f);
                break;
        }

        // Centre the curve in the square, so every icon sits in the middle of its button.
        const auto bounds = p.getBounds();
        p.applyTransform (
            juce::AffineTransform::translation (50.0f - bounds.getCentreX(), 50.0f - bounds.getCentreY()));
        return p;
    }
} // namespace

juce::Image drawIcon (Icon icon, bool on)
{
    juce::Image image (juce::Image::ARGB, 100, 100, true);
    juce::Graphics g (image);
    const auto canvas = image.getBounds();
    const auto path = iconPath (icon);
    const juce::PathStrokeType stroke (9.0f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded);

    juce::Path outline;
    stroke.createStrokedPath (outline, path);

    if (on)
    {
        drawSoftShape (g, canvas, outline, juce::Colour (0xFF2ACBD6).withAlpha (0.9f), 4.0f);
        g.setColour (juce::Colour (0xFF3FDCE6));
        g.fillPath (outline);

        juce::Path core;
        juce::PathStrokeType (3.5f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded)
            .createStrokedPath (core, path);
        g.setColour (juce::Colour (0xFFCFFBFE).withAlpha (0.85f));
        g.fillPath (core);
    }
    else
    {
        drawSoftShape (g, canvas, outline, juce::Colours::black.withAlpha (0.7f), 2.0f, { 0.0f, 2.0f });
        g.setGradientFill (verticalGradient (juce::Colour (0xFFC9CBCD), 15.0f, juce::Colour (0xFF8F9193), 85.0f));
        g.fillPath (outline);
    }

    return image;
}
} // namespace artwork
