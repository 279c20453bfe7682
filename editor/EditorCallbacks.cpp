#include "VellumarProcessorEditor.h"

#include "Palette.h"
#include "engine/parameters/ParameterIds.h"
#include "engine/processor/VellumarProcessor.h"

#include <memory>
#include <utility>

// What the editor adds on top of its parameter attachments: captions relabelled by the mode switches, switch
// states copied into the processor at once (so the response curve greys out before the next audio chunk, and
// while no audio runs), and the five equaliser bands edited through one shared set of controls.
//
// The hidden controls (mode switches, drive type, the bands' Gain sliders) react to every change, so the captions
// follow presets and automation. Visible controls act only on the user's own clicks and drags.

namespace
{
/** DRIVE caption by drive type; type 0 is the knob's plain caption. */
const char* driveCaption (int type)
{
    switch (type)
    {
        case 1: return "SOFT";
        case 2: return "TUBE";
        case 3: return "TAPE";
        case 4: return "FUZZ";
        default: return "DRIVE";
    }
}
} // namespace

void VellumarProcessorEditor::setCaption (juce::Label& label, const juce::String& text, bool alternativeMode)
{
    label.setColour (juce::Label::textColourId, alternativeMode ? blueLightQuelt : greyWhiteQuelt);
    label.setText (text, juce::dontSendNotification);
    label.setJustificationType (juce::Justification::centred); // as the captions were made, so they stay in line
}

//==============================================================================
void VellumarProcessorEditor::assignBandCallbacks()
{
    // Whatever changes the selected band (the pad, the host, a preset) shows at once in the shared controls; the
    // other bands' changes leave them alone.
    for (int k = 0; k < (int) bandEditors.size(); ++k)
    {
        auto& band = bandEditors[(size_t) k];
        const auto showIfSelected = [this, k]
        {
            if (xyPad.selectedHandle == k)
                showBand (k);
        };

        band.gainSlider.onValueChange = showIfSelected;
        band.freqSlider.onValueChange = showIfSelected;
        band.qSlider.onValueChange = showIfSelected;
        band.onToggle.onClick = showIfSelected;
        band.typeBox.onChange = [showIfSelected, enableGain = band.typeBox.onChange]
        {
            if (enableGain != nullptr)
                enableGain();

            showIfSelected();
        };
    }

    // A press on the pad may select another band without moving it.
    xyPad.addMouseListener (this, false);

    assignSharedKnobCallbacks();

    bandOnButton.onClick = [this]
    {
        const int selected = xyPad.selectedHandle;

        if (isUnderUserControl (bandOnButton) && selected >= 0 && selected < (int) bandEditors.size())
            bandEditors[(size_t) selected].onToggle.setToggleState (bandOnButton.getToggleState(), juce::sendNotification);
    };

    juce::ImageButton* const typeButtons[] { &lowCutTypeButton, &lowShelfTypeButton, &peakTypeButton,
                                             &highShelfTypeButton, &highCutTypeButton };

    for (int i = 0; i < 5; ++i)
    {
        auto& button = *typeButtons[i];
        button.onClick = [this, &button, i]
        {
            const int selected = xyPad.selectedHandle;

            if (isUnderUserControl (button) && button.getToggleState() && selected >= 0
                && selected < (int) bandEditors.size())
                bandEditors[(size_t) selected].typeBox.setSelectedItemIndex (i, juce::sendNotification);
        };
    }

    onEqButton.onClick = [this]
    {
        if (isUnderUserControl (onEqButton))
            audioProcessor.eqOffDisplay = ! onEqButton.getToggleState();
    };

    onButton.onClick = [this]
    {
        if (isUnderUserControl (onButton))
            audioProcessor.effectOffDisplay = ! onButton.getToggleState();
    };
}

void VellumarProcessorEditor::assignSharedKnobCallbacks()
{
    // The shared knobs write to the selected band's hidden slider, whose attachment sets the band parameter. That
    // slider is never dragged, so each drag (or wheel turn) of a shared knob opens and closes the host's gesture on
    // the band parameter itself, and the values reach the parameter at once, inside it.
    const auto copyToSelectedBand = [this] (juce::Slider& shared, juce::Slider BandEditor::*bandSlider, const char* suffix)
    {
        auto gesture = std::make_shared<juce::RangedAudioParameter*> (nullptr);

        shared.onDragStart = [this, gesture, suffix]
        {
            if (const int selected = xyPad.selectedHandle; selected >= 0 && selected < (int) bandEditors.size())
                if ((*gesture = valueTreeState.getParameter (getPrmName (selected + 1, suffix))) != nullptr)
                    (*gesture)->beginChangeGesture();
        };

        shared.onValueChange = [this, &shared, bandSlider]
        {
            const int selected = xyPad.selectedHandle;

            if (isUnderUserControl (shared) && selected >= 0 && selected < (int) bandEditors.size())
                (bandEditors[(size_t) selected].*bandSlider).setValue (shared.getValue(), juce::sendNotificationSync);
        };

        shared.onDragEnd = [gesture]
        {
            if (auto* parameter = std::exchange (*gesture, nullptr))
                parameter->endChangeGesture();
        };
    };

    copyToSelectedBand (gainSlider, &BandEditor::gainSlider, ids::bandGain);
    copyToSelectedBand (freqSlider, &BandEditor::freqSlider, ids::bandFreq);
    copyToSelectedBand (qSlider, &BandEditor::qSlider, ids::bandQ);
}

