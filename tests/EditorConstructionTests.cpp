#include "ProcessorEditorTestHelpers.h"

using namespace editor_testing;

namespace
{
using Bounds = juce::Rectangle<int>;
} // namespace

TEST_F (EditorTest, OpensAt900By600WithTheKnobsWhereTheLayoutPutsThem)
{
    auto& e = open();
    ASSERT_EQ (e.getWidth(), 900);
    ASSERT_EQ (e.getHeight(), 600);

    // knobUnit 89.6, knobGap 20.36, rowTop 83, typeButtonWidth 72, smallButton 33.
    EXPECT_EQ (e.preDelaySlider.getBounds(), Bounds (20, 83, 89, 89));
    EXPECT_EQ (e.preVerbSlider.getBounds(), Bounds (129, 83, 89, 89));
    EXPECT_EQ (e.decaySlider.getX(), 238);
    EXPECT_EQ (e.decaySlider.getWidth(), 179);
    EXPECT_EQ (e.decaySlider.getHeight(), 179);
    EXPECT_EQ (e.characterSlider.getX(), 478);
    EXPECT_EQ (e.characterSlider.getWidth(), 179);
    EXPECT_EQ (e.driveSlider.getX(), 677);
    EXPECT_EQ (e.widthSlider.getX(), 786);
    EXPECT_EQ (e.lfoSpeedSlider.getY(), 212);
    EXPECT_EQ (e.presetsButton.getBounds(), Bounds (337, 3, 225, 39));
    EXPECT_EQ (e.onButton.getX(), 837);
    EXPECT_EQ (e.onButton.getWidth(), 33);
    EXPECT_EQ (e.roomButton.getWidth(), 72);

    for (auto* number : { &e.oneButton, &e.twoButton, &e.threeButton, &e.fourButton, &e.fiveButton })
    {
        EXPECT_EQ (number->getX(), 433);
        EXPECT_EQ (number->getWidth(), 33);
    }

    // The caption sits right above its knob, at the height the look-and-feel's label font gives it, and the
    // positions that hang from it follow.
    EXPECT_EQ (e.preDelayLabel.getBottom(), 83);
    EXPECT_EQ (e.decaySlider.getY(), (int) (e.preDelayLabel.getY() + 0.65 * 89.6));
    EXPECT_FLOAT_EQ (e.look.fontHeight, 11.7f);

    // Value boxes are read-only once laid out, sized by knob class.
    EXPECT_FALSE (e.preVerbSlider.isTextBoxEditable());
    EXPECT_EQ (e.preVerbSlider.getTextBoxWidth(), 62);
    EXPECT_EQ (e.preVerbSlider.getTextBoxHeight(), 17);
    EXPECT_EQ (e.decaySlider.getTextBoxWidth(), 76);
    EXPECT_EQ (e.decaySlider.getTextBoxHeight(), 35);
    EXPECT_EQ (e.lowCutSlider.getTextBoxHeight(), 18);
    EXPECT_EQ (e.gainSlider.getTextBoxWidth(), 44);
    EXPECT_EQ (e.gainSlider.getTextBoxHeight(), 13);
    EXPECT_EQ (e.freqSlider.getTextBoxWidth(), 71);
    EXPECT_EQ (e.freqSlider.getTextBoxHeight(), 18);

    // The three displays fill the frame, which lies inside the window.
    for (auto* display : std::initializer_list<juce::Component*> { &e.spectrumAnalyzer, &e.frequencyCurve, &e.xyPad })
    {
        EXPECT_EQ (display->getParentComponent(), &e.frame);
        EXPECT_EQ (display->getBounds(), e.frame.getLocalBounds());
    }

    EXPECT_TRUE (e.getLocalBounds().contains (e.frame.getBounds()));
    EXPECT_TRUE (e.getLocalBounds().contains (e.highCutTypeButton.getBounds()));
}

