#include "VellumarProcessorEditor.h"

#include "Palette.h"
#include "engine/parameters/ParameterIds.h"
#include "engine/processor/VellumarProcessor.h"

#include <VellumarEditorData.h>

namespace
{
juce::Image imageFromMemory (const char* data, int size) { return juce::ImageCache::getFromMemory (data, size); }

// Captions are centred, so side margins only take room from a long caption in a small window.
const juce::BorderSize<int> captionBorder { 1, 1, 1, 1 };

std::array<XYPad::ParameterPair, 5> padParameters (juce::AudioProcessorValueTreeState& state)
{
    std::array<XYPad::ParameterPair, 5> pairs;

    for (int band = 1; band <= 5; ++band)
        pairs[(size_t) band - 1] = { state.getParameter (getPrmName (band, ids::bandFreq)),
                                     state.getParameter (getPrmName (band, ids::bandGain)) };

    return pairs;
}
} // namespace

//==============================================================================
VellumarProcessorEditor::VellumarProcessorEditor (VellumarProcessor& owner, juce::AudioProcessorValueTreeState& state)
    : juce::AudioProcessorEditor (owner),
      valueTreeState (state),
      audioProcessor (owner),
      spectrumAnalyzer (owner),
      frequencyCurve (owner),
      xyPad (padParameters (state)),
      bandEditors { { BandEditor (state, 1), BandEditor (state, 2), BandEditor (state, 3), BandEditor (state, 4),
                      BandEditor (state, 5) } }
{
    setLookAndFeel (&look);

    textureImage = imageFromMemory (EditorData::texture_jpg, EditorData::texture_jpgSize);

    labelTextButtons();
    setUpImageButtons();
    addSelectionButtons();
    attachButtons();
    createKnobs();
    setUpLabels();

    assignSelectionCallbacks();
    assignBandCallbacks();
    assignModeCallbacks();
    assignSyncCallbacks();
    assignPresetCallbacks();

    setOpaque (true);
    setWantsKeyboardFocus (true);
    setPaintingIsUnclipped (true);

    addAndMakeVisible (frame);
    frame.addAndMakeVisible (spectrumAnalyzer);
    frame.addAndMakeVisible (frequencyCurve);
    frame.addAndMakeVisible (xyPad);

    setResizable (true, false);
    getConstrainer()->setFixedAspectRatio (1.5);
    setSize (audioProcessor.editorWidth, audioProcessor.editorHeight);
    setResizeLimits (450, 300, 1800, 1200);

    setUpAnalyserHandOver();

    showSelectedBand();
    showModesAlreadyOn();

    for (auto* c : std::initializer_list<juce::Component*> {
             &preVerbSlider, &preDelaySlider, &lfoSpeedSlider, &lfoDepthSlider, &decaySlider, &characterSlider,
             &driveSlider, &sideChainSlider, &mixSlider, &widthSlider, &roomButton, &hallButton, &plateButton,
             &springButton, &spaceButton, &oneButton, &twoButton, &threeButton, &fourButton, &fiveButton,
             &textureLabel, &presetsButton, &previousPresetButton, &nextPresetButton, &frame, &spectrumAnalyzer,
             &frequencyCurve, &xyPad, &gainSlider, &freqSlider, &qSlider, &lowCutSlider, &highCutSlider,
             &preEqLabel, &postEqLabel })
        c->setVisible (true);

    repaint();
}

VellumarProcessorEditor::~VellumarProcessorEditor()
{
    juce::PopupMenu::dismissAllActiveMenus();
    stopTimer();
    audioProcessor.decayDragging = false; // a drag the closing window cut short leaves Decay to the processor

    // Both power-switch attachments are declared before their buttons, so left to the member order they would
    // outlive the buttons and unregister from destroyed ones; they go first.
    onButtonAttachment.reset();
    onEqButtonAttachment.reset();

    for (auto* knob : { &widthSlider, &driveSlider, &sideChainSlider, &preDelaySlider, &preVerbSlider, &decaySlider,
                        &lfoDepthSlider, &lfoSpeedSlider })
        knob->removeMouseListener (this);

    xyPad.removeMouseListener (this);

    setLookAndFeel (nullptr);

    // The audio thread stops feeding the spectrum before anything it shares with the editor goes away.
    audioProcessor.analyserEnabled = false;
}