void VellumarProcessorEditor::mouseDown (const juce::MouseEvent& e)
{
    if (e.eventComponent == &xyPad)
        showSelectedBand();
}

void VellumarProcessorEditor::showSelectedBand()
{
    const int selected = xyPad.selectedHandle;

    if (selected >= 0 && selected < (int) bandEditors.size())
        showBand (selected);
}

// The shared controls show band k: its values, its switch and its type; a cut filter, or a band that is off, has no
// gain to edit.
void VellumarProcessorEditor::showBand (int k)
{
    auto& band = bandEditors[(size_t) k];

    gainSlider.setValue (band.gainSlider.getValue(), juce::dontSendNotification);
    freqSlider.setValue (band.freqSlider.getValue(), juce::dontSendNotification);
    qSlider.setValue (band.qSlider.getValue(), juce::dontSendNotification);
    bandOnButton.setToggleState (band.onToggle.getToggleState(), juce::dontSendNotification);

    const int typeId = band.typeBox.getSelectedId();
    selectFilterType (typeId);
    gainSlider.setEnabled (band.onToggle.getToggleState() && typeId != 1 && typeId != 5);
}

void VellumarProcessorEditor::selectFilterType (int typeId)
{
    juce::ImageButton* const buttons[] { &lowCutTypeButton, &lowShelfTypeButton, &peakTypeButton,
                                         &highShelfTypeButton, &highCutTypeButton };

    for (auto* button : buttons)
        button->setToggleState (false, juce::dontSendNotification);

    const bool known = typeId >= 1 && typeId <= 5;
    buttons[known ? typeId - 1 : 2]->setToggleState (true, juce::dontSendNotification);
}

//==============================================================================
void VellumarProcessorEditor::assignModeCallbacks()
{
    lrFlipButton.onClick = [this]
    {
        const bool on = lrFlipButton.getToggleState();
        widthSlider.setTextValueSuffix (on ? " % FLIP" : " %");
        setCaption (widthLabel, on ? "LR FLIP" : "WIDTH", on);
    };

    tremoloButton.onClick = [this]
    {
        audioProcessor.tremoloOn = tremoloButton.getToggleState();
        showLfoCaptions();
    };

    assignSyncCallbacks();

    compressorButton.onClick = [this]
    {
        const bool on = compressorButton.getToggleState();
        audioProcessor.compressorOn = on;
        setCaption (sideChainLabel, on ? "COMPRESSOR" : "SIDECHAIN", on);
    };

    shimmerButton.onClick = [this]
    {
        const bool on = shimmerButton.getToggleState();
        setCaption (preVerbLabel, on ? "SHIMMER" : "PREVERB", on);
    };

    driveTypeSlider.onValueChange = [this]
    {
        auto type = (int) driveTypeSlider.getValue();

        if (type >= 5)
            type = 0;

        audioProcessor.grain.driveTypeIndex = type;
        setCaption (driveLabel, driveCaption (type), type != 0);
    };
}

// An editor that opens shows the modes its switches hold, as their callbacks would have left them; the processor's
// copies of the switches may be stale while no audio runs.
void VellumarProcessorEditor::showModesAlreadyOn()
{
    audioProcessor.tremoloOn = tremoloButton.getToggleState();
    audioProcessor.lfoSyncOn = lfoSyncButton.getToggleState();
    audioProcessor.compressorOn = compressorButton.getToggleState();

    for (auto* modeSwitch : { &lrFlipButton, &compressorButton, &shimmerButton, &preDelaySyncButton, &decaySyncButton,
                              &lfoSyncButton, &tremoloButton })
        if (modeSwitch->getToggleState())
            modeSwitch->onClick();

    const auto type = (int) driveTypeSlider.getValue();
    audioProcessor.grain.driveTypeIndex = type < 5 ? type : 0;

    if (audioProcessor.grain.driveTypeIndex != 0)
        driveTypeSlider.onValueChange();
}

// LFO DEPTH names the mode, LFO SPEED the mode and whether it follows the tempo.
void VellumarProcessorEditor::showLfoCaptions()
{
    const bool tremolo = audioProcessor.tremoloOn;
    const bool sync = audioProcessor.lfoSyncOn;

    setCaption (lfoDepthLabel, tremolo ? "TREMOLO" : "LFO DEPTH", tremolo);
    setCaption (lfoSpeedLabel, juce::String (tremolo ? "TREM" : "LFO") + (sync ? " SYNC" : " SPEED"), sync);
}