TEST_F (EditorTest, AWidthThatIsNotAMultipleOf8UsesTheWholeEighth)
{
    auto& e = open();
    e.setSize (903, 602);
    ASSERT_EQ (e.getWidth(), 903);

    // 0.8 x (903 / 8) = 0.8 x 112 = 89.6, as for 900.
    EXPECT_EQ (e.preDelaySlider.getWidth(), 89);
    EXPECT_EQ (e.decaySlider.getWidth(), 179);
}

TEST_F (EditorTest, KeepsItsSizeAcrossWindowsWithinTheLimitsAndAtAspect1_5)
{
    open().setSize (1200, 800);
    EXPECT_EQ (processor.editorWidth, 1200);
    close();

    auto& reopened = open();
    EXPECT_EQ (reopened.getWidth(), 1200);
    EXPECT_EQ (reopened.getHeight(), 800);
    close();

    for (const auto& stored : { std::pair { 3000, 2000 }, std::pair { 200, 100 }, std::pair { 2400, 1200 },
                                std::pair { 100, 900 } })
    {
        processor.editorWidth = stored.first;
        processor.editorHeight = stored.second;
        auto& e = open();
        EXPECT_GE (e.getWidth(), 450);
        EXPECT_LE (e.getWidth(), 1800);
        EXPECT_GE (e.getHeight(), 300);
        EXPECT_LE (e.getHeight(), 1200);
        EXPECT_NEAR ((double) e.getWidth() / e.getHeight(), 1.5, 0.01) << stored.first << " x " << stored.second;
        EXPECT_EQ (processor.editorWidth, e.getWidth());
        close();
    }

    // The host may only resize within the same limits.
    auto& e = open();
    e.setBoundsConstrained ({ 0, 0, 5000, 5000 });
    EXPECT_EQ (e.getBounds(), Bounds (0, 0, 1800, 1200));
    e.setBoundsConstrained ({ 0, 0, 10, 10 });
    EXPECT_EQ (e.getBounds(), Bounds (0, 0, 450, 300));
}

TEST_F (EditorTest, ShowsBand1InTheSharedControlsWhenItOpens)
{
    setParameter ("1Gain", 5.5f);
    setParameter ("1Freq", 100.0f);
    setParameter ("1Q", 2.0f);
    setParameter ("3Gain", -7.0f); // a later band's change does not decide what opens
    auto& e = open();

    EXPECT_DOUBLE_EQ (e.gainSlider.getValue(), 5.5);
    EXPECT_NEAR (e.freqSlider.getValue(), 100.0, 1.0);
    EXPECT_DOUBLE_EQ (e.qSlider.getValue(), 2.0);
    EXPECT_TRUE (e.bandOnButton.getToggleState());
    EXPECT_TRUE (e.lowShelfTypeButton.getToggleState()); // band 1 is a low shelf by default
    EXPECT_FALSE (e.peakTypeButton.getToggleState());
    EXPECT_TRUE (e.gainSlider.isEnabled());
    EXPECT_EQ (e.xyPad.selectedHandle, 0);
    close();

    // A cut has no gain: band 1 as a high cut opens with the GAIN knob disabled.
    setParameter ("1Type", 4.0f);
    EXPECT_FALSE (open().gainSlider.isEnabled());
    EXPECT_TRUE (editor->highCutTypeButton.getToggleState());
}

