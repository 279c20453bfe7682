#include "BandEditor.h"

#include "engine/parameters/ParameterIds.h"

juce::String getPrmName (int band, const juce::String& suffix)
{
    return juce::String (band) + suffix;
}

BandEditor::BandEditor (juce::AudioProcessorValueTreeState& state, int band)
    : typeBox (juce::String()), valueTreeState (state)
{
    jassert (band >= 1 && band <= ids::numBands);
    onToggle.setClickingTogglesState (true);

    onAttachment = std::make_unique<ButtonAttachment> (valueTreeState, getPrmName (band, ids::bandOn), onToggle);
    freqAttachment = std::make_unique<SliderAttachment> (valueTreeState, getPrmName (band, ids::bandFreq), freqSlider);
    gainAttachment = std::make_unique<SliderAttachment> (valueTreeState, getPrmName (band, ids::bandGain), gainSlider);
    qAttachment = std::make_unique<SliderAttachment> (valueTreeState, getPrmName (band, ids::bandQ), qSlider);

    // Item IDs are the Type choice index plus one. The items must exist before the attachment selects the
    // parameter's current choice among them.
    typeBox.addItem ("Low Cut", 1);
    typeBox.addItem ("Low Shelf", 2);
    typeBox.addItem ("Peak", 3);
    typeBox.addItem ("High Shelf", 4);
    typeBox.addItem ("High Cut", 5);
    typeAttachment = std::make_unique<ComboBoxAttachment> (valueTreeState, getPrmName (band, ids::bandType), typeBox);

    // Set after the attachment's first selection, so the gain starts enabled whatever the type; a cut has no gain.
    typeBox.onChange = [this]
    {
        const auto id = typeBox.getSelectedId();
        gainSlider.setEnabled (onToggle.getToggleState() && id != 1 && id != 5);
    };
}

BandEditor::~BandEditor() = default;

void BandEditor::paint (juce::Graphics&) {}

void BandEditor::resized() {}
