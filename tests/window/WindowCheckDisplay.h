#pragma once

#include "WindowCheckX11.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <functional>
#include <utility>
#include <vector>

// Steps of vellumar-window-check that look at what the hosted editor's window shows. Points and areas are in the
// editor's own pixels; the steps add the window's position.
namespace windowcheck
{
/** Notes a failed condition (the run then ends with status 1). */
void check (bool condition, const juce::String& what);

/** Runs the host's message loop for a while; runs it until `done` holds (false after 20 s). */
void pump (int milliseconds);
bool pumpUntil (const std::function<bool()>& done);

/** Three wheel notches up on PREDELAY at `knob`: synchronised, each lands on the next note value above; plain, it
    rises. */
void wheelPreDelay (const XSession& x, juce::AudioProcessorEditor& editor, juce::Point<int> knob,
                    juce::AudioProcessorParameter& preDelay, juce::AudioProcessorParameter& sync);

/** Clicks each power switch off and on again: off, no orange of the raised low cut stays anywhere in `curveArea`. */
using PowerSwitch = std::pair<juce::Point<int>, juce::AudioProcessorParameter*>;
void clickPowerSwitches (const XSession& x, juce::AudioProcessorEditor& editor, juce::Rectangle<int> curveArea,
                         const std::vector<PowerSwitch>& switches);

/** Raises a band, double-clicks its handle on the XY pad (`pad`): 0 dB, and nothing white left where it was. */
void doubleClickHandle (const XSession& x, juce::AudioProcessorEditor& editor, juce::Rectangle<int> pad,
                        juce::AudioProcessorParameter& frequency, juce::AudioProcessorParameter& gain);

/** Opens the preset menu with PRESETS (at `presets`): it shows within the window, and a click beside it closes it. */
void openPresetMenu (const XSession& x, juce::AudioProcessorEditor& editor, juce::Point<int> presets);
} // namespace windowcheck
