#include "Frame.h"

#include "DisplayStrips.h"
#include "Palette.h"

#include <cmath>

void drawVerticalLine (const juce::Graphics& g, float x, float top, float bottom)
{
    if (top < bottom)
        g.fillRect (juce::Rectangle<float> (x, top, 1.0f, bottom - top));
}

void drawHorizontalLine (const juce::Graphics& g, float y, float left, float right)
{
    if (left < right)
        g.fillRect (juce::Rectangle<float> (left, y, right - left, 1.0f));
}

namespace
{
// Nearest integer with halves going to the even neighbour (the default floating-point rounding mode).
int nearest (float v) { return (int) std::lrint (v); }
} // namespace

Frame::Frame() : gridColour (backgroundQueltL) { setOpaque (true); }

float Frame::xForFrequency (float frequency, float width) { return std::log2 (frequency / 20.0f) / 10.0f * width; }

float Frame::yForGain (float gain, float height) { return ((gain + 24.0f) / -48.0f + 1.0f) * height; }

// A label box is 42 x 28 pixels for 12 px text; at other scales the box and its margins scale with the text.
juce::Rectangle<int> Frame::gainLabelBounds (float gain, float width, float height, float scale)
{
    return { (int) (width - 50.0f * scale), nearest (yForGain (gain, height - 22.0f * scale)) - 1,
             nearest (42.0f * scale), nearest (28.0f * scale) };
}

juce::Rectangle<int> Frame::frequencyLabelBounds (float frequency, float width, float height, float scale)
{
    return { nearest (xForFrequency (frequency, width) - 21.0f * scale), (int) (0.04f * height) - nearest (14.0f * scale),
             nearest (42.0f * scale), nearest (28.0f * scale) };
}

juce::Rectangle<int> Frame::lowestFrequencyLabelBounds (float height, float scale)
{
    return { 2, (int) (0.04f * height) - nearest (14.0f * scale), nearest (42.0f * scale), nearest (28.0f * scale) };
}

void Frame::setLabelScale (float newScale)
{
    if (newScale == labelScale)
        return;

    labelScale = newScale;

    if (! getLocalBounds().isEmpty())
        drawLabelLayer ((float) getWidth(), (float) getHeight());

    repaint();
}

juce::String Frame::frequencyLabelText (float frequency)
{
    if (frequency < 1000.0f)
        return juce::String ((int) frequency);

    return juce::String ((int) (frequency / 1000.0f)) + "k";
}

// Both layers are drawn only over the area that is being painted: handed a whole layer, the renderer would work
// over all of its 1800 x 1200 pixels to clip it.
void Frame::paint (juce::Graphics& g) { drawImagePart (g, backgroundImage, {}, g.getClipBounds()); }

void Frame::paintOverChildren (juce::Graphics& g)
{
    // Only where there are labels: elsewhere the layer is transparent and blending it would change nothing.
    for (const auto& area : labelAreas)
        drawImagePart (g, labelImage, {}, area);
}

void Frame::resized()
{
    const auto w = (float) getWidth();
    const auto h = (float) getHeight();

    drawBackgroundLayer (w, h);
    drawLabelLayer (w, h);
}

void Frame::drawBackgroundLayer (float w, float h)
{
    juce::Graphics g (backgroundImage);

    // A dim glow in the upper left that falls off to near black towards the lower right.
    backgroundGradient =
        juce::ColourGradient (blackQuelt, 0.35f * w, 0.09f * h, blackFullQuelt, 0.75f * w, 0.99f * h, true);
    g.setGradientFill (backgroundGradient);
    g.fillRect (juce::Rectangle<float> (0.0f, 0.0f, w, h));

    g.setColour (gridColour.brighter (0.01f));
    drawHorizontalLine (g, 0.5f * h, 0.0f, w);

    for (auto gain : bandGains)
        drawHorizontalLine (g, yForGain (gain, h), 0.0f, w);

    for (auto frequency : freqsB)
        drawVerticalLine (g, xForFrequency (frequency, w), 0.0f, h);

    g.setColour (gridColour.brighter (0.082f));

    for (auto frequency : freqsA)
        drawVerticalLine (g, xForFrequency (frequency, w), 0.0f, h);

    // A dark border three pixels wide along the top and left edges, where the display meets its bezel.
    g.setColour (blackUltraQuelt);

    for (auto y : { 0.0f, 1.0f, 2.0f })
        drawHorizontalLine (g, y, 0.0f, w);

    for (auto x : { 0.0f, 1.0f, 2.0f })
        drawVerticalLine (g, x, 0.0f, h);
}

void Frame::drawLabelLayer (float w, float h)
{
    labelImage.clear (labelImage.getBounds(), juce::Colour (0x00000000));

    juce::Graphics g (labelImage);
    g.setFont (12.0f * labelScale);
    labelAreas.clear();

    // Antialiased glyph edges may reach a pixel or two past a label's box.
    const auto draw = [&] (const juce::String& text, juce::Rectangle<int> area, juce::Justification justification)
    {
        g.drawText (text, area, justification, true);
        labelAreas.add (area.expanded (3));
    };

    g.setColour (gridColour.brighter (0.4f));

    for (auto gain : bandGains)
        draw (juce::String ((int) gain), gainLabelBounds (gain, w, h, labelScale), juce::Justification::centredRight);

    g.setColour (gridColour.brighter (2.8f));

    for (auto frequency : freqsA)
        draw (frequencyLabelText (frequency), frequencyLabelBounds (frequency, w, h, labelScale),
              juce::Justification::centred);

    draw ("20", lowestFrequencyLabelBounds (h, labelScale), juce::Justification::left);
}
