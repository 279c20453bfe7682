#include "VellumarProcessorEditor.h"

#include "Palette.h"
#include "engine/processor/VellumarProcessor.h"

// Every position is a fraction of the window's size, so the whole face scales with the window. Geometry is worked
// out in double precision and truncated to whole pixels where it becomes a bound.

namespace
{
/** Truncation toward zero, as every bound below is taken. */
int toInt (double v) { return (int) v; }
int right (const juce::Component& c) { return c.getRight(); }
int bottom (const juce::Component& c) { return c.getBottom(); }
} // namespace

void VellumarProcessorEditor::resized()
{
    const int W = getWidth();
    const int H = getHeight();

    // The next window opens at this size.
    audioProcessor.editorWidth = W;
    audioProcessor.editorHeight = H;

    const float proportionalText = 0.013f * (float) W;
    look.fontHeight = juce::jmax (Look::minimumTextHeight, proportionalText);
    backgroundCache = {};

    accentGradient = juce::ColourGradient (juce::Colour (0xFF98F7FE), (float) (0.25 * W), (float) (0.06 * H),
                                           blueTransChord, (float) (0.85 * W), (float) (0.99 * H), true);
    panelGradient = juce::ColourGradient (juce::Colour (0xFFAAABAC), (float) (0.3 * W), (float) (0.15 * H),
                                          blackUltraQuelt, (float) (0.75 * W), (float) (1.1 * H), true);

    LayoutUnits u;
    u.W = W;
    u.knobUnit = 0.8 * (W / 8);                 // a standard knob; W / 8 in whole pixels
    u.knobGap = (W - 8.0 * u.knobUnit) / 9.0;   // eight knobs and nine gaps fill the width
    u.rowTop = toInt (0.139 * H);
    u.typeButtonWidth = toInt (0.08 * W);
    u.smallButton = toInt (0.37 * u.knobUnit);
    u.eqButton = 0.9 * u.smallButton;
    u.eqKnob = 0.75 * u.knobUnit;
    u.knob = toInt (u.knobUnit);
    u.captionY = captionTop();
    u.textHeldUp = look.fontHeight > proportionalText;

    // The grid's labels and the pad's handles scale with the window; the labels no smaller than other texts.
    frame.setLabelScale (juce::jmax (Look::minimumTextHeight / 12.0f, (float) W / 900.0f));
    xyPad.setHandleScale ((float) W / 900.0f);

    layOutPresetRow (u);
    layOutKnobs (u);
    layOutIrSelection (u);
    layOutEqualiser (u);
    setValueBoxes (u);
}

void VellumarProcessorEditor::layOutPresetRow (const LayoutUnits& u)
{
    // Preset stepper and the effect's power switch along the top.
    presetsButton.setBounds (toInt (0.375 * u.W), toInt (0.08 * u.rowTop - 0.1 * u.smallButton), toInt (0.25 * u.W),
                             toInt (1.2 * u.smallButton));
    // Never square: a square switch takes the dark round image, on which the arrows' dark text would vanish.
    const int arrowWidth = juce::jmax (toInt (1.06 * u.smallButton), u.smallButton + 1);
    previousPresetButton.setBounds (toInt (presetsButton.getX() - 1.106 * u.smallButton), toInt (0.08 * u.rowTop),
                                    arrowWidth, u.smallButton);
    nextPresetButton.setBounds (toInt (right (presetsButton) + 0.106 * u.smallButton), toInt (0.08 * u.rowTop),
                                arrowWidth, u.smallButton);
    onButton.setBounds (toInt (0.93 * u.W), toInt (0.08 * u.rowTop), u.smallButton, u.smallButton);
}

