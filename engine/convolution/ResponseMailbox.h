#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <atomic>
#include <thread>

/** Hands a trimmed pair of impulse responses from the thread that prepares them to the thread that builds the
    convolution engines from them (the pair's loader thread, or a preparation while no audio runs).

    `post` may block for the moment it takes `collect` to move a pair out; `collect` never blocks.
*/
class ResponseMailbox
{
public:
    /** Replaces any pair not yet collected. Only one thread may post at a time. */
    void post (juce::AudioBuffer<float>&& newA, juce::AudioBuffer<float>&& newB)
    {
        for (;;)
        {
            int current = state.load (std::memory_order_acquire);

            if (current != taking && state.compare_exchange_weak (current, filling, std::memory_order_acq_rel))
                break;

            std::this_thread::yield();
        }

        a = std::move (newA);
        b = std::move (newB);
        state.store (ready, std::memory_order_release);
    }

    /** Calls `use (a, b)` with the posted pair, if there is one, and returns whether there was. */
    template <typename Use>
    bool collect (Use&& use)
    {
        int expected = ready;

        if (! state.compare_exchange_strong (expected, taking, std::memory_order_acq_rel))
            return false;

        use (a, b);
        state.store (empty, std::memory_order_release);
        return true;
    }

    /** Whether a pair waits to be collected. */
    bool hasPost() const noexcept
    {
        const int current = state.load (std::memory_order_acquire);
        return current == filling || current == ready;
    }

private:
    enum : int { empty, filling, ready, taking };

    std::atomic<int> state { empty };
    juce::AudioBuffer<float> a, b;
};