//==============================================================================
void VellumarProcessorEditor::labelTextButtons()
{
    roomButton.setButtonText ("ROOM");
    hallButton.setButtonText ("HALL");
    plateButton.setButtonText ("PLATE");
    springButton.setButtonText ("SPRING");
    spaceButton.setButtonText ("SPACE");
    oneButton.setButtonText ("1");
    twoButton.setButtonText ("2");
    threeButton.setButtonText ("3");
    fourButton.setButtonText ("4");
    fiveButton.setButtonText ("5");
    presetsButton.setButtonText ("PRESETS");
    previousPresetButton.setButtonText ("<");
    nextPresetButton.setButtonText (">");
    lrFlipButton.setButtonText ("LR FLIP");
    lfoSyncButton.setButtonText ("LFO SYNC");
    preDelaySyncButton.setButtonText ("PREDELAY SYNC");
    decaySyncButton.setButtonText ("DECAY SYNC");
    tremoloButton.setButtonText ("TREMOLO");
    compressorButton.setButtonText ("COMPRESSOR");
    shimmerButton.setButtonText ("SHIMMER");

    for (auto* button : { &presetsButton, &previousPresetButton, &nextPresetButton })
    {
        button->setColour (juce::TextButton::textColourOffId, blackUltraQuelt);
        button->setColour (juce::TextButton::textColourOnId, greyWhiteQuelt);
    }
}

void VellumarProcessorEditor::setUpImageButtons()
{
    const auto setImages = [] (juce::ImageButton& button, const juce::Image& normal, const juce::Image& down)
    {
        const auto clear = juce::Colours::transparentBlack;
        button.setImages (false, true, true, normal, 1.0f, clear, {}, 1.0f, clear, down, 1.0f, clear, 0.0f);
    };

    const auto powerOff = imageFromMemory (EditorData::power_off_png, EditorData::power_off_pngSize);
    const auto powerOn = imageFromMemory (EditorData::power_on_png, EditorData::power_on_pngSize);

    setImages (onButton, powerOff, powerOn);
    setImages (bandOnButton, powerOff, powerOn);
    setImages (onEqButton, powerOff, powerOn);
    setImages (lowCutTypeButton, imageFromMemory (EditorData::low_cut_off_png, EditorData::low_cut_off_pngSize),
               imageFromMemory (EditorData::low_cut_on_png, EditorData::low_cut_on_pngSize));
    setImages (lowShelfTypeButton, imageFromMemory (EditorData::low_shelf_off_png, EditorData::low_shelf_off_pngSize),
               imageFromMemory (EditorData::low_shelf_on_png, EditorData::low_shelf_on_pngSize));
    setImages (peakTypeButton, imageFromMemory (EditorData::peak_off_png, EditorData::peak_off_pngSize),
               imageFromMemory (EditorData::peak_on_png, EditorData::peak_on_pngSize));
    setImages (highShelfTypeButton, imageFromMemory (EditorData::high_shelf_off_png, EditorData::high_shelf_off_pngSize),
               imageFromMemory (EditorData::high_shelf_on_png, EditorData::high_shelf_on_pngSize));
    setImages (highCutTypeButton, imageFromMemory (EditorData::high_cut_off_png, EditorData::high_cut_off_pngSize),
               imageFromMemory (EditorData::high_cut_on_png, EditorData::high_cut_on_pngSize));
}

