#include "engine/processor/VellumarProcessor.h"

#include "engine/processor/ChunkLoop.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

void VellumarProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    juce::ScopedNoDenormals noDenormals;

    forEachChunk (buffer, (int) processSpec.maximumBlockSize, [this] (juce::AudioBuffer<float>& chunk) { processChunk (chunk); });
}

void VellumarProcessor::processChunk (juce::AudioBuffer<float>& buffer)
{
    // A host that sends audio before preparing gets it back untouched: no stage has its buffers yet.
    if (processSpec.sampleRate <= 0.0)
        return;

    const int n = buffer.getNumSamples();
    const auto& p = chunkParameters;
    followDecay (n); // a Decay that has held still at a new value has the responses trimmed to it

    const auto value = [] (const std::atomic<float>* parameter) { return parameter->load(); };

    // Final mix proportion, flip target and the switch fields.
    dryWetMix.setWetMixProportion (value (p.mix) / 100.0f);

    const float flipTarget = p.lrFlipButton->getValue() != 0.0f ? 1.0f : 0.0f;

    effectOffDisplay = value (p.onButton) < 0.5f;
    eqOffDisplay = value (p.onEqButton) < 0.5f;
    tremoloOn = value (p.tremolo) >= 0.5f;
    lfoSyncOn = value (p.lfoSync) >= 0.5f;
    compressorOn = value (p.compressor) >= 0.5f;

    // Shimmer rebuilds and clears the early reverb, so it is switched only when the state changes, and never
    // while the early reverb is heard: it first fades out (below), switches once silent, and fades back in. The
    // first chunk after a preparation has nothing sounding yet and switches at once.
    const bool shimmerWanted = value (p.shimmer) >= 0.5f;

    if (shimmerWanted != shimmerOn && (! stereoStageStarted || earlyReverbFade.getGain() == 0.0f))
    {
        preVerb.applyShimmerSwitch (shimmerWanted);
        shimmerOn = shimmerWanted;
    }

    // A DriveType that is not a whole curve number in range (5 or more, negative, NaN) asks for curve 0.
    if (const int driveType = Grain<float>::waveFromValue (value (p.driveType)); driveType != grain.driveTypeIndex)
        grain.driveTypeIndex = driveType;

    captureSidechain (buffer);

    // A mono input feeds both output channels.
    if (mainInputChannels == 1 && outputChannels == 2 && n > 0)
        buffer.copyFrom (1, 0, buffer, 0, 0, n);

    if (auto* hostPlayHead = getPlayHead())
        if (const auto position = hostPlayHead->getPosition())
            if (const auto bpm = position->getBpm())
                hostBpm = (float) *bpm;

    // The wet path works in place on the output channels; the dry signal is held back before it starts.
    juce::AudioBuffer<float> chunk (buffer.getArrayOfWritePointers(), std::min (outputChannels, buffer.getNumChannels()), n);
    juce::dsp::AudioBlock<float> block (chunk);
    dryWetMix.pushDrySamples (block, skipNeutralStages);
    grain.mixDirectlyWhenSettled = skipNeutralStages;

    silenceNonFiniteSamples (block);

    processWetPath (block, flipTarget, shimmerWanted);

    dryWetMix.mixWetSamples (block);
}

// A NaN or infinite input sample would stay in the filters, delay lines and engines of the wet path for good
// (or for the length of the response); the wet path hears silence in its place instead. The dry signal carries
// it only while it lasts.
void VellumarProcessor::silenceNonFiniteSamples (juce::dsp::AudioBlock<float>& block) noexcept
{
    const auto numSamples = block.getNumSamples();

    for (size_t c = 0; c < block.getNumChannels(); ++c)
    {
        auto* samples = block.getChannelPointer (c);

        // Looked for first with a test on the exponent bits that runs over several samples at a time: a
        // channel almost never holds one.
        std::uint32_t nonFinite = 0;

        for (size_t i = 0; i < numSamples; ++i)
        {
            std::uint32_t bits;
            std::memcpy (&bits, samples + i, sizeof (bits));
            nonFinite |= (bits & 0x7f800000u) == 0x7f800000u ? 1u : 0u;
        }

        if (nonFinite != 0)
            for (size_t i = 0; i < numSamples; ++i)
                if (! std::isfinite (samples[i]))
                    samples[i] = 0.0f;
    }
}

// The wet signal path, in place on the chunk: every stage in its order, inside the effect switch's crossfade.
void VellumarProcessor::processWetPath (juce::dsp::AudioBlock<float>& block, float flipTarget, bool shimmerWanted)
{
    const auto& p = chunkParameters;
    const auto value = [] (const std::atomic<float>* parameter) { return parameter->load(); };
    const juce::dsp::ProcessContextReplacing<float> context (block);

    const float widthTarget = value (p.width) / 100.0f;
    widthSmoother.setTargetValue (widthTarget);

    if (! stereoStageStarted)
    {
        widthSmoother.setCurrentAndTargetValue (widthTarget);
        flipAmount = flipTarget;
        stereoStageStarted = true;
    }

    if (effectFade.begin (block, ! effectOffDisplay))
    {
        processPreDelay (block, value (p.preDelay));

        // Input cut filters, crossfaded in and out with the equaliser switch.
        if (inputCutFade.begin (block, ! eqOffDisplay))
        {
            // Settled, both cuts run in one pass, with the samples of one after the other; while either glides,
            // each runs its own.
            if (skipNeutralStages && lowCutSmoother.settle (lowCutFilter, true, value (p.lowCut), 0.6f)
                && highCutSmoother.settle (highCutFilter, false, value (p.highCut), 0.7f))
            {
                CutFilter::processCascade (context, lowCutFilter, highCutFilter);
            }
            else
            {
                lowCutSmoother.process (context, lowCutFilter, true, value (p.lowCut), 0.6f);
                highCutSmoother.process (context, highCutFilter, false, value (p.highCut), 0.7f);
            }
            inputCutFade.end (block);
        }

        convolutionPair.setBlend ((float) juce::jlimit (0.0, 1.0, (double) value (p.character) * 0.01));
        convolutionPair.process (context);

        // Early reflections shaped by the impulse-response type (a new type is heard once the level refreshes
        // the settings).
        preVerb.applyTypeSettings (irTypeIndex.load());
        preVerb.setEarlyMix (value (p.preVerb));

        if (earlyReverbFade.begin (block, shimmerWanted == shimmerOn))
        {
            preVerb.process (block);
            earlyReverbFade.end (block);
        }

        processModulation (block, value (p.lfoSpeed), value (p.lfoDepth));

        grain.process (context, value (p.drive));

        // Ducking, keyed by the side-chain while the host has one connected.
        const auto* keyBus = getBus (true, 1);
        processDucking (block, value (p.sideChain), keyBus != nullptr && keyBus->isEnabled());

        // Equaliser bands: a cascade on the same block, switched together with the input cuts.
        if (bandFade.begin (block, ! eqOffDisplay))
        {
            for (auto& band : bands)
                band.process (block);

            bandFade.end (block);
        }

        feedAnalyser (block);

        if (outputChannels == 2)
            processFlipAndWidth (block, flipTarget);

        effectFade.end (block);
    }
}
