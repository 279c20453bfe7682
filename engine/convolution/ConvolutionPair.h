#pragma once

#include <juce_dsp/juce_dsp.h>

#include <array>
#include <utility>
#include <vector>

/** A convolution engine with a fixed latency of 1024 samples that shares its loader thread with its siblings.

    With a prepared block size of at most 1024 the output lags the input by exactly 1024 samples; a larger block
    size raises the latency to that size rounded up to a power of two.
*/
class FixedLatencyConvolution : public juce::dsp::Convolution
{
public:
    explicit FixedLatencyConvolution (juce::dsp::ConvolutionMessageQueue& queue)
        : juce::dsp::Convolution (juce::dsp::Convolution::Latency { 1024 }, queue)
    {
    }
};

/** Runs N processors on the same input and blends their outputs.

    Only the pair is used: engine A (processor 0) and engine B (processor 1), blended by c as
    c * b + (1 - 0.7 * c) * a, so c = 0 gives A alone and c = 1 gives B with a little of A under it.
    A change of the blend glides over 50 ms; the first block after a preparation takes it at once.
*/
template <typename Processor, size_t N>
class ParallelProcessors
{
public:
    static_assert (N == 2, "the blend is defined for a pair");

    explicit ParallelProcessors (juce::dsp::ConvolutionMessageQueue& queue)
        : processors (makeProcessors (queue, std::make_index_sequence<N>()))
    {
    }

    void prepare (const juce::dsp::ProcessSpec& spec)
    {
        scratchBlock = juce::dsp::AudioBlock<float> (scratchMemory, spec.numChannels, spec.maximumBlockSize);

        for (auto& processor : processors)
            processor.prepare (spec);

        blendSmoother.reset ((int) std::floor (0.05 * spec.sampleRate));
        blendSmoother.setCurrentAndTargetValue (blendSmoother.getTargetValue());

        blendValues.resize (spec.maximumBlockSize, 0.0f);
        blendStarted = false;

        for (auto& processor : processors)
            processor.reset();
    }

    void reset()
    {
        for (auto& processor : processors)
            processor.reset();
    }

    void setBlend (float amount) noexcept { blendTarget = amount; }

    void process (const juce::dsp::ProcessContextReplacing<float>& context)
    {
        auto& block = context.getOutputBlock();
        const auto numSamples = block.getNumSamples();
        const auto numChannels = std::min (block.getNumChannels(), scratchBlock.getNumChannels());

        if (numSamples == 0 || numSamples > blendValues.size())
            return;

        auto engineA = scratchBlock.getSubsetChannelBlock (0, numChannels).getSubBlock (0, numSamples);
        auto input = block.getSubsetChannelBlock (0, numChannels);
        processors[0].process (juce::dsp::ProcessContextNonReplacing<float> (input, engineA));
        processors[1].process (juce::dsp::ProcessContextReplacing<float> (input));

        blendSmoother.setTargetValue (blendTarget);
        bool varying = false;

        if (! blendStarted)
        {
            blendSmoother.setCurrentAndTargetValue (blendTarget);
            blendStarted = true;
        }
        else if (blendSmoother.isSmoothing())
        {
            for (size_t k = 0; k < numSamples; ++k)
                blendValues[k] = blendSmoother.getNextValue();
            varying = true;
        }

        for (size_t channel = 0; channel < numChannels; ++channel)
        {
            const auto* a = engineA.getChannelPointer (channel);
            auto* b = input.getChannelPointer (channel);

            for (size_t k = 0; k < numSamples; ++k)
            {
                const float c = varying ? blendValues[k] : blendTarget;
                const float cb = c * b[k];
                b[k] = (float) ((double) cb + (1.0 - 0.7 * (double) c) * (double) a[k]);
            }
        }
    }

    Processor& operator[] (size_t index) noexcept { return processors[index]; }

private:
    template <size_t... I>
    static std::array<Processor, N> makeProcessors (juce::dsp::ConvolutionMessageQueue& queue, std::index_sequence<I...>)
    {
        return { { ((void) I, Processor (queue))... } };
    }

    std::array<Processor, N> processors;
    juce::HeapBlock<char> scratchMemory;
    juce::dsp::AudioBlock<float> scratchBlock;
    float blendTarget = 0.5f;
    juce::SmoothedValue<float> blendSmoother { 0.0f };
    std::vector<float> blendValues;
    bool blendStarted = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ParallelProcessors)
};
