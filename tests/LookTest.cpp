#include "EditorTestHelpers.h"

#include <gtest/gtest.h>

using editor_testing::HoverLook;
using editor_testing::render;

namespace
{
/** A label rendered with whatever typeface the default look-and-feel resolves at the time. */
juce::Image renderCaption (juce::LookAndFeel& lookAndFeel)
{
    juce::Label label ({}, "PREDELAY 250 ms");
    label.setLookAndFeel (&lookAndFeel);
    label.setFont (juce::Font (20.0f));
    label.setColour (juce::Label::textColourId, juce::Colours::white);
    label.setSize (220, 30);
    auto image = render (label, 1.0f, juce::Colours::black);
    label.setLookAndFeel (nullptr);
    return image;
}

/** A knob set up as the editor sets up its standard knobs at the default window size. */
void setUpKnob (juce::Slider& knob, int size, int textBoxWidth, int textBoxHeight)
{
    knob.setSliderStyle (juce::Slider::RotaryHorizontalVerticalDrag);
    knob.setTextBoxStyle (juce::Slider::TextBoxBelow, true, textBoxWidth, textBoxHeight);
    knob.setRange (0.0, 100.0, 0.1);
    knob.setTextValueSuffix (" %");
    knob.setValue (35.0, juce::dontSendNotification);
    knob.setSize (size, size);
}

juce::Label* findValueBox (juce::Slider& slider)
{
    for (auto* child : slider.getChildren())
        if (auto* label = dynamic_cast<juce::Label*> (child))
            return label;

    return nullptr;
}
} // namespace

TEST (LookFont, EmbeddedTypefaceIsRegisteredAndReallyRenders)
{
    // Render with the system fallback first, while no Look exists, then with the Look.
    juce::Typeface::clearTypefaceCache();
    juce::LookAndFeel_V4 plain;
    const auto fallback = renderCaption (plain);

    Look look;
    EXPECT_EQ (&juce::LookAndFeel::getDefaultLookAndFeel(), &look);

    const auto typeface = look.getTypefaceForFont (juce::Font (12.0f));
    ASSERT_NE (typeface, nullptr);
    EXPECT_EQ (typeface->getName(), "League Spartan");
    EXPECT_EQ (typeface->getStyle(), "Medium");

    const auto embedded = renderCaption (plain);
    EXPECT_GT (editor_testing::meanDifference (fallback, embedded), 1.0)
        << "a caption in the embedded typeface must differ from the fallback";

    editor_testing::saveArtefact (fallback, "font-fallback.png");
    editor_testing::saveArtefact (embedded, "font-embedded.png");
}

TEST (LookFont, LabelFontFollowsFontHeight)
{
    Look look;
    juce::Label label ({}, "DECAY");
    label.setFont (juce::Font (30.0f, juce::Font::bold));

    EXPECT_FLOAT_EQ (look.fontHeight, 16.0f);
    EXPECT_FLOAT_EQ (look.getLabelFont (label).getHeight(), 16.0f);

    // As after the editor's first layout at 900 px: 0.013 x 900.
    look.fontHeight = 0.013f * 900.0f;
    const auto font = look.getLabelFont (label);
    EXPECT_NEAR (font.getHeight(), 11.7f, 1.0e-5f);
    EXPECT_FALSE (font.isBold());
    EXPECT_NEAR (label.getFont().getHeight(), 11.7f, 1.0e-5f) << "the label keeps the font it was given";
}

TEST (LookImages, AllNineImagesDecodeAtTheirSizes)
{
    Look look;
    const auto images = look.getImages();
    const std::pair<int, int> sizes[] = { { 300, 300 }, { 300, 300 }, { 200, 200 }, { 400, 200 }, { 400, 200 },
                                          { 200, 200 }, { 200, 200 }, { 400, 200 }, { 400, 200 } };
    ASSERT_EQ (images.size(), 9);

    for (int i = 0; i < images.size(); ++i)
    {
        EXPECT_EQ (images[i].getWidth(), sizes[i].first) << i;
        EXPECT_EQ (images[i].getHeight(), sizes[i].second) << i;
    }
}

