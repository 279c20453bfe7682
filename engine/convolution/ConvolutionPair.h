#pragma once

#include <juce_dsp/juce_dsp.h>

#include "engine/convolution/ResponseMailbox.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <functional>
#include <mutex>
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

    New responses never replace a running engine's: a loader thread builds them into a second, idle pair, and
    the audio thread then moves the input over to that pair within 50 ms while the outgoing pair keeps ringing
    with what it has already heard and fades out over half a second. An engine that started from silence would
    otherwise cut its response in hard, and a plain crossfade of the outputs would bring that cut in with it.
*/
template <typename Processor, size_t N>
class ParallelProcessors
{
public:
    static_assert (N == 2, "the blend is defined for a pair");

    /** `responses` is where trimmed responses are posted; it must outlive this object. The loader thread calls
        `beforeEachLook` before each look into the mailbox, so that it may post there first. */
    ParallelProcessors (juce::dsp::ConvolutionMessageQueue& queue, ResponseMailbox& responses,
                        std::function<void()> beforeEachLook = {})
        : processors (makeProcessors (queue, std::make_index_sequence<N>())),
          mailbox (responses),
          spare (makeProcessors (spareQueue, std::make_index_sequence<N>())),
          lookingForWork (std::move (beforeEachLook))
    {
    }

    ~ParallelProcessors()
    {
        stopLoading();
    }

    /** Stops the loader thread for good; an owner whose members `beforeEachLook` uses calls it before they go. */
    void stopLoading()
    {
        loader.stopThread (10000);
    }

    void prepare (const juce::dsp::ProcessSpec& spec)
    {
        const std::lock_guard<std::mutex> lock (bankMutex);

        // A pair the loader finished is played from here on, without a switch: nothing sounds yet.
        if (spareState.load (std::memory_order_acquire) == ready)
            current = 1 - current;

        spareState.store (idle, std::memory_order_release);
        preparedSpec = spec;

        scratchBlock = juce::dsp::AudioBlock<float> (scratchMemory, 3 * spec.numChannels, spec.maximumBlockSize);

        for (auto& processor : running())
            processor.prepare (spec);

        blendSmoother.reset ((int) std::floor (0.05 * spec.sampleRate));
        blendSmoother.setCurrentAndTargetValue (blendSmoother.getTargetValue());

        blendValues.resize (spec.maximumBlockSize, 0.0f);
        blendStarted = false;

        inputMoveLength = std::max (1, (int) (0.05 * spec.sampleRate));
        releaseLength = std::max (inputMoveLength, (int) (0.5 * spec.sampleRate));
        switchPosition = 0;

        for (auto& processor : running())
            processor.reset();

        if (! loader.isThreadRunning())
            loader.startThread();
    }

    void reset()
    {
        for (auto& processor : running())
            processor.reset();

        int fading = switching;
        spareState.compare_exchange_strong (fading, idle, std::memory_order_acq_rel);
    }

    void setBlend (float amount) noexcept { blendTarget = amount; }

    /** Tells the loader that responses wait in the mailbox, so that it starts on them now rather than at its next
        look. */
    void responsesPosted() { loader.notify(); }

    /** Builds the responses waiting in the mailbox straight into the running engines, or takes over a pair the
        loader has finished, without any switch. Only while no audio runs (a preparation, an offline render);
        returns whether the engines changed. */
    bool installPosted()
    {
        const std::lock_guard<std::mutex> lock (bankMutex);
        bool changed = false;

        if (spareState.load (std::memory_order_acquire) == ready)
        {
            current = 1 - current;
            changed = true;
        }

        spareState.store (idle, std::memory_order_release);
        return mailbox.collect ([this] (auto& a, auto& b) { build (running(), a, b); }) || changed;
    }

    /** Builds a posted pair into the idle engines on the calling thread, or waits while the loader finishes the one it
        is building, so that the next `process` starts the switch to it. For audio that is not played in real time:
        the new pair then comes in at the same sample on every run. It allocates and may wait. */
    void buildPostedNow()
    {
        if (mailbox.hasPost() || spareState.load (std::memory_order_acquire) == building)
            buildSpare();
    }

    /** True from the moment new responses are posted until the pair that plays them runs alone. */
    bool isSwitching() const noexcept
    {
        return mailbox.hasPost() || spareState.load (std::memory_order_acquire) != idle;
    }

