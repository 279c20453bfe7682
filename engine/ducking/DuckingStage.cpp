#include "engine/processor/VellumarProcessor.h"

#include <algorithm>
#include <cmath>

// The ducking stage lowers the wet signal while the key is loud, so that the reverb makes room for the source.
// A peak detector per key channel feeds a gain computer (ratio `duckRatio`, with a 3 dB step at the threshold),
// whose reduction is smoothed with separate attack and release times. A quarter of the threshold's depth is given
// back as make-up gain, so a silent key lifts the wet signal a little while a loud one pushes it well down.

//==============================================================================
void VellumarProcessor::prepareDucking (double sampleRate)
{
    duckSampleRate = (float) sampleRate;
    reductionDb = 0.0f;

    smoothingCoefficients[0] = 1.0 - (double) std::exp (-1.0f / (duckAttackTime * duckSampleRate));
    smoothingCoefficients[1] = 1.0 - (double) std::exp (-1.0f / (duckReleaseTime * duckSampleRate));

    for (auto& detector : keyDetectors)
    {
        detector.releaseTime = duckReleaseTime;
        detector.setDetector (duckSampleRate);
    }

    duckRatio = 12.0f;

    // The first chunk after a preparation takes the amount as it stands; later changes glide.
    amountSmoother.reset (sampleRate, 0.05);
    duckMixStep = 1.0f / std::max (1.0f, 0.02f * (float) sampleRate);
    amountSmoother.setCurrentAndTargetValue (amountSmoother.getTargetValue());
    amountStarted = false;
}

// The stage only acts above 1 %; from there the threshold falls with the amount: 50 % puts it at -6 dB, 90 % at
// -20 dB and 100 % at the floor of -100 dB.
void VellumarProcessor::updateDuckThreshold (float amount) noexcept
{
    // Both follow from the amount alone; an unchanged amount (every chunk of a steady setting) keeps them.
    if (amount == duckThresholdAmount)
        return;

    duckThresholdAmount = amount;
    duckActivity = std::max (0.0f, amount - 1.0f);

    const float v = juce::jlimit (0.0f, 5.0f, (100.0f - amount) * 0.01f);
    duckThresholdDb = v > 0.00001f ? 20.0f * std::log10 (v) : -100.0f;
}

//==============================================================================
void VellumarProcessor::processDucking (juce::dsp::AudioBlock<float>& block, float sideChainPercent,
                                        bool sidechainConnected)
{
    const auto numSamples = (int) block.getNumSamples();

    // An amount that is not a number counts as 0 % (the stage glides off) instead of poisoning the amount glide.
    const float amount = std::isfinite (sideChainPercent) ? sideChainPercent : 0.0f;
    updateDuckThreshold (amount);
    auto key = chooseDuckKey (block, numSamples, sidechainConnected);
    const bool ramping = glideDuckAmount (amount);

    if (key.left == nullptr)
        return;

    const float slope = -2.0f * (1.0f - 1.0f / duckRatio);

    // Out of the mix and settled at 0 %, with no reduction left, a quiet key changes nothing but the detectors:
    // the reduction would move from 0 to 0 and the mix stays at 0.
    if (skipNeutralStages && ! ramping && duckActivity == 0.0f && duckMix == 0.0f && duckThresholdDb >= 0.0f)
    {
        for (int i = 0; i < numSamples; ++i)
            if (const float envelope = key.envelope (i); envelope >= 1.0f || reductionDb != 0.0f)
                followDuckKey (envelope, slope);
    }
    else
    {
        duckSamples (block, key, slope, ramping);
    }

    keyDetectors = key.detectors;

    if (ramping && ! amountSmoother.isSmoothing())
        updateDuckThreshold (amount);
}

// The external key always has two channels, whatever the main layout; the wet block keys itself with as many
// channels as it has (one or two). A side-chain buffer too short for this chunk is never read.
VellumarProcessor::DuckKey VellumarProcessor::chooseDuckKey (juce::dsp::AudioBlock<float>& block, int numSamples,
                                                             bool sidechainConnected) const
{
    const auto numChannels = block.getNumChannels();

    // The detectors run on copies in locals for the chunk: in the processor, each envelope written could be any
    // float the loop reads, and every sample would load everything again.
    DuckKey key { nullptr, nullptr, keyDetectors };

    if (! compressorOn && sidechainConnected && sidechainBuffer.getNumChannels() >= 2
        && sidechainBuffer.getNumSamples() >= numSamples)
    {
        key.left = sidechainBuffer.getReadPointer (0);
        key.right = sidechainBuffer.getReadPointer (1);
    }
    else if (numChannels > 0)
    {
        key.left = block.getChannelPointer (0);
        key.right = numChannels > 1 ? block.getChannelPointer (1) : nullptr;
    }

    return key;
}