TEST (LookKnob, ValueTextLightsUpOnlyWhileActiveAndRebuildsOnlyOnChange)
{
    HoverLook look;
    juce::Slider knob;
    knob.setLookAndFeel (&look);
    setUpKnob (knob, 89, 62, 17);

    render (knob);
    EXPECT_EQ (knob.findColour (juce::Slider::textBoxTextColourId), greyTextBoxQuelt);
    const auto built = look.textBoxesBuilt;

    render (knob);
    EXPECT_EQ (look.textBoxesBuilt, built) << "a plain repaint rebuilds nothing";

    // Mouse on: the box is rebuilt once, lit, and keeps its text.
    look.setHovered (knob, true);
    render (knob);
    EXPECT_EQ (look.textBoxesBuilt, built + 1);
    ASSERT_NE (findValueBox (knob), nullptr);
    EXPECT_EQ (findValueBox (knob)->findColour (juce::Label::textColourId), blueLightQuelt);
    EXPECT_EQ (findValueBox (knob)->getText(), "35.0 %");
    render (knob);
    EXPECT_EQ (look.textBoxesBuilt, built + 1);

    // Mouse off: rebuilt once more, grey again.
    look.setHovered (knob, false);
    render (knob);
    EXPECT_EQ (look.textBoxesBuilt, built + 2);
    EXPECT_EQ (findValueBox (knob)->findColour (juce::Label::textColourId), greyTextBoxQuelt);
    EXPECT_EQ (findValueBox (knob)->getText(), "35.0 %");

    knob.setLookAndFeel (nullptr);
}

TEST (LookKnob, DisabledKnobUnderTheMouseShowsNoHoverLight)
{
    HoverLook look;
    juce::Slider enabledKnob, disabledKnob;

    for (auto* knob : { &enabledKnob, &disabledKnob })
    {
        knob->setLookAndFeel (&look);
        setUpKnob (*knob, 89, 62, 17);
        look.setHovered (*knob, true);
    }

    disabledKnob.setEnabled (false);
    const auto lit = render (enabledKnob);
    const auto unlit = render (disabledKnob);

    // The hover rings and the cyan pointer appear only on the enabled knob.
    const auto knobArea = juce::Rectangle<int> (0, 0, 89, 72);
    EXPECT_GT (editor_testing::countPixels (lit, knobArea, editor_testing::isCyan), 100);
    EXPECT_EQ (editor_testing::countPixels (unlit, knobArea, editor_testing::isCyan), 0);
    EXPECT_EQ (disabledKnob.findColour (juce::Slider::textBoxTextColourId), greyTextBoxQuelt);

    // Its box, rebuilt while the mouse was over it, still has lit text: only hovering counts there.
    ASSERT_NE (findValueBox (disabledKnob), nullptr);
    EXPECT_EQ (findValueBox (disabledKnob)->findColour (juce::Label::textColourId), blueLightQuelt);

    enabledKnob.setLookAndFeel (nullptr);
    disabledKnob.setLookAndFeel (nullptr);
}

TEST (LookLinearSlider, DisabledSliderShowsOnlyTheTrack)
{
    HoverLook look;
    juce::Slider slider (juce::Slider::LinearVertical, juce::Slider::NoTextBox);
    slider.setLookAndFeel (&look);
    slider.setRange (0.0, 4.0, 1.0);
    slider.setValue (2.0);
    slider.setSize (40, 160);

    const auto enabled = render (slider);
    slider.setEnabled (false);
    const auto disabled = render (slider);

    // With no value fill or thumb, the track's middle column is the plain grey body from top to bottom.
    for (int y = 12; y < 150; y += 4)
    {
        const auto c = disabled.getPixelAt (20, y);
        EXPECT_LT (std::abs (c.getRed() - c.getBlue()), 6) << y;
    }

    EXPECT_GT (editor_testing::meanDifference (enabled, disabled), 1.0);
    EXPECT_FALSE (disabled.getPixelAt (2, 80).getAlpha() > 0) << "no thumb beside the track";
    slider.setLookAndFeel (nullptr);
}
