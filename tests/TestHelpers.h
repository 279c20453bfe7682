#pragma once

#include "engine/processor/OfflineRendering.h"
#include "engine/processor/VellumarProcessor.h"

#include "SignalHelpers.h"

#include <chrono>
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

/** Gives both engines a unit impulse instead of the built-in pair, so that the wet path is transparent apart
    from the engines' latency (1024 samples) and their normalisation (gain 1/8). Call before preparing. */
inline void useUnitImpulsePair (VellumarProcessor& processor)
{
    juce::AudioBuffer<float> impulse (2, 1);
    impulse.setSample (0, 0, 1.0f);
    impulse.setSample (1, 0, 1.0f);
    processor.irBufferA = impulse;
    processor.irBufferB = impulse;
    processor.irName = "unit impulse";
    processor.irLoaded = true;
}

constexpr int engineLatency = 1024;

/** The wet gain of a linear path: the engines' normalisation (1/8) and the drive stage's fixed +17 dB. */
inline const float unitPairGain = 0.125f * juce::Decibels::decibelsToGain (17.0f);

/** The drive stage has no switch; at Drive 0 it is the plain +17 dB gain. Sets Drive 0 and starts the stage's own
    mixer there rather than gliding from fully driven over 50 ms, so the wet path is linear from the first sample.
    Call after preparing. */
inline void makeDriveLinear (VellumarProcessor& processor)
{
    setParameter (processor, "Drive", 0.0f);
    processor.grain.grainMixer.setWetMixProportion (0.0f);
    processor.grain.grainMixer.reset();
}

/** Makes the wet path plain around the engines: the equaliser off (its input cuts would shape test signals),
    engine A alone, fully wet, no pre-delay, and the tremolo at depth 0, which passes the signal untouched where the
    vibrato would delay it. */
inline void setPlainWetPath (VellumarProcessor& processor)
{
    setParameter (processor, "onEqButton", 0.0f);
    setParameter (processor, "Character", 0.0f);
    setParameter (processor, "Mix", 100.0f);
    setParameter (processor, "PreDelay", 0.0f);
    setParameter (processor, "Tremolo", 1.0f);
}

/** Prepares and waits until the engines run their responses, as an offline render does. */
inline void prepareForRender (VellumarProcessor& processor, double sampleRate, int blockSize)
{
    prepare (processor, sampleRate, blockSize);
    waitForImpulseResponses (processor);
}

/** Calls `step` until `done` holds and returns whether it did. The timeout is there only for a broken build. */
template <typename Done, typename Step>
bool waitUntil (Done&& done, Step&& step, std::chrono::seconds timeout = std::chrono::seconds (20))
{
    const auto until = std::chrono::steady_clock::now() + timeout;

    while (! done())
    {
        if (std::chrono::steady_clock::now() > until)
            return false;

        step();
    }

    return true;
}

/** Runs a whole buffer through the processor in blocks of `blockSize`. */
inline void processInBlocks (VellumarProcessor& processor, juce::AudioBuffer<float>& audio, int blockSize)
{
    juce::MidiBuffer midi;
    for (int start = 0; start < audio.getNumSamples(); start += blockSize)
    {
        const int length = std::min (blockSize, audio.getNumSamples() - start);
        juce::AudioBuffer<float> block (audio.getArrayOfWritePointers(), audio.getNumChannels(), start, length);
        processor.processBlock (block, midi);
    }
}
} // namespace testing_helpers