void VellumarProcessorEditor::addSelectionButtons()
{
    juce::Component* const typeButtons[] { &roomButton, &hallButton, &plateButton, &springButton, &spaceButton };
    juce::Component* const numberButtons[] { &oneButton, &twoButton, &threeButton, &fourButton, &fiveButton };
    juce::Component* const imageButtons[] { &onButton,       &bandOnButton,       &onEqButton,
                                            &lowCutTypeButton, &lowShelfTypeButton, &peakTypeButton,
                                            &highShelfTypeButton, &highCutTypeButton };

    for (auto* c : typeButtons)
        addAndMakeVisible (c);
    for (auto* c : numberButtons)
        addAndMakeVisible (c);
    for (auto* c : imageButtons)
        addAndMakeVisible (c);
    addAndMakeVisible (presetsButton);
    addAndMakeVisible (previousPresetButton);
    addAndMakeVisible (nextPresetButton);

    for (auto* button : { &roomButton, &hallButton, &plateButton, &springButton, &spaceButton, &oneButton, &twoButton,
                          &threeButton, &fourButton, &fiveButton, &lrFlipButton, &lfoSyncButton, &preDelaySyncButton,
                          &decaySyncButton, &tremoloButton, &compressorButton, &shimmerButton, &presetsButton })
        button->setClickingTogglesState (true);

    for (auto* button : { &onButton, &bandOnButton, &onEqButton, &lowCutTypeButton, &lowShelfTypeButton,
                          &peakTypeButton, &highShelfTypeButton, &highCutTypeButton })
        button->setClickingTogglesState (true);

    for (auto* button : { &roomButton, &hallButton, &plateButton, &springButton, &spaceButton })
        button->setRadioGroupId (1);
    for (auto* button : { &oneButton, &twoButton, &threeButton, &fourButton, &fiveButton })
        button->setRadioGroupId (2);
    for (auto* button : { &lowCutTypeButton, &lowShelfTypeButton, &peakTypeButton, &highShelfTypeButton, &highCutTypeButton })
        button->setRadioGroupId (4);
}

void VellumarProcessorEditor::attachButtons()
{
    auto& apvts = audioProcessor.apvts;
    roomButtonAttachment = std::make_unique<ButtonAttachment> (apvts, ids::roomButton, roomButton);
    plateButtonAttachment = std::make_unique<ButtonAttachment> (apvts, ids::plateButton, plateButton);
    springButtonAttachment = std::make_unique<ButtonAttachment> (apvts, ids::springButton, springButton);
    spaceButtonAttachment = std::make_unique<ButtonAttachment> (apvts, ids::spaceButton, spaceButton);
    oneButtonAttachment = std::make_unique<ButtonAttachment> (apvts, ids::oneButton, oneButton);
    twoButtonAttachment = std::make_unique<ButtonAttachment> (apvts, ids::twoButton, twoButton);
    threeButtonAttachment = std::make_unique<ButtonAttachment> (apvts, ids::threeButton, threeButton);
    fourButtonAttachment = std::make_unique<ButtonAttachment> (apvts, ids::fourButton, fourButton);
    fiveButtonAttachment = std::make_unique<ButtonAttachment> (apvts, ids::fiveButton, fiveButton);
    onButtonAttachment = std::make_unique<ButtonAttachment> (apvts, ids::onButton, onButton);
    onEqButtonAttachment = std::make_unique<ButtonAttachment> (apvts, ids::onEqButton, onEqButton);
    lrFlipButtonAttachment = std::make_unique<ButtonAttachment> (apvts, ids::lrFlipButton, lrFlipButton);
    lfoSyncButtonAttachment = std::make_unique<ButtonAttachment> (apvts, ids::lfoSync, lfoSyncButton);
    preDelaySyncButtonAttachment = std::make_unique<ButtonAttachment> (apvts, ids::preDelaySync, preDelaySyncButton);
    decaySyncButtonAttachment = std::make_unique<ButtonAttachment> (apvts, ids::decaySync, decaySyncButton);
    tremoloButtonAttachment = std::make_unique<ButtonAttachment> (apvts, ids::tremolo, tremoloButton);
    compressorButtonAttachment = std::make_unique<ButtonAttachment> (apvts, ids::compressor, compressorButton);
    shimmerButtonAttachment = std::make_unique<ButtonAttachment> (apvts, ids::shimmer, shimmerButton);
    driveTypeSliderAttachment = std::make_unique<SliderAttachment> (apvts, ids::driveType, driveTypeSlider);

    showIrSelection();
}

