#pragma once

#include "editor/BandEditor.h"
#include "editor/Frame.h"
#include "editor/FrequencyCurve.h"
#include "editor/Look.h"
#include "editor/SpectrumAnalyzer.h"
#include "editor/TempoSync.h"
#include "editor/XYPad.h"

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <array>
#include <functional>
#include <memory>

class VellumarProcessor;

/** The plug-in window.

    Twelve knobs, the impulse-response type and number switches, the power and filter-type icons, one set of
    band knobs for the band selected on the XY pad, the preset stepper and menu, and the frame that holds the
    spectrum, the response curve and the pad. The window scales with the host between 450 x 300 and
    1800 x 1200 at an aspect ratio of 1.5; `resized` lays everything out as fractions of the size and keeps the
    size in the processor, so the next window opens where this one was left.

    The mode switches (LR FLIP, the three syncs, TREMOLO, COMPRESSOR, SHIMMER), the drive-type slider and the five
    band editors hold parameter state but are never shown: a double-click on a knob toggles its companion switch,
    and the shared band knobs read from and write to the selected band's editor.

    Members are public so that the tests can reach every control the way a user would see it; the order of
    declaration is the order of construction (and of destruction, reversed), which the attachments rely on.
*/
class VellumarProcessorEditor : public juce::AudioProcessorEditor,
                                public juce::Slider::Listener,
                                private juce::Timer
{
public:
    VellumarProcessorEditor (VellumarProcessor& owner, juce::AudioProcessorValueTreeState& state);
    ~VellumarProcessorEditor() override;

    //==============================================================================
    void mouseDown (const juce::MouseEvent& e) override;
    void mouseDoubleClick (const juce::MouseEvent& e) override;
    void mouseWheelMove (const juce::MouseEvent& e, const juce::MouseWheelDetails& wheel) override;
    void paint (juce::Graphics& g) override;
    void resized() override;

    // The editor listens to the three knobs that can follow the tempo, to know when the user is turning one.
    void sliderValueChanged (juce::Slider*) override;
    void sliderDragStarted (juce::Slider*) override;
    void sliderDragEnded (juce::Slider*) override;

    //==============================================================================
    /** Adds a knob with its value box below it (60 x 15 until the first layout) and the given value suffix. */
    void createSlider (juce::Slider& slider, const juce::String& suffix);

    /** Adds a centred caption that sits above `component` and follows its visibility. */
    void createLabel (juce::Label& label, const juce::String& caption, juce::Component* component);

    /** Lists the factory presets ("*.rev") of the preset folder, sorted by path without regard to case. */
    void loadPresetFiles();

    /** Loads the next (+1) or previous (-1) preset, wrapping around the ends, and keeps the MIX knob's value. */
    void stepPreset (int step);

    /** Shows the band filter type `typeId` (1 Low Cut .. 5 High Cut; anything else reads as Peak) on the five
        filter-type buttons. */
    void selectFilterType (int typeId);

    /** Decodes the pair named by the processor's type and number and hands it to the convolution engines. */
    void loadConvolution();

    //==============================================================================
    juce::AudioProcessorValueTreeState& valueTreeState;
    VellumarProcessor& audioProcessor;
    Look look;
    juce::Image titleImage;
    juce::ColourGradient accentGradient, panelGradient;
    juce::Array<juce::File> presetFiles;
    int presetIndex = 0;

    juce::TextButton roomButton, hallButton, plateButton, springButton, spaceButton;
    juce::TextButton oneButton, twoButton, threeButton, fourButton, fiveButton;
    juce::TextButton lrFlipButton, lfoSyncButton, preDelaySyncButton, decaySyncButton, tremoloButton,
        compressorButton, shimmerButton;
    juce::Slider driveTypeSlider;
    juce::Label versionLabel, textureLabel, preEqLabel, postEqLabel;

    using ButtonAttachment = juce::AudioProcessorValueTreeState::ButtonAttachment;
    using SliderAttachment = juce::AudioProcessorValueTreeState::SliderAttachment;

    std::unique_ptr<ButtonAttachment> roomButtonAttachment, hallButtonAttachment, plateButtonAttachment,
        springButtonAttachment, spaceButtonAttachment;
    std::unique_ptr<ButtonAttachment> oneButtonAttachment, twoButtonAttachment, threeButtonAttachment,
        fourButtonAttachment, fiveButtonAttachment;
    std::unique_ptr<ButtonAttachment> lrFlipButtonAttachment, lfoSyncButtonAttachment, preDelaySyncButtonAttachment,
        decaySyncButtonAttachment, tremoloButtonAttachment, compressorButtonAttachment, shimmerButtonAttachment;
    std::unique_ptr<SliderAttachment> driveTypeSliderAttachment;
    std::unique_ptr<ButtonAttachment> onButtonAttachment, onEqButtonAttachment;

    juce::Slider preVerbSlider;
    juce::Label preVerbLabel;
    std::unique_ptr<SliderAttachment> preVerbAttachment;
    juce::Slider preDelaySlider;
    juce::Label preDelayLabel;
    std::unique_ptr<SliderAttachment> preDelayAttachment;
    juce::Slider lfoSpeedSlider;
    juce::Label lfoSpeedLabel;
    std::unique_ptr<SliderAttachment> lfoSpeedAttachment;
    juce::Slider lfoDepthSlider;
    juce::Label lfoDepthLabel;
    std::unique_ptr<SliderAttachment> lfoDepthAttachment;
    juce::Slider decaySlider;
    juce::Label decayLabel;
    std::unique_ptr<SliderAttachment> decayAttachment;
    juce::Slider characterSlider;
    juce::Label characterLabel;
    std::unique_ptr<SliderAttachment> characterAttachment;
    juce::Slider driveSlider;
    juce::Label driveLabel;
    std::unique_ptr<SliderAttachment> driveAttachment;
    juce::Slider sideChainSlider;
    juce::Label sideChainLabel;
    std::unique_ptr<SliderAttachment> sideChainAttachment;
    juce::Slider mixSlider;
    juce::Label mixLabel;
    std::unique_ptr<SliderAttachment> mixAttachment;
    juce::Slider widthSlider;
    juce::Label widthLabel;
    std::unique_ptr<SliderAttachment> widthAttachment;
    juce::Slider lowCutSlider;
    juce::Label lowCutLabel;
    std::unique_ptr<SliderAttachment> lowCutAttachment;
    juce::Slider highCutSlider;
    juce::Label highCutLabel;
    std::unique_ptr<SliderAttachment> highCutAttachment;

    juce::Slider freqSlider, gainSlider, qSlider;
    juce::Label gainLabel, freqLabel, qLabel;
    juce::ImageButton onButton, bandOnButton, onEqButton;
    juce::ImageButton lowCutTypeButton, lowShelfTypeButton, peakTypeButton, highShelfTypeButton, highCutTypeButton;
    juce::TextButton presetsButton, previousPresetButton, nextPresetButton;
    juce::PopupMenu presetMenu;
    Frame frame;
    SpectrumAnalyzer spectrumAnalyzer;
    FrequencyCurve frequencyCurve;
    XYPad xyPad;
    std::array<BandEditor, 5> bandEditors;
    juce::Image textureImage;

protected:
    /** Whether the user is working this control: the mouse is over it or dragging it. The callbacks of visible
        controls act only then, so that changes made by code (attachments, other callbacks) do not echo. */
    virtual bool isUnderUserControl (const juce::Component& control) const;

    /** The folder the preset browser lists. */
    virtual juce::File getPresetFolder() const;

    /** Shows the preset menu; `onResult` receives the chosen item ID, or 0 when the menu was dismissed. */
    virtual void showPresetMenu (const juce::PopupMenu::Options& options, std::function<void (int)> onResult);

private:
    void timerCallback() override;

    // Construction steps that take many lines, in the order the constructor runs them.
    void labelTextButtons();
    void setUpImageButtons();
    void addSelectionButtons();
    void attachButtons();
    void createKnobs();
    void setUpLabels();
    void assignSelectionCallbacks();
    void assignBandCallbacks();
    void assignSharedKnobCallbacks();
    void assignModeCallbacks();
    void assignSyncCallbacks();
    void assignPresetCallbacks();
    void setUpAnalyserHandOver();

    // The measures the layout is worked out from, taken from the window's size by `resized`.
    struct LayoutUnits
    {
        int W = 0;
        double knobUnit = 0.0, knobGap = 0.0;
        int rowTop = 0, typeButtonWidth = 0, smallButton = 0;
        double eqButton = 0.0, eqKnob = 0.0;
        int knob = 0;
        int captionY = 0;           // top of the knob captions' row, see captionTop()
        bool textHeldUp = false;    // the window is so small that texts are held at their legible minimum
    };

    /** The top of PREDELAY's caption as it is placed at the window's proportional text height. The layout hangs
        from it; in a small window, where texts are held at a legible minimum, the captions grow upwards from their
        knobs instead of pushing the layout down. */
    int captionTop() const;

    /** Where a knob must start so that its caption's text clears a text whose bottom is at `textBottom`. */
    int knobTopBelowText (double textBottom) const;

    /** Draws everything of the face that only a new layout changes: background, panels, thread, frame border and
        title. `paint` keeps it in `backgroundCache` until the next layout. */
    void paintBackground (juce::Graphics& g);

    juce::Image backgroundCache;

    // The parts of the layout, in the order `resized` places them; later parts hang from earlier ones.
    void layOutPresetRow (const LayoutUnits& u);
    void layOutKnobs (const LayoutUnits& u);
    void layOutIrSelection (const LayoutUnits& u);
    void layOutEqualiser (const LayoutUnits& u);
    void setValueBoxes (const LayoutUnits& u);

    // What the callbacks do.
    void showBand (int bandIndex);
    void setCaption (juce::Label& label, const juce::String& text, bool alternativeMode);
    void showLfoCaptions();
    void applyLfoSync();
    void applyPreDelaySync();
    void applyDecaySync();
    void applyKnobSync (juce::Slider& knob, temposync::Knob which, bool on);
    void showModesAlreadyOn();
    void showSelectedBand();
    void showIrSelection();
    void loadPresetKeepingMix (int index, const juce::File& file, const juce::String& displayName);
    void openPresetMenu();

    // The tempo-synced knob the user is turning now, if any: only such a turn snaps to a note value.
    const juce::Slider* knobTurnedByUser = nullptr;

    // The shortest note of each synchronised knob (by temposync::Knob), as its switch last turned on, and the time
    // of the last wheel event acted on (JUCE can hand the same one over twice).
    std::array<float, 3> syncBases {};
    juce::Time lastWheelTime;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VellumarProcessorEditor)
};