TEST_F (EditorTest, OnlyOneButtonOfEachRadioGroupIsOn)
{
    auto& e = open();
    ASSERT_TRUE (e.plateButton.getToggleState());
    ASSERT_TRUE (e.oneButton.getToggleState());

    e.userClick (e.springButton);
    e.userClick (e.fourButton);
    e.userClick (e.highShelfTypeButton);

    const auto onCount = [] (std::initializer_list<juce::Button*> group)
    {
        int n = 0;
        for (auto* b : group)
            n += b->getToggleState() ? 1 : 0;
        return n;
    };

    EXPECT_EQ (onCount ({ &e.roomButton, &e.hallButton, &e.plateButton, &e.springButton, &e.spaceButton }), 1);
    EXPECT_EQ (onCount ({ &e.oneButton, &e.twoButton, &e.threeButton, &e.fourButton, &e.fiveButton }), 1);
    EXPECT_EQ (onCount ({ &e.lowCutTypeButton, &e.lowShelfTypeButton, &e.peakTypeButton, &e.highShelfTypeButton,
                          &e.highCutTypeButton }), 1);
    EXPECT_TRUE (e.springButton.getToggleState());
    EXPECT_EQ (parameter ("PlateButton"), 0.0f);
    EXPECT_EQ (parameter ("SpringButton"), 1.0f);
    EXPECT_EQ (parameter ("OneButton"), 0.0f);
    EXPECT_EQ (parameter ("FourButton"), 1.0f);
    EXPECT_TRUE (e.highShelfTypeButton.getToggleState());

    // The power switches and the preset stepper are not in any group.
    EXPECT_EQ (e.onButton.getRadioGroupId(), 0);
    EXPECT_EQ (e.nextPresetButton.getRadioGroupId(), 0);
    EXPECT_FALSE (e.nextPresetButton.getClickingTogglesState());
    EXPECT_TRUE (e.presetsButton.getClickingTogglesState());
}

TEST_F (EditorTest, ShowsItsControlsAndHidesTheModeSwitchesAndBandEditors)
{
    auto& e = open();

    for (auto* hidden : std::initializer_list<juce::Component*> {
             &e.lrFlipButton, &e.lfoSyncButton, &e.preDelaySyncButton, &e.decaySyncButton, &e.tremoloButton,
             &e.compressorButton, &e.shimmerButton, &e.driveTypeSlider, &e.versionLabel, &e.bandEditors[0],
             &e.bandEditors[4] })
        EXPECT_EQ (hidden->getParentComponent(), nullptr);

    for (auto* shown : std::initializer_list<juce::Component*> {
             &e.preVerbSlider, &e.widthSlider, &e.lowCutSlider, &e.highCutSlider, &e.gainSlider, &e.freqSlider,
             &e.qSlider, &e.hallButton, &e.fiveButton, &e.textureLabel, &e.preEqLabel, &e.postEqLabel,
             &e.presetsButton, &e.previousPresetButton, &e.nextPresetButton, &e.onButton, &e.bandOnButton,
             &e.onEqButton, &e.peakTypeButton, &e.frame, &e.decayLabel })
        EXPECT_TRUE (shown->isShowing() || (shown->isVisible() && shown->getParentComponent() != nullptr));

    EXPECT_TRUE (e.sideChainSlider.isEnabled());
    EXPECT_EQ (e.mixLabel.getText(), "MIX");
    EXPECT_EQ (e.preEqLabel.findColour (juce::Label::textColourId), orangeCurve);
    EXPECT_EQ (e.postEqLabel.findColour (juce::Label::textColourId), blueTransQuelt);
    EXPECT_EQ (e.presetsButton.findColour (juce::TextButton::textColourOffId), blackUltraQuelt);
    EXPECT_EQ (e.versionLabel.getText(), "Version : 1.0.1");

    // The knobs take their parameters' ranges and texts, plus the unit.
    EXPECT_EQ (e.decaySlider.getMaximum(), 10.0);
    EXPECT_EQ (e.decaySlider.getTextFromValue (3.0), "3.00 s");
    EXPECT_EQ (e.lowCutSlider.getTextFromValue (500.0), "500 Hz");
    EXPECT_EQ (e.gainSlider.getTextFromValue (0.0), "0.0 dB");
}