void VellumarProcessorEditor::createKnobs()
{
    auto& apvts = audioProcessor.apvts;

    const auto knob = [this, &apvts] (juce::Slider& slider, juce::Label& label, std::unique_ptr<SliderAttachment>& attachment,
                                      const char* suffix, const char* caption, const char* parameterId)
    {
        createSlider (slider, suffix);

        // The end of a DECAY drag retrims the responses once, rather than at every step of the drag or whenever
        // the hand rests during it; the flag goes down only once the responses are trimmed for the drag's value.
        if (&slider == &decaySlider)
        {
            decaySlider.onDragStart = [this] { audioProcessor.decayDragging = true; };
            decaySlider.onDragEnd = [this]
            {
                audioProcessor.updateIRParameters();
                audioProcessor.decayDragging = false;
                repaint();
            };
        }

        createLabel (label, caption, &slider);
        attachment = std::make_unique<SliderAttachment> (apvts, parameterId, slider);
    };

    knob (preVerbSlider, preVerbLabel, preVerbAttachment, " %", "PREVERB", ids::preVerb);
    knob (preDelaySlider, preDelayLabel, preDelayAttachment, " ms", "PREDELAY", ids::preDelay);
    knob (lfoSpeedSlider, lfoSpeedLabel, lfoSpeedAttachment, " Hz", "LFO SPEED", ids::lfoSpeed);
    knob (lfoDepthSlider, lfoDepthLabel, lfoDepthAttachment, " %", "LFO DEPTH", ids::lfoDepth);
    knob (decaySlider, decayLabel, decayAttachment, " s", "DECAY", ids::decay);
    knob (characterSlider, characterLabel, characterAttachment, " %", "CHARACTER", ids::character);
    knob (driveSlider, driveLabel, driveAttachment, " %", "DRIVE", ids::drive);
    knob (sideChainSlider, sideChainLabel, sideChainAttachment, " %", "SIDECHAIN", ids::sideChain);
    knob (mixSlider, mixLabel, mixAttachment, " %", "MIX", ids::mix);
    knob (widthSlider, widthLabel, widthAttachment, " %", "WIDTH", ids::width);

    // A double-click on one of these knobs toggles its hidden mode switch, and only that: the attachment's return
    // to the default value on a double-click would lose the knob's setting.
    for (auto* slider : { &widthSlider, &driveSlider, &sideChainSlider, &preDelaySlider, &preVerbSlider, &decaySlider,
                          &lfoDepthSlider, &lfoSpeedSlider })
    {
        slider->addMouseListener (this, true);
        slider->setDoubleClickReturnValue (false, 0.0);
    }

    // The knobs that can follow the tempo tell the editor while the user turns them: only such a turn snaps.
    for (auto* slider : { &lfoSpeedSlider, &preDelaySlider, &decaySlider })
        slider->addListener (this);

    preEqLabel.setText ("PRE EQ", juce::dontSendNotification);
    postEqLabel.setText ("POST EQ", juce::dontSendNotification);
    preEqLabel.setJustificationType (juce::Justification::centred);
    postEqLabel.setJustificationType (juce::Justification::centred);
    preEqLabel.setColour (juce::Label::textColourId, orangeCurve);
    postEqLabel.setColour (juce::Label::textColourId, blueTransQuelt);
    addAndMakeVisible (preEqLabel);
    addAndMakeVisible (postEqLabel);

    knob (lowCutSlider, lowCutLabel, lowCutAttachment, " Hz", "LOW CUT", ids::lowCut);
    knob (highCutSlider, highCutLabel, highCutAttachment, " Hz", "HIGH CUT", ids::highCut);

    // The shared band knobs are not attached: their callbacks copy values into the selected band.
    createSlider (gainSlider, " dB");
    createLabel (gainLabel, "GAIN", &gainSlider);
    gainSlider.setRange (-24.0, 24.0, 0.1);
    gainSlider.setMouseDragSensitivity (520);

    createSlider (freqSlider, " Hz");
    createLabel (freqLabel, "FREQ", &freqSlider);
    freqSlider.setRange (20.0, 20000.0, 2.0);
    freqSlider.setSkewFactor (0.2, false);
    freqSlider.setMouseDragSensitivity (520);

    createSlider (qSlider, {});
    createLabel (qLabel, "Q", &qSlider);
    qSlider.setRange (0.2, 20.0, 0.01);
    qSlider.setSkewFactor (0.2, false);
    qSlider.setMouseDragSensitivity (520);
}