void VellumarProcessorEditor::layOutKnobs (const LayoutUnits& u)
{
    const double knobUnit = u.knobUnit;
    const double knobGap = u.knobGap;
    const int knob = u.knob;

    const int captionY = u.captionY;

    preDelaySlider.setBounds (toInt (knobGap), u.rowTop, knob, knob);
    preVerbSlider.setBounds (toInt (right (preDelaySlider) + knobGap), preDelaySlider.getY(), knob, knob);
    decaySlider.setBounds (toInt (right (preVerbSlider) + knobGap), toInt (captionY + 0.65 * knobUnit),
                           toInt (2.0 * knobUnit), toInt (2.0 * knobUnit));
    characterSlider.setBounds (toInt (right (decaySlider) + 3.0 * knobGap), decaySlider.getY(),
                               toInt (2.0 * knobUnit), toInt (2.0 * knobUnit));
    driveSlider.setBounds (toInt (right (characterSlider) + knobGap), preDelaySlider.getY(), knob, knob);
    widthSlider.setBounds (toInt (right (driveSlider) + knobGap), preDelaySlider.getY(), knob, knob);
    lfoSpeedSlider.setBounds (preDelaySlider.getX(), toInt (bottom (preDelaySlider) + 2.0 * knobGap), knob, knob);
    lfoDepthSlider.setBounds (toInt (right (lfoSpeedSlider) + knobGap), lfoSpeedSlider.getY(), knob, knob);
    sideChainSlider.setBounds (driveSlider.getX(), lfoSpeedSlider.getY(), knob, knob);
    mixSlider.setBounds (toInt (right (sideChainSlider) + knobGap), lfoSpeedSlider.getY(), knob, knob);
}

void VellumarProcessorEditor::layOutIrSelection (const LayoutUnits& u)
{
    const int W = u.W;
    const int typeButtonWidth = u.typeButtonWidth;
    const int smallButton = u.smallButton;
    const int captionY = u.captionY;

    // Impulse-response type row, and the numbers hanging below it in the middle.
    const int typeY = toInt (captionY - 0.1 * u.knobUnit);
    const int typeHeight = toInt (0.5 * typeButtonWidth);
    roomButton.setBounds (toInt (0.5 * W - 2.7 * typeButtonWidth), typeY, typeButtonWidth, typeHeight);
    hallButton.setBounds (toInt (0.5 * W - 1.6 * typeButtonWidth), typeY, typeButtonWidth, typeHeight);
    plateButton.setBounds (toInt (0.5 * W - 0.5 * typeButtonWidth), typeY, typeButtonWidth, typeHeight);
    springButton.setBounds (toInt (0.5 * W + 0.6 * typeButtonWidth), typeY, typeButtonWidth, typeHeight);
    spaceButton.setBounds (toInt (0.5 * W + 1.7 * typeButtonWidth), typeY, typeButtonWidth, typeHeight);

    const int numberX = toInt (0.5 * W - 0.5 * smallButton);
    oneButton.setBounds (numberX, toInt (bottom (roomButton) + 0.2 * smallButton), smallButton, smallButton);
    twoButton.setBounds (numberX, toInt (bottom (oneButton) + 0.15 * smallButton), smallButton, smallButton);
    threeButton.setBounds (numberX, toInt (bottom (twoButton) + 0.15 * smallButton), smallButton, smallButton);
    fourButton.setBounds (numberX, toInt (bottom (threeButton) + 0.15 * smallButton), smallButton, smallButton);
    fiveButton.setBounds (numberX, toInt (bottom (fourButton) + 0.15 * smallButton), smallButton, smallButton);

    versionLabel.setBounds (toInt (W - 2.25 * u.knobUnit), 0, toInt (2.0 * u.knobUnit), toInt (0.8 * captionY));
    textureLabel.setBounds (toInt (0.5 * W - 2.0 * smallButton), toInt (bottom (fiveButton) + 0.1 * smallButton),
                            4 * smallButton, toInt (0.7 * smallButton));
}

