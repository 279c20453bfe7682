#include "engine/processor/VellumarProcessor.h"

#include "engine/parameters/ParameterIds.h"

#include <algorithm>
#include <utility>

namespace
{
// The convolution engines lag by their partition, which is the larger of 1024 and the block size they are prepared
// for. Chunks never exceed 1024 samples, so the wet path's timing does not depend on the host's block size.
constexpr int longestChunk = 1024;
} // namespace

void VellumarProcessor::prepareToPlay (double sampleRate, int hostBlockSize)
{
    const int samplesPerBlock = std::min (hostBlockSize, longestChunk);

    // The editor's selection loads the engines at this rate, on the message thread, while a host may prepare on the
    // audio thread: the rate and the engines change only under the pair's lock.
    std::unique_lock<std::mutex> irLock (irMutex);
    const auto numOutputs = (juce::uint32) getTotalNumOutputChannels();
    processSpec = { sampleRate, (juce::uint32) samplesPerBlock, numOutputs };

    // The mixer's own start is fully wet; it starts at the mix the parameter holds instead of gliding from there.
    dryWetMixer.prepare (processSpec);
    dryWetMix.setWetMixProportion (apvts.getRawParameterValue (ids::mix)->load() / 100.0f);
    dryWetMixer.reset();
    dryWetMix.prepare (processSpec);

    preDelayLine.prepare (processSpec);
    preDelayLine.reset();
    preDelayLine.setMaximumDelayInSamples ((int) sampleRate);
    preDelayLine.reset();

    const float preDelayMs = apvts.getRawParameterValue (ids::preDelay)->load();
    preDelaySmoother.setCurrentAndTargetValue (preDelayMs);

    convolutionPair.prepare (processSpec);
    irLock.unlock();

    prepareStages (sampleRate, samplesPerBlock);

    {
        const std::lock_guard<std::mutex> lock (irMutex);
        loadedIrName.clear();
    }

    heldDecay = apvts.getRawParameterValue (ids::decay)->load();
    decayHeldSamples = 0;
    decayHoldSamples = std::max (1, (int) (decayHoldSeconds * sampleRate));

    loadPairAtPreparation();
}

// Every stage after the engines, at the new rate and block size.
void VellumarProcessor::prepareStages (double sampleRate, int samplesPerBlock)
{
    const auto numOutputs = getTotalNumOutputChannels();

    prepareDucking (sampleRate);

    sidechainBuffer.setSize (2, samplesPerBlock);

    lowCutFilter.prepare (processSpec);
    highCutFilter.prepare (processSpec);
    updateInputEq();

    preVerb.prepare (sampleRate);
    prepareModulation (sampleRate);

    grain.prepare (processSpec);

    for (auto& band : bands)
        band.prepare (processSpec);

    lowCutSmoother.prepare (sampleRate);
    highCutSmoother.prepare (sampleRate);

    effectFade.prepare (sampleRate, samplesPerBlock, numOutputs);
    earlyReverbFade.prepare (sampleRate, samplesPerBlock, numOutputs);
    inputCutFade.prepare (sampleRate, samplesPerBlock, numOutputs);
    bandFade.prepare (sampleRate, samplesPerBlock, numOutputs);

    widthSmoother.reset (sampleRate, 0.05);
    widthSmoother.setCurrentAndTargetValue (widthSmoother.getTargetValue());

    flipStep = 1.0f / std::max (1.0f, 0.02f * (float) sampleRate);
    stereoStageStarted = false;

    if (auto* mainInput = getBus (true, 0))
        mainInputChannels = mainInput->getNumberOfChannels();
    outputChannels = getTotalNumOutputChannels();
}

// The pair a preparation plays: the one a restored session asked for, the one already playing (trimmed and handed
// over again at the new rate), or on the first preparation the one the switches name.
void VellumarProcessor::loadPairAtPreparation()
{
    if (const int restored = restoredIrSelection.exchange (-1); restored >= 0)
    {
        loadIrSelection (restored >> 8, restored & 0xff);
        return;
    }

    if (irLoaded)
    {
        updateIRParameters();
        collectResponses();
        return;
    }

    // First preparation: the pair follows the switches. Room is tested before Plate, so Room wins when both are on.
    irLoaded = true;
    const auto isOn = [this] (const char* id) { return apvts.getRawParameterValue (id)->load() == 1.0f; };

    for (const auto& [id, type] : { std::pair { ids::roomButton, 1 }, std::pair { ids::plateButton, 0 },
                                    std::pair { ids::springButton, 2 }, std::pair { ids::spaceButton, 4 } })
    {
        if (isOn (id))
        {
            irTypeIndex = type;
            break;
        }
    }

    const char* numberIds[] { ids::oneButton, ids::twoButton, ids::threeButton, ids::fourButton, ids::fiveButton };

    for (int number = 1; number <= 5; ++number)
    {
        if (isOn (numberIds[number - 1]))
        {
            irNumber = number;
            break;
        }
    }

    decodeIRPair();
    updateIRParameters();
    collectResponses();
}