void VellumarProcessorEditor::setUpLabels()
{
    titleImage = imageFromMemory (EditorData::title_png, EditorData::title_pngSize);

    versionLabel.setText ("Version : " + juce::String (VELLUMAR_VERSION), juce::dontSendNotification);
    versionLabel.setJustificationType (juce::Justification::right);
    versionLabel.setColour (juce::Label::textColourId, greyTextBoxQuelt);
    textureLabel.setText ("TEXTURE", juce::dontSendNotification);
    textureLabel.setJustificationType (juce::Justification::centred);
    addAndMakeVisible (textureLabel);

    for (auto* caption : { &textureLabel, &preEqLabel, &postEqLabel })
        caption->setBorderSize (captionBorder);
    textureLabel.setColour (juce::Label::textColourId, greyTextBoxQuelt);
}

// The spectrum reads one second of the wet signal. The FIFO and its buffer are sized while the audio thread is
// kept out of them, and the flag that lets it in is raised only once they are ready.
void VellumarProcessorEditor::setUpAnalyserHandOver()
{
    // A processor not prepared yet has no rate; one second at the construction rate stands in.
    const double rate = audioProcessor.processSpec.sampleRate;
    const int n = rate > 0.0 ? (int) rate : 44100;

    audioProcessor.waitUntilAnalyserIsIdle();
    audioProcessor.analyserFifo.setTotalSize (n);
    audioProcessor.analyserBuffer.setSize (1, n, false, false, false);
    audioProcessor.analyserFifo.reset();
    audioProcessor.analyserBuffer.clear();
    audioProcessor.analyserEnabled = true;
}

//==============================================================================
void VellumarProcessorEditor::createSlider (juce::Slider& slider, const juce::String& suffix)
{
    addAndMakeVisible (slider);
    slider.setSliderStyle (juce::Slider::RotaryHorizontalVerticalDrag);
    slider.setTextValueSuffix (suffix);
    slider.setTextBoxStyle (juce::Slider::TextBoxBelow, false, 60, 15);
    slider.setTextBoxIsEditable (true);
}

void VellumarProcessorEditor::createLabel (juce::Label& label, const juce::String& caption, juce::Component* component)
{
    addAndMakeVisible (label);
    label.setText (caption, juce::dontSendNotification);
    label.setJustificationType (juce::Justification::centred);
    label.setBorderSize (captionBorder);
    label.attachToComponent (component, false);
}

//==============================================================================
void VellumarProcessorEditor::timerCallback() {}
void VellumarProcessorEditor::sliderValueChanged (juce::Slider*) {}

bool VellumarProcessorEditor::isUnderUserControl (const juce::Component& control) const
{
    return control.isMouseOverOrDragging();
}