void VellumarProcessorEditor::layOutEqualiser (const LayoutUnits& u)
{
    const double knobUnit = u.knobUnit;
    const double eqButton = u.eqButton;
    const double eqKnob = u.eqKnob;
    const int knob = u.knob;
    const int captionY = u.captionY;

    // The display frame and the equaliser strips on either side of it.
    const int eqTop = toInt (0.033 * u.W + bottom (mixSlider));
    frame.setBounds (toInt (preVerbSlider.getX() + 0.5 * knobUnit), toInt (eqTop + 0.15 * knobUnit),
                     driveSlider.getX() - preVerbSlider.getX(),
                     toInt (bottom (mixSlider) - captionY - 0.15 * knobUnit));

    for (auto* display : std::initializer_list<juce::Component*> { &spectrumAnalyzer, &frequencyCurve, &xyPad })
        display->setBounds (0, 0, frame.getWidth(), frame.getHeight());

    const int leftCentre = toInt (preDelaySlider.getX() + 0.5 * (frame.getX() - preDelaySlider.getX()));
    const int rightCentre = toInt (right (frame) + 0.5 * toInt (right (mixSlider) - right (frame) + 0.2 * mixSlider.getWidth()));
    const int eqSide = toInt (eqButton);
    const int eqKnobSide = toInt (eqKnob);

    // In a small window the held-up texts need more room between the strips' captions: the knobs under them move
    // down just as far as their captions' texts must, into the room the strips leave below.
    const double text = look.fontHeight;
    const double stripTextBottom = eqTop + 0.5 * (eqSide + text);
    const auto below = [&] (double proportionalY, double textBottom)
    { return u.textHeldUp ? juce::jmax (toInt (proportionalY), knobTopBelowText (textBottom)) : toInt (proportionalY); };

    onEqButton.setBounds (preDelaySlider.getX(), eqTop, eqSide, eqSide);
    preEqLabel.setBounds (toInt (leftCentre - 0.5 * knobUnit), eqTop, knob, eqSide);
    lowCutSlider.setBounds (preEqLabel.getX(), below (bottom (preEqLabel) + 0.15 * knobUnit, stripTextBottom), knob, knob);

    // The low cut's value text sits at the foot of its knob, in a box at least the legible text's height.
    const double lowCutValueBottom = bottom (lowCutSlider) - 0.5 * (juce::jmax (0.21 * knobUnit, text + 2.0) - text);
    highCutSlider.setBounds (preEqLabel.getX(), below (bottom (lowCutSlider) + 0.25 * knobUnit, lowCutValueBottom), knob, knob);

    postEqLabel.setBounds (toInt (rightCentre - 0.5 * eqKnob), eqTop, eqKnobSide, eqSide);
    const int gainY = below (bottom (postEqLabel) + 0.2 * eqKnob, stripTextBottom);
    const int eqShift = gainY - toInt (bottom (postEqLabel) + 0.2 * eqKnob);
    gainSlider.setBounds (toInt (rightCentre - 1.2 * eqKnob), gainY, eqKnobSide, eqKnobSide);
    int freqY = toInt (bottom (postEqLabel) + 0.95 * knobUnit) + eqShift;
    int freqSide = knob;

    if (u.textHeldUp)
    {
        // FREQ's caption clears GAIN's and Q's values; the knob gives up what it must so that the filter types
        // under it stay on the lower panel.
        const int gainBottom = gainY + eqKnobSide;
        freqY = juce::jmax (freqY, knobTopBelowText (gainBottom - 0.5 * (std::ceil (Look::minimumTextHeight) + 2 - text)));
        const int inset = toInt (0.45 * preDelaySlider.getX());
        const int panelBottom = toInt (0.042 * u.W + bottom (mixSlider)) + bottom (mixSlider) + inset - captionY;
        freqSide = juce::jmin (knob, panelBottom - 2 - eqSide - toInt (0.15 * eqButton) - freqY);
    }

    const int freqX = toInt (rightCentre - 0.5 * (u.textHeldUp ? freqSide : knobUnit));
    freqSlider.setBounds (freqX, freqY, freqSide, freqSide);
    qSlider.setBounds (toInt (rightCentre + 0.2 * eqKnob), gainSlider.getY(), eqKnobSide, eqKnobSide);
    bandOnButton.setBounds (toInt (rightCentre - 0.5 * eqButton), toInt (gainSlider.getY() + 0.1 * eqKnob), eqSide, eqSide);

    lowCutTypeButton.setBounds (toInt (rightCentre - 2.3 * eqButton), toInt (bottom (freqSlider) + 0.15 * eqButton), eqSide, eqSide);
    lowShelfTypeButton.setBounds (toInt (right (lowCutTypeButton) - 0.05 * eqButton), lowCutTypeButton.getY(), eqSide, eqSide);
    peakTypeButton.setBounds (toInt (right (lowShelfTypeButton) - 0.1 * eqButton), lowShelfTypeButton.getY(), eqSide, eqSide);
    highShelfTypeButton.setBounds (toInt (right (peakTypeButton) - 0.1 * eqButton), peakTypeButton.getY(), eqSide, eqSide);
    highCutTypeButton.setBounds (toInt (right (highShelfTypeButton) - 0.1 * eqButton), highShelfTypeButton.getY(), eqSide, eqSide);
}