TEST_F (EditorTest, HandsTheAnalyserOneSecondOfFifoWhileItIsOpen)
{
    testing_helpers::prepare (processor, 48000.0, 256);
    EXPECT_FALSE (processor.analyserEnabled.load());

    open();
    EXPECT_TRUE (processor.analyserEnabled.load());
    EXPECT_EQ (processor.analyserFifo.getTotalSize(), 48000);
    EXPECT_EQ (processor.analyserBuffer.getNumChannels(), 1);
    EXPECT_EQ (processor.analyserBuffer.getNumSamples(), 48000);

    // Not resized while the window stays open, whatever the processor does.
    testing_helpers::prepare (processor, 96000.0, 256);
    EXPECT_EQ (processor.analyserFifo.getTotalSize(), 48000);

    close();
    EXPECT_FALSE (processor.analyserEnabled.load());
}

TEST_F (EditorTest, PaintsAWholeFaceAtEverySize)
{
    for (const auto& size : { std::pair { 900, 600 }, std::pair { 450, 300 }, std::pair { 1800, 1200 } })
    {
        auto& e = open();
        e.setSize (size.first, size.second);
        const auto image = e.createComponentSnapshot (e.getLocalBounds(), true, 1.0f);
        ASSERT_EQ (image.getWidth(), size.first);

        // Opaque everywhere, and not one flat colour: the panels, knobs and frame are drawn.
        std::set<juce::uint32> colours;
        for (int y = 0; y < image.getHeight(); y += 7)
            for (int x = 0; x < image.getWidth(); x += 7)
            {
                ASSERT_EQ (image.getPixelAt (x, y).getAlpha(), 255) << x << ", " << y;
                colours.insert (image.getPixelAt (x, y).getARGB());
            }
        EXPECT_GT (colours.size(), 500u);

        saveArtefact (image, "editor-" + juce::String (size.first) + "x" + juce::String (size.second) + ".png");
        close();
    }
}

// No text crosses its box or a line, at any size: what a text adds to the picture (its ink) lies within its value
// box's fill, clear of the panels' dark borders for the outer columns' captions, and below the thread's end.
template <typename Editor>
void expectTextsClearOfTheirBoxesAndLines (Editor& e)
{
    const auto inkOf = [] (juce::Component& c, juce::Label& label)
    {
        const auto with = render (c);
        const auto text = label.getText();
        label.setText ({}, juce::dontSendNotification);
        const auto without = render (c);
        label.setText (text, juce::dontSendNotification);
        juce::Rectangle<int> ink;
        for (int y = 0; y < with.getHeight(); ++y)
            for (int x = 0; x < with.getWidth(); ++x)
                if (with.getPixelAt (x, y) != without.getPixelAt (x, y))
                    ink = ink.isEmpty() ? juce::Rectangle<int> (x, y, 1, 1) : ink.getUnion ({ x, y, 1, 1 });
        return std::pair { ink, without };
    };

    for (const auto& [w, h] : { std::pair { 450, 300 }, std::pair { 900, 600 }, std::pair { 1800, 1200 } })
    {
        e.setSize (w, h);
        render (e);

        for (auto* knob : { &e.preDelaySlider, &e.preVerbSlider, &e.decaySlider, &e.characterSlider, &e.driveSlider,
                            &e.widthSlider, &e.lfoSpeedSlider, &e.lfoDepthSlider, &e.sideChainSlider, &e.mixSlider,
                            &e.lowCutSlider, &e.highCutSlider, &e.gainSlider, &e.freqSlider, &e.qSlider })
            for (auto* child : knob->getChildren())
                if (auto* box = dynamic_cast<juce::Label*> (child))
                {
                    const auto ink = inkOf (*knob, *box).first;
                    const auto tbH = (float) knob->getTextBoxHeight();
                    const auto fill = e.look.valueBoxArea ((float) knob->getHeight() - tbH, tbH);
                    EXPECT_GE ((float) ink.getY(), fill.getStart()) << box->getText() << " at " << w;
                    EXPECT_LE ((float) ink.getBottom(), fill.getEnd()) << box->getText() << " at " << w;
                }

        // The left column's captions, on the light part of the panel, above their knobs' faces.
        for (auto* caption : { &e.preDelayLabel, &e.lfoSpeedLabel })
        {
            const auto inked = inkOf (e, *caption);
            const auto& ink = inked.first;
            const auto& bare = inked.second;
            const auto* knob = caption->getAttachedComponent();
            const auto darkest = [&]
            {
                float b = 1.0f;
                for (int y = ink.getY(); y < ink.getBottom() && y < knob->getY() - knob->getWidth() / 10; ++y)
                    for (int x = ink.getX(); x < ink.getRight(); ++x)
                        b = juce::jmin (b, bare.getPixelAt (x, y).getBrightness());
                return b;
            }();
            EXPECT_GT (darkest, blackQuelt.getBrightness() + 0.05f) << caption->getText() << " at " << w;
        }

        const auto [textureInk, bare] = inkOf (e, e.textureLabel);
        const int threadX = e.oneButton.getX() + e.oneButton.getWidth() / 2 - 1;
        int threadEnd = e.fiveButton.getBottom();
        while (bare.getPixelAt (threadX, threadEnd) == greyTextBoxQuelt)
            ++threadEnd;
        EXPECT_LE (threadEnd, textureInk.getY()) << "the thread runs into TEXTURE at " << w;
    }
}

