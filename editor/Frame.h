#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <array>

/** Fills the rectangle (x, top, 1, bottom - top) in the current colour; draws nothing unless top < bottom. */
void drawVerticalLine (const juce::Graphics& g, float x, float top, float bottom);

/** Fills the rectangle (left, y, right - left, 1) in the current colour; draws nothing unless left < right. */
void drawHorizontalLine (const juce::Graphics& g, float y, float left, float right);

/** The display area behind the analyser, the response curve and the XY pad.

    It shows a dark background with a level and frequency grid under its children and the grid's labels over
    them. Both layers are drawn into cached images whenever the frame is resized, so the children's frequent
    repaints only copy two images.

    Axes, shared with the children: x = log2 (f / 20) / 10 * width covers 20 Hz to 20480 Hz in ten octaves, and
    y = ((dB + 24) / -48 + 1) * height puts +24 dB at the top and -24 dB at the bottom.
*/
class Frame : public juce::Component
{
public:
    Frame();

    void paint (juce::Graphics& g) override;
    void paintOverChildren (juce::Graphics& g) override;
    void resized() override;

    /** Level lines (dB), labelled at the right edge. */
    static constexpr std::array<float, 4> bandGains { 24.0f, 12.0f, -12.0f, -24.0f };

    /** Fainter frequency lines (Hz), unlabelled. */
    static constexpr std::array<float, 24> freqsB { 30.0f,   40.0f,   50.0f,   60.0f,   70.0f,   80.0f,
                                                    90.0f,   200.0f,  300.0f,  400.0f,  500.0f,  600.0f,
                                                    700.0f,  800.0f,  900.0f,  2000.0f, 3000.0f, 4000.0f,
                                                    5000.0f, 6000.0f, 7000.0f, 8000.0f, 9000.0f, 20000.0f };

    /** Brighter decade lines (Hz), labelled along the top. */
    static constexpr std::array<float, 3> freqsA { 100.0f, 1000.0f, 10000.0f };

    /** Horizontal position of a frequency in a display of the given width. */
    static float xForFrequency (float frequency, float width);

    /** Vertical position of a level in dB in a display of the given height. */
    static float yForGain (float gain, float height);

    /** Where the label of a level line goes; the labels are spread over the height less 22 pixels. `scale` sizes
        the label (1 for 12 px text) and its margins. */
    static juce::Rectangle<int> gainLabelBounds (float gain, float width, float height, float scale = 1.0f);

    /** Where the label of a decade line goes, centred on the line near the top. */
    static juce::Rectangle<int> frequencyLabelBounds (float frequency, float width, float height, float scale = 1.0f);

    /** Where the "20" at the left edge goes. */
    static juce::Rectangle<int> lowestFrequencyLabelBounds (float height, float scale = 1.0f);

    /** Sizes the grid labels: 12 px text at 1. The editor sets it from its own size, so the labels scale with the
        window; a change redraws the label layer. */
    void setLabelScale (float newScale);
    float getLabelScale() const noexcept { return labelScale; }

    /** "100", "1k", "10k": whole hertz below 1 kHz, whole kilohertz with a "k" from there on. */
    static juce::String frequencyLabelText (float frequency);

    const juce::Image& getBackgroundImage() const noexcept { return backgroundImage; }
    const juce::Image& getLabelImage() const noexcept { return labelImage; }

private:
    void drawBackgroundLayer (float w, float h);
    void drawLabelLayer (float w, float h);

    // Both layers have the editor's largest size, so the frame always fits and they never need resizing. The
    // background covers the whole frame, so it has no alpha to blend: painting it is a plain copy.
    juce::Image backgroundImage { juce::Image::RGB, 1800, 1200, true };
    juce::Image labelImage { juce::Image::ARGB, 1800, 1200, true };

    // Where the label layer has anything drawn; the rest of it is transparent and is not blended at every paint.
    juce::RectangleList<int> labelAreas;
    float labelScale = 1.0f;
    juce::ColourGradient backgroundGradient;
    juce::Colour gridColour;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Frame)
};