    void process (const juce::dsp::ProcessContextReplacing<float>& context)
    {
        auto& block = context.getOutputBlock();
        const auto numSamples = block.getNumSamples();
        const auto numChannels = std::min (block.getNumChannels(), scratchBlock.getNumChannels() / 3);

        if (numSamples == 0 || numSamples > blendValues.size())
            return;

        if (spareState.load (std::memory_order_acquire) == ready)
        {
            current = 1 - current;
            switchPosition = 0;
            spareState.store (switching, std::memory_order_release);
        }

        auto engineA = scratchBlock.getSubsetChannelBlock (0, numChannels).getSubBlock (0, numSamples);
        auto input = block.getSubsetChannelBlock (0, numChannels);

        if (spareState.load (std::memory_order_relaxed) == switching)
            processSwitch (input, engineA);
        else
            processPair (running(), input, engineA);

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

    /** The running engine `index` (0 is A, 1 is B). */
    Processor& operator[] (size_t index) noexcept { return running()[index]; }

private:
    using Bank = std::array<Processor, N>;

    // The idle pair belongs to the loader while `spareState` is idle or building, to the audio thread while it
    // is ready or switching; the running pair always to the audio thread (or to a preparation).
    enum : int { idle, building, ready, switching };

    class Loader : public juce::Thread
    {
    public:
        explicit Loader (ParallelProcessors& pairToLoad) : juce::Thread ("Vellumar response loader"), owner (pairToLoad) {}

        void run() override
        {
            while (! threadShouldExit())
            {
                if (owner.lookingForWork)
                    owner.lookingForWork();

                if (! owner.buildSpare())
                    wait (5);
            }
        }

    private:
        ParallelProcessors& owner;
    };

    template <size_t... I>
    static Bank makeProcessors (juce::dsp::ConvolutionMessageQueue& queue, std::index_sequence<I...>)
    {
        return { { ((void) I, Processor (queue))... } };
    }

    Bank& running() noexcept { return current == 0 ? processors : spare; }
    Bank& outgoing() noexcept { return current == 0 ? spare : processors; }

    static void processPair (Bank& bank, juce::dsp::AudioBlock<float>& input, juce::dsp::AudioBlock<float>& engineA)
    {
        bank[0].process (juce::dsp::ProcessContextNonReplacing<float> (input, engineA));
        bank[1].process (juce::dsp::ProcessContextReplacing<float> (input));
    }

    // The input moves from the outgoing pair to the running one over `inputMoveLength` samples; the outgoing
    // pair's output, by then only the tail of what it heard, fades out over `releaseLength`.
    void processSwitch (juce::dsp::AudioBlock<float>& input, juce::dsp::AudioBlock<float>& engineA)
    {
        const auto numChannels = input.getNumChannels();
        const auto numSamples = input.getNumSamples();
        auto oldInput = scratchBlock.getSubsetChannelBlock (numChannels, numChannels).getSubBlock (0, numSamples);
        auto oldA = scratchBlock.getSubsetChannelBlock (2 * numChannels, numChannels).getSubBlock (0, numSamples);

        for (size_t channel = 0; channel < numChannels; ++channel)
        {
            auto* in = input.getChannelPointer (channel);
            auto* old = oldInput.getChannelPointer (channel);

            for (size_t k = 0; k < numSamples; ++k)
            {
                const float share = std::max (0.0f, 1.0f - (float) (switchPosition + (int) k + 1) / (float) inputMoveLength);
                old[k] = in[k] * share;
                in[k] -= old[k];
            }
        }

        processPair (outgoing(), oldInput, oldA);
        processPair (running(), input, engineA);

        for (size_t channel = 0; channel < numChannels; ++channel)
        {
            auto* a = engineA.getChannelPointer (channel);
            auto* b = input.getChannelPointer (channel);
            const auto* fadingA = oldA.getChannelPointer (channel);
            const auto* fadingB = oldInput.getChannelPointer (channel);

            for (size_t k = 0; k < numSamples; ++k)
            {
                const float gain = std::max (0.0f, 1.0f - (float) (switchPosition + (int) k + 1) / (float) releaseLength);
                a[k] += fadingA[k] * gain;
                b[k] += fadingB[k] * gain;
            }
        }

        switchPosition += (int) numSamples;

        if (switchPosition >= releaseLength)
            spareState.store (idle, std::memory_order_release);
    }

    // Builds a posted pair into the idle engines (the loader thread, or `buildPostedNow`). Returns whether it did.
    bool buildSpare()
    {
        const std::lock_guard<std::mutex> lock (bankMutex);

        int expected = idle;

        if (preparedSpec.sampleRate <= 0.0 || ! mailbox.hasPost()
            || ! spareState.compare_exchange_strong (expected, building, std::memory_order_acq_rel))
            return false;

        // Marked as building before the pair leaves the mailbox, so that a switch shows at every moment.
        const bool built = mailbox.collect ([this] (auto& a, auto& b) { build (outgoing(), a, b); });
        spareState.store (built ? ready : idle, std::memory_order_release);
        return built;
    }

    // Loads the responses into a pair that no audio runs through and prepares it, which builds the engines on
    // this thread. A pair posted without B (it could not be decoded) keeps the B that plays now.
    void build (Bank& bank, juce::AudioBuffer<float>& a, juce::AudioBuffer<float>& b)
    {
        using Conv = juce::dsp::Convolution;

        if (b.getNumSamples() > 0)
            heldB.makeCopyOf (b);
        else if (heldB.getNumSamples() > 0)
            b.makeCopyOf (heldB);

        bank[0].loadImpulseResponse (std::move (a), sourceRate, Conv::Stereo::yes, Conv::Trim::yes, Conv::Normalise::yes);

        if (b.getNumSamples() > 0)
            bank[1].loadImpulseResponse (std::move (b), sourceRate, Conv::Stereo::yes, Conv::Trim::yes, Conv::Normalise::yes);

        for (auto& processor : bank)
        {
            processor.prepare (preparedSpec);
            processor.reset();
        }
    }

    // The embedded responses' own rate; the engines resample from it.
    static constexpr double sourceRate = 44100.0;

    std::array<Processor, N> processors;
    juce::HeapBlock<char> scratchMemory;
    juce::dsp::AudioBlock<float> scratchBlock;
    float blendTarget = 0.5f;
    juce::SmoothedValue<float> blendSmoother { 0.0f };
    std::vector<float> blendValues;
    bool blendStarted = false;

    ResponseMailbox& mailbox;
    juce::dsp::ConvolutionMessageQueue spareQueue; // the second pair loads through a queue of its own
    Bank spare;
    juce::AudioBuffer<float> heldB;
    juce::dsp::ProcessSpec preparedSpec { 0.0, 0, 0 };
    std::mutex bankMutex; // the loader's build against a preparation; never taken by the audio thread
    std::atomic<int> spareState { idle };
    int current = 0; // which pair runs: 0 `processors`, 1 `spare`
    int switchPosition = 0, inputMoveLength = 1, releaseLength = 1;
    std::function<void()> lookingForWork;
    Loader loader { *this };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ParallelProcessors)
};