TEST_F (EditorTest, AtTheSmallestSizeEveryTextIsLegibleWholeAndClearOfTheOthers)
{
    // The widest texts: every caption relabelled, the longest values.
    setParameter ("1Gain", -24.0f);
    setParameter ("Width", 200.0f);
    setParameter ("SideChain", 100.0f);
    auto& e = open();
    e.setSize (450, 300);

    for (auto* knob : { &e.widthSlider, &e.preDelaySlider, &e.preVerbSlider, &e.lfoDepthSlider, &e.lfoSpeedSlider })
        e.doubleClick (*knob);

    e.compressorButton.setToggleState (true, juce::sendNotification);
    const auto image = render (e); // also builds the value boxes

    std::vector<std::pair<juce::String, juce::Rectangle<float>>> texts;
    std::function<void (juce::Component&)> collect = [&] (juce::Component& parent)
    {
        for (auto* child : parent.getChildren())
        {
            if (! child->isVisible())
                continue;

            if (auto* label = dynamic_cast<juce::Label*> (child))
            {
                const auto text = label->getText();
                const auto font = e.look.getLabelFont (*label);
                const auto area = e.getLocalArea (label, label->getBorderSize().subtractedFrom (label->getLocalBounds())).toFloat();
                const auto width = font.getStringWidthFloat (text);

                // Squeezed no further than JUCE's default before it would shrink the font or cut the text.
                EXPECT_GE (font.getHeight(), 9.0f) << text;
                EXPECT_LE (font.getHeight(), area.getHeight()) << text;
                EXPECT_LE (width * juce::Font::getDefaultMinimumHorizontalScaleFactor(), area.getWidth()) << text;
                texts.emplace_back (text, juce::Rectangle<float> (juce::jmin (width, area.getWidth()), font.getHeight())
                                              .withCentre (area.getCentre()));
            }

            collect (*child);
        }
    };
    collect (e);
    EXPECT_GT (texts.size(), 30u);

    for (size_t i = 0; i < texts.size(); ++i)
        for (size_t j = i + 1; j < texts.size(); ++j)
            EXPECT_FALSE (texts[i].second.intersects (texts[j].second)) << texts[i].first << " / " << texts[j].first;

    // "<" and ">" show dark text on a light switch.
    for (auto* arrow : { &e.previousPresetButton, &e.nextPresetButton })
    {
        const auto middle = arrow->getBounds().reduced (arrow->getWidth() / 4, arrow->getHeight() / 4);
        EXPECT_GT (countPixels (image, middle, [] (juce::Colour c) { return c.getBrightness() < 0.25f; }), 2);
        EXPECT_GT (countPixels (image, middle, [] (juce::Colour c) { return c.getBrightness() > 0.45f; }), 8);
    }

    expectTextsClearOfTheirBoxesAndLines (e);
}
