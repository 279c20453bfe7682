#include "editor/Frame.h"
#include "EditorTestHelpers.h"

#include <gtest/gtest.h>

using editor_testing::render;

namespace
{
float brightness (juce::Colour c) { return c.getBrightness(); }

/** An opaque child standing in for the displays that the frame holds. */
struct SolidChild : juce::Component
{
    void paint (juce::Graphics& g) override { g.fillAll (juce::Colours::red); }
};
} // namespace

TEST (Frame, GridLabelRectanglesAt900x600)
{
    EXPECT_NEAR (Frame::xForFrequency (1000.0f, 900.0f), 507.95f, 0.005f);
    EXPECT_EQ (Frame::frequencyLabelBounds (1000.0f, 900.0f, 600.0f), juce::Rectangle<int> (487, 10, 42, 28));
    EXPECT_EQ (Frame::frequencyLabelBounds (100.0f, 900.0f, 600.0f).getX(), 188);
    EXPECT_EQ (Frame::frequencyLabelBounds (10000.0f, 900.0f, 600.0f).getX(), 786);

    // 0.25 x 578 = 144.5 rounds to the even 144: the level labels use round-half-to-even.
    EXPECT_EQ (Frame::gainLabelBounds (12.0f, 900.0f, 600.0f), juce::Rectangle<int> (850, 143, 42, 28));
    EXPECT_EQ (Frame::gainLabelBounds (-24.0f, 900.0f, 600.0f), juce::Rectangle<int> (850, 577, 42, 28));
    EXPECT_EQ (Frame::gainLabelBounds (24.0f, 900.0f, 600.0f), juce::Rectangle<int> (850, -1, 42, 28));
    EXPECT_EQ (Frame::lowestFrequencyLabelBounds (600.0f), juce::Rectangle<int> (2, 10, 42, 28));

    // Labels twice the size: boxes and margins double, the lines they name stay where they are.
    EXPECT_EQ (Frame::frequencyLabelBounds (1000.0f, 900.0f, 600.0f, 2.0f), juce::Rectangle<int> (466, -4, 84, 56));
    EXPECT_EQ (Frame::gainLabelBounds (12.0f, 900.0f, 600.0f, 2.0f), juce::Rectangle<int> (800, 138, 84, 56));

    EXPECT_EQ (Frame::frequencyLabelText (100.0f), "100");
    EXPECT_EQ (Frame::frequencyLabelText (1000.0f), "1k");
    EXPECT_EQ (Frame::frequencyLabelText (10000.0f), "10k");
}

TEST (Frame, AxesMatchTheDisplaysItHolds)
{
    EXPECT_FLOAT_EQ (Frame::xForFrequency (20.0f, 640.0f), 0.0f);
    EXPECT_FLOAT_EQ (Frame::xForFrequency (20480.0f, 640.0f), 640.0f);
    EXPECT_FLOAT_EQ (Frame::yForGain (24.0f, 400.0f), 0.0f);
    EXPECT_FLOAT_EQ (Frame::yForGain (0.0f, 400.0f), 200.0f);
    EXPECT_FLOAT_EQ (Frame::yForGain (-24.0f, 400.0f), 400.0f);
}

TEST (Frame, BackgroundLayerDrawsTheGridAndTheDarkBorder)
{
    Look look;
    Frame frame;
    frame.setSize (900, 600);
    const auto image = render (frame);

    // The 1 kHz line at x = 507.95 falls almost wholly on column 508, brighter than the plain background
    // beside it and than the fainter 900 Hz and 2 kHz lines.
    const auto y = 400;
    const auto line = brightness (image.getPixelAt (508, y));
    EXPECT_GT (line, brightness (image.getPixelAt (504, y)) + 0.05f);
    EXPECT_GT (line, brightness (image.getPixelAt (512, y)) + 0.05f);
    const auto x900 = juce::roundToInt (Frame::xForFrequency (900.0f, 900.0f) - 0.5f);
    EXPECT_GT (line, brightness (image.getPixelAt (x900, y)));

    // The 0 dB line at half height.
    EXPECT_GT (brightness (image.getPixelAt (250, 300)), brightness (image.getPixelAt (250, 296)) + 0.05f);

    // Three dark pixels along the top and left edges; the +24 dB line at y = 0 is covered by them.
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_EQ (image.getPixelAt (i, 300), blackUltraQuelt) << i;
        EXPECT_EQ (image.getPixelAt (400, i), blackUltraQuelt) << i;
    }

    // The -24 dB line lies just below the frame, so the last visible row is plain background.
    EXPECT_NEAR (brightness (image.getPixelAt (250, 599)), brightness (image.getPixelAt (250, 596)), 0.02f);

    editor_testing::saveArtefact (image, "frame-900x600.png");
}

TEST (Frame, LabelsAreDrawnOverTheChildrenAndTheGridUnderThem)
{
    Look look;
    Frame frame;
    SolidChild child;
    frame.addAndMakeVisible (child);
    frame.setSize (900, 600);
    child.setBounds (frame.getLocalBounds());
    const auto image = render (frame);

    // Inside the "1k" label some pixels are text, not the child's red; away from labels only red shows.
    int textPixels = 0;
    const auto label = Frame::frequencyLabelBounds (1000.0f, 900.0f, 600.0f);

    for (int y = label.getY(); y < label.getBottom(); ++y)
        for (int x = label.getX(); x < label.getRight(); ++x)
            if (image.getPixelAt (x, y).getGreen() > 100)
                ++textPixels;

    EXPECT_GT (textPixels, 10);
    EXPECT_EQ (image.getPixelAt (450, 300), juce::Colours::red);
    EXPECT_EQ (image.getPixelAt (508, 400), juce::Colours::red);
}

TEST (Frame, ShrinkingRedrawsBothLayersWithNothingOldLeft)
{
    Look look;
    Frame resizedFrame, freshFrame;
    resizedFrame.setSize (900, 600);
    resizedFrame.setSize (450, 300);
    freshFrame.setSize (450, 300);

    EXPECT_EQ (editor_testing::meanDifference (render (resizedFrame), render (freshFrame)), 0.0);

    // The old level labels at the right of the 900 px layout are gone from the label layer.
    const auto& labels = resizedFrame.getLabelImage();

    for (int y = 143; y < 171; ++y)
        for (int x = 850; x < 892; ++x)
            ASSERT_EQ (labels.getPixelAt (x, y).getAlpha(), 0) << x << ", " << y;
}
