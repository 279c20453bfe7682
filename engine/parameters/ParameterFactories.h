#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>

/** Builders of the equaliser-band and output-gain parameters, each with its range and its value texts. */
namespace eq
{
std::unique_ptr<juce::AudioParameterBool> makePrmBool (const juce::String& id, const juce::String& name,
                                                       bool defaultValue, const juce::String& label);

std::unique_ptr<juce::AudioParameterChoice> makePrmChoice (const juce::String& id, const juce::String& name,
                                                           const juce::StringArray& choices, int defaultIndex,
                                                           const juce::String& label);

/** 20 Hz to 20 kHz over ten octaves: position p maps to 20 * 2^(10p). */
std::unique_ptr<juce::AudioParameterFloat> makePrmFreq (const juce::String& id, const juce::String& name,
                                                        float defaultValue, const juce::String& label);

/** -24 to +24 dB in steps of 0.01 dB. */
std::unique_ptr<juce::AudioParameterFloat> makePrmDb (const juce::String& id, const juce::String& name,
                                                      float defaultValue, const juce::String& label,
                                                      juce::AudioProcessorParameter::Category category);

/** A plain number shown with two decimals; the band Q uses it with 0.2 to 20, step 0.01, skew 0.1, default 0.8. */
std::unique_ptr<juce::AudioParameterFloat> makePrmFloat (const juce::String& id, const juce::String& name,
                                                         float start, float end, float interval, float defaultValue,
                                                         const juce::String& label);

/** The frequency mapping of the band parameters, shared with the editor's displays. */
float frequencyFromPosition (float position) noexcept;
float positionFromFrequency (float frequency) noexcept;

/** The text a band frequency shows: "40.0 Hz", "170 Hz", "3.00 kHz", "10.0 kHz", "20 kHz". */
juce::String frequencyText (float hertz);
} // namespace eq
