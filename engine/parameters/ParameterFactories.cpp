#include "engine/parameters/ParameterFactories.h"

#include <cmath>

namespace eq
{
namespace
{
    juce::String fixed (double value, int decimals)
    {
        // juce::String formats with the classic locale: always a point as the separator.
        return juce::String (value, decimals);
    }

    juce::String dbText (float value, int) { return fixed (value, 2) + " dB"; }
    juce::String twoDecimals (float value, int) { return fixed (value, 2); }
    float leadingNumber (const juce::String& text) { return text.getFloatValue(); }
} // namespace

float frequencyFromPosition (float position) noexcept
{
    return 20.0f * exp2f (10.0f * position);
}

float positionFromFrequency (float frequency) noexcept
{
    return std::log (frequency / 20.0f) / 0.6931472f / 10.0f;
}

juce::String frequencyText (float v)
{
    if (v < 100.0f)
        return fixed (v, 1) + " Hz";

    if (v < 1000.0f)
        return juce::String ((double) v, 0) + " Hz";

    if (v < 10000.0f)
        return fixed (v / 1000.0f, 2) + " kHz";

    if (v < 20000.0f)
        return fixed (v / 1000.0f, 1) + " kHz";

    return "20 kHz";
}

std::unique_ptr<juce::AudioParameterBool> makePrmBool (const juce::String& id, const juce::String& name,
                                                       bool defaultValue, const juce::String& label)
{
    return std::make_unique<juce::AudioParameterBool> (juce::ParameterID { id, 1 }, name, defaultValue,
                                                       juce::AudioParameterBoolAttributes().withLabel (label));
}

std::unique_ptr<juce::AudioParameterChoice> makePrmChoice (const juce::String& id, const juce::String& name,
                                                           const juce::StringArray& choices, int defaultIndex,
                                                           const juce::String& label)
{
    return std::make_unique<juce::AudioParameterChoice> (juce::ParameterID { id, 1 }, name, choices, defaultIndex,
                                                         juce::AudioParameterChoiceAttributes().withLabel (label));
}

std::unique_ptr<juce::AudioParameterFloat> makePrmFreq (const juce::String& id, const juce::String& name,
                                                        float defaultValue, const juce::String& label)
{
    juce::NormalisableRange<float> range (
        20.0f, 20000.0f,
        [] (float, float, float p) { return frequencyFromPosition (p); },
        [] (float, float, float f) { return positionFromFrequency (f); });

    return std::make_unique<juce::AudioParameterFloat> (
        juce::ParameterID { id, 1 }, name, range, defaultValue, label, juce::AudioProcessorParameter::genericParameter,
        [] (float value, int) { return frequencyText (value); }, nullptr);
}

std::unique_ptr<juce::AudioParameterFloat> makePrmDb (const juce::String& id, const juce::String& name,
                                                      float defaultValue, const juce::String& label,
                                                      juce::AudioProcessorParameter::Category category)
{
    return std::make_unique<juce::AudioParameterFloat> (juce::ParameterID { id, 1 }, name,
                                                        juce::NormalisableRange<float> (-24.0f, 24.0f, 0.01f, 1.0f),
                                                        defaultValue, label, category, dbText, leadingNumber);
}

std::unique_ptr<juce::AudioParameterFloat> makePrmFloat (const juce::String& id, const juce::String& name,
                                                         float start, float end, float interval, float defaultValue,
                                                         const juce::String& label)
{
    return std::make_unique<juce::AudioParameterFloat> (
        juce::ParameterID { id, 1 }, name, juce::NormalisableRange<float> (start, end, interval, 0.1f), defaultValue,
        label, juce::AudioProcessorParameter::genericParameter, twoDecimals, leadingNumber);
}
} // namespace eq