void VellumarProcessorEditor::setValueBoxes (const LayoutUnits& u)
{
    const double knobUnit = u.knobUnit;
    const double eqKnob = u.eqKnob;

    // Value boxes: read-only once laid out (the construction's editable boxes are replaced here). A box is never
    // lower than its text; in a small window a small knob's box takes the knob's whole width, so the held-up text
    // fits it (the two large knobs' boxes have room enough).
    const auto textBox = [this, &u] (juce::Slider& slider, double w, double h)
    {
        const bool widen = u.textHeldUp && &slider != &decaySlider && &slider != &characterSlider;
        const int width = widen ? juce::jmax (toInt (w), slider.getWidth()) : toInt (w);
        const int height = juce::jmax (toInt (h), (int) std::ceil (Look::minimumTextHeight) + 2);
        slider.setTextBoxStyle (juce::Slider::TextBoxBelow, true, width, height);
    };

    for (auto* slider : { &preVerbSlider, &preDelaySlider, &lfoSpeedSlider, &lfoDepthSlider, &driveSlider,
                          &sideChainSlider, &mixSlider, &widthSlider })
        textBox (*slider, 0.7 * knobUnit, 0.2 * knobUnit);

    textBox (decaySlider, 0.85 * knobUnit, 0.4 * knobUnit);
    textBox (characterSlider, 0.85 * knobUnit, 0.4 * knobUnit);
    textBox (lowCutSlider, 0.7 * knobUnit, 0.21 * knobUnit);
    textBox (highCutSlider, 0.7 * knobUnit, 0.21 * knobUnit);
    textBox (gainSlider, 0.5 * knobUnit, 0.2 * eqKnob);
    textBox (qSlider, 0.5 * knobUnit, 0.2 * eqKnob);
    textBox (freqSlider, 0.8 * knobUnit, 0.28 * eqKnob);
}

int VellumarProcessorEditor::captionTop() const
{
    // An attached caption is as high as its text plus JUCE's margins: the label's border (1 + 1) and 6 pixels.
    const int rowTop = toInt (0.139 * getHeight());
    return rowTop - (8 + juce::roundToInt (0.013f * (float) getWidth() + 0.5f));
}

int VellumarProcessorEditor::knobTopBelowText (double textBottom) const
{
    // The caption's text is centred in its box, which ends where the knob starts.
    const double text = look.fontHeight;
    const double captionHeight = 8 + juce::roundToInt (text + 0.5);
    return (int) std::ceil (textBottom + 1.0 + 0.5 * (captionHeight + text));
}

//==============================================================================
void VellumarProcessorEditor::paint (juce::Graphics& g)
{
    // The face is static between layouts: it is drawn once per size and then only copied, wherever a control
    // over it repaints. On a scaled display it is drawn directly, so it stays as sharp as the rest.
    if (g.getInternalContext().getPhysicalPixelScaleFactor() != 1.0f)
    {
        paintBackground (g);
    }
    else
    {
        if (backgroundCache.getBounds() != getLocalBounds())
        {
            backgroundCache = juce::Image (juce::Image::ARGB, getWidth(), getHeight(), false);
            juce::Graphics cacheGraphics (backgroundCache);
            paintBackground (cacheGraphics);
        }

        g.drawImageAt (backgroundCache, 0, 0);
    }

    // The title, at the image's own aspect ratio (1000 / 230), over the face rather than in it: its scaled,
    // translucent edges blend differently into a cached copy.
    const int T = toInt (0.146 * getHeight());
    const int titleHeight = toInt (0.4 * T);
    g.setImageResamplingQuality (juce::Graphics::highResamplingQuality);
    g.drawImage (titleImage, 3 * toInt (0.45 * preDelaySlider.getX()), toInt (0.07 * T), toInt (4.3478 * titleHeight),
                 titleHeight, 0, 0, titleImage.getWidth(), titleImage.getHeight());
}

