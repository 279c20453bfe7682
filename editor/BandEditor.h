#pragma once

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

/** The ID of a band parameter: the band number in decimal followed by the suffix, as "1Freq" or "5Type". */
juce::String getPrmName (int band, const juce::String& suffix);

/** The complete control set of one equaliser band, bound to the band's five parameters.

    The editor holds one per band and never shows them: its single visible set of band controls reads from and
    writes to the selected band's controls here. Through the attachments these controls always follow the band
    parameters, whoever changes them, and a change made on them reaches the parameters.
*/
class BandEditor : public juce::Component
{
public:
    BandEditor (juce::AudioProcessorValueTreeState& state, int band);
    ~BandEditor() override;

    void paint (juce::Graphics&) override;
    void resized() override;

    juce::ToggleButton onToggle;
    juce::ComboBox typeBox;
    juce::Slider freqSlider;
    juce::Slider gainSlider;
    juce::Slider qSlider;

private:
    using ButtonAttachment = juce::AudioProcessorValueTreeState::ButtonAttachment;
    using ComboBoxAttachment = juce::AudioProcessorValueTreeState::ComboBoxAttachment;
    using SliderAttachment = juce::AudioProcessorValueTreeState::SliderAttachment;

    juce::AudioProcessorValueTreeState& valueTreeState;

    // Declared after the controls, so they let go of them first.
    std::unique_ptr<ButtonAttachment> onAttachment;
    std::unique_ptr<ComboBoxAttachment> typeAttachment;
    std::unique_ptr<SliderAttachment> freqAttachment;
    std::unique_ptr<SliderAttachment> gainAttachment;
    std::unique_ptr<SliderAttachment> qAttachment;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (BandEditor)
};
