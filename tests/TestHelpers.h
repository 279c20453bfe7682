#pragma once

#include "engine/VellumarProcessor.h"

#include <cmath>
#include <memory>

namespace testing_helpers
{
/** Sets a parameter in its own units, as the host would. */
inline void setParameter (VellumarProcessor& processor, const juce::String& id, float value)
{
    auto* parameter = processor.apvts.getParameter (id);
    jassert (parameter != nullptr);
    parameter->setValueNotifyingHost (parameter->convertTo0to1 (value));
}

inline float getParameter (VellumarProcessor& processor, const juce::String& id)
{
    return processor.apvts.getRawParameterValue (id)->load();
}

/** A processor with the given main input and output channel counts (1 or 2) and the side-chain on or off. */
inline std::unique_ptr<VellumarProcessor> makeProcessor (int inputs = 2, int outputs = 2, int sidechainChannels = 0)
{
    auto processor = std::make_unique<VellumarProcessor>();
    juce::AudioProcessor::BusesLayout layout;
    const auto set = [] (int channels) {
        return channels == 0 ? juce::AudioChannelSet::disabled()
             : channels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
    };
    layout.inputBuses.add (set (inputs));
    layout.inputBuses.add (set (sidechainChannels));
    layout.outputBuses.add (set (outputs));
    processor->setBusesLayout (layout);
    return processor;
}

inline void prepare (VellumarProcessor& processor, double sampleRate, int blockSize)
{
    processor.setRateAndBufferSizeDetails (sampleRate, blockSize);
    processor.prepareToPlay (sampleRate, blockSize);
}

/** True when every sample is finite and none is subnormal. */
inline bool allFiniteAndNormal (const juce::AudioBuffer<float>& buffer)
{
    for (int c = 0; c < buffer.getNumChannels(); ++c)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
        {
            const float s = buffer.getSample (c, i);
            if (! std::isfinite (s) || std::fpclassify (s) == FP_SUBNORMAL)
                return false;
        }
    return true;
}

/** Fills every channel with reproducible noise of the given peak level. */
inline void fillNoise (juce::AudioBuffer<float>& buffer, juce::Random& random, float level = 0.5f)
{
    for (int c = 0; c < buffer.getNumChannels(); ++c)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            buffer.setSample (c, i, level * (random.nextFloat() * 2.0f - 1.0f));
}
} // namespace testing_helpers