// Returns whether the amount glides through this chunk. The first chunk after a preparation takes the amount as it
// stands, and the stage is in or out of the mix at once.
bool VellumarProcessor::glideDuckAmount (float amount)
{
    amountSmoother.setTargetValue (amount);

    if (amountStarted)
        return amountSmoother.isSmoothing();

    amountSmoother.setCurrentAndTargetValue (amount);
    amountStarted = true;
    duckMix = duckActivity > 0.0f ? 1.0f : 0.0f;
    return false;
}

// Below 1.0 the level in decibels is negative, so a threshold at or above 0 dB is not reached and the logarithm is
// not needed: with the amount at 0 the threshold is 0 dB and the key's level never counts.
void VellumarProcessor::followDuckKey (float envelope, float slope) noexcept
{
    float targetDb = 0.0f;

    if (! skipNeutralStages || duckThresholdDb < 0.0f || envelope >= 1.0f)
    {
        const float levelDb = envelope > 0.00001f ? 20.0f * std::log10 (envelope) : -100.0f;
        targetDb = duckThresholdDb > levelDb ? 0.0f : slope * (levelDb - duckThresholdDb) - 3.0f;
    }

    // More reduction wanted moves at the attack rate, less at the release rate.
    const double k = reductionDb > targetDb ? smoothingCoefficients[0] : smoothingCoefficients[1];
    reductionDb = (float) ((double) reductionDb + ((double) targetDb - (double) reductionDb) * k);
}

void VellumarProcessor::duckSamples (juce::dsp::AudioBlock<float>& block, DuckKey& chunkKey, float slope, bool ramping)
{
    const auto numSamples = (int) block.getNumSamples();
    const auto numChannels = block.getNumChannels();
    auto key = chunkKey; // in a local, where the samples written cannot be the detectors' state

    for (int i = 0; i < numSamples; ++i)
    {
        if (ramping)
            updateDuckThreshold (amountSmoother.getNextValue());

        followDuckKey (key.envelope (i), slope);

        // The stage joins and leaves at 1 % with a 20 ms crossfade: the gain computer's 3 dB step at the
        // threshold would otherwise switch in as a click with a loud key.
        const float mixTarget = duckActivity > 0.0f ? 1.0f : 0.0f;
        duckMix = mixTarget > duckMix ? std::min (duckMix + duckMixStep, mixTarget) : std::max (duckMix - duckMixStep, mixTarget);

        // Out of the mix (below 1 %, once faded) the gain is not heard, and not computed.
        if (duckMix > 0.0f)
        {
            const double gain = std::pow (10.0, ((double) reductionDb - 0.25 * (double) duckThresholdDb) / 20.0);
            const double applied = 1.0 - (double) duckMix + (double) duckMix * gain;

            for (size_t c = 0; c < numChannels; ++c)
            {
                auto* samples = block.getChannelPointer (c);
                samples[i] = (float) (samples[i] * applied);
            }
        }
    }

    chunkKey.detectors = key.detectors;
}

void VellumarProcessor::captureSidechain (const juce::AudioBuffer<float>& buffer)
{
    auto* key = getBus (true, 1);

    if (key == nullptr || ! key->isEnabled())
        return;

    const int n = buffer.getNumSamples();
    sidechainBuffer.setSize (2, n, false, false, true);
    const int extra = buffer.getNumChannels() - mainInputChannels;

    if (extra == 1)
    {
        sidechainBuffer.copyFrom (0, 0, buffer, mainInputChannels, 0, n);
        sidechainBuffer.copyFrom (1, 0, buffer, mainInputChannels, 0, n);
    }
    else if (extra == 2)
    {
        sidechainBuffer.copyFrom (0, 0, buffer, mainInputChannels, 0, n);
        sidechainBuffer.copyFrom (1, 0, buffer, mainInputChannels + 1, 0, n);
    }
}