void VellumarProcessorEditor::paintBackground (juce::Graphics& g)
{
    const int W = getWidth();
    const int inset = toInt (0.45 * preDelaySlider.getX());
    const int cx = preDelayLabel.getX();
    const int cy = captionTop();

    g.setImageResamplingQuality (juce::Graphics::highResamplingQuality);

    g.setGradientFill (accentGradient);
    g.fillAll();

    // Two panels, upper behind the knob rows and lower behind the equaliser, the same size. In a small window, where
    // the texts are held at their legible minimum, a long caption in the outer columns fills its knob's width: the
    // panels then reach out to 3 px from the window's sides, and their corners shrink with the window, so that no
    // border runs through a caption.
    const bool textHeldUp = look.fontHeight > 0.013f * (float) W;
    const int sideInset = textHeldUp ? juce::jmax (inset, cx - 3) : inset;
    const float cornerSize = 25.0f * juce::jmin (1.0f, (float) W / 900.0f);
    const int panelX = cx - sideInset;
    const int panelW = right (mixSlider) + sideInset - panelX;
    const int panelH = bottom (mixSlider) + inset - (cy - 2 * inset);
    const juce::Rectangle<float> upper ((float) panelX, (float) (cy - 2 * inset), (float) panelW, (float) panelH);
    const auto lower = upper.withY ((float) (toInt (0.042 * W + bottom (mixSlider)) - 2 * inset));

    g.setGradientFill (panelGradient);
    g.fillRoundedRectangle (upper, cornerSize);
    g.fillRoundedRectangle (lower, cornerSize);

    const auto upperInner = upper.withTrimmedLeft (3.0f).withTrimmedTop (3.0f);
    const auto lowerInner = lower.withTrimmedLeft (3.0f).withTrimmedTop (3.0f);

    g.setTiledImageFill (textureImage, 0, 0, 0.5f);
    g.fillRoundedRectangle (upperInner, cornerSize);
    g.fillRoundedRectangle (lowerInner, cornerSize);

    g.setColour (blackQuelt);
    g.drawRoundedRectangle (upperInner, cornerSize, 3.0f);
    g.drawRoundedRectangle (lowerInner, cornerSize, 3.0f);

    g.setColour (blackUltraQuelt);
    g.drawRoundedRectangle (upper.translated (1.0f, 1.0f), cornerSize, 2.0f);
    g.drawRoundedRectangle (lower.translated (1.0f, 1.0f), cornerSize, 2.0f);

    // The number buttons hang on one thread that ends at the TEXTURE caption.
    g.setColour (greyTextBoxQuelt);
    const auto threadX = (float) toInt (oneButton.getX() + 0.5 * oneButton.getWidth());
    const juce::TextButton* const numbers[] { &oneButton, &twoButton, &threeButton, &fourButton, &fiveButton };

    for (int i = 0; i < 4; ++i)
        g.drawLine (threadX, (float) bottom (*numbers[i]), threadX, (float) numbers[i + 1]->getY(), 2.0f);

    // It stops above the caption's text, which sits higher in the small caption of a small window.
    const auto textTop = 0.5f * ((float) textureLabel.getHeight() - look.fontHeight);
    g.drawLine (threadX, (float) bottom (fiveButton), threadX,
                (float) textureLabel.getY() + juce::jmin (2.0f, std::floor (textTop) - 1.0f), 2.0f);

    // The frame's border; the frame and its displays paint over the fill.
    const auto frameArea = frame.getBounds().toFloat();
    g.setColour (blackUltraQuelt);
    g.drawRoundedRectangle (frameArea, 1.0f, 11.0f);
    g.setColour (blackQuelt);
    g.drawRoundedRectangle (frameArea.translated (1.0f, 1.0f), 3.0f, 5.0f);
    g.setColour (greyQuelt);
    g.fillRoundedRectangle (frameArea.withWidth (frameArea.getWidth() + 1.0f), 1.0f);

}

//==============================================================================
void VellumarProcessorEditor::mouseDoubleClick (const juce::MouseEvent& e)
{
    const auto toggle = [] (juce::Button& b) { b.setToggleState (! b.getToggleState(), juce::sendNotification); };
    const auto* clicked = e.eventComponent;

    if (clicked == &widthSlider)
    {
        toggle (lrFlipButton);
    }
    else if (clicked == &driveSlider)
    {
        const int t = audioProcessor.grain.driveTypeIndex;
        const int next = t < 4 ? t + 1 : 0;
        audioProcessor.grain.driveTypeIndex = next;
        driveTypeSlider.setValue (next, juce::sendNotification);
    }
    else if (clicked == &preVerbSlider)
    {
        toggle (shimmerButton);
    }
    else if (clicked == &preDelaySlider)
    {
        toggle (preDelaySyncButton);
    }
    else if (clicked == &decaySlider)
    {
        toggle (decaySyncButton);
    }
    else if (clicked == &lfoDepthSlider)
    {
        toggle (tremoloButton);
    }
    else if (clicked == &lfoSpeedSlider)
    {
        toggle (lfoSyncButton);
    }
}
