#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>

/** Hands `numSets` normalised biquad coefficient sets (b0, b1, b2, a1, a2) from the threads that change parameters
    to the editor without a lock.

    Writers never wait and never allocate. A writer that finds another one publishing only leaves a note, and the
    one at work computes once more before it finishes; every computation reads the parameters' current values, so
    the last published sets always follow the newest values. The reader copies the sets whole, retrying while a
    writer is between its two sequence steps.
*/
template <size_t numSets>
class CoefficientHandOff
{
public:
    using Set = std::array<float, 5>;
    using Sets = std::array<Set, numSets>;

    /** Until the first publication every set passes the signal unchanged. */
    CoefficientHandOff() noexcept
    {
        for (auto& set : values)
            for (size_t i = 0; i < 5; ++i)
                set[i].store (i == 0 ? 1.0f : 0.0f, std::memory_order_relaxed);
    }

    /** `compute` returns the sets to publish; it runs on this thread only while no other writer is inside it. */
    template <typename Compute>
    void publish (Compute&& compute) noexcept
    {
        // Sequentially consistent throughout: a writer that leaves its note must be seen by the one that is
        // about to finish, or find the sequence even and publish itself.
        pending.store (true);

        for (;;)
        {
            auto seen = sequence.load();

            if ((seen & 1u) != 0 || ! sequence.compare_exchange_strong (seen, seen + 1))
                return;

            while (pending.exchange (false))
            {
                const Sets sets = compute();

                for (size_t s = 0; s < numSets; ++s)
                    for (size_t i = 0; i < 5; ++i)
                        values[s][i].store (sets[s][i], std::memory_order_release);
            }

            sequence.store (seen + 2);

            // A note left after the last computation and before the sequence turned even would be lost otherwise.
            if (! pending.load())
                return;
        }
    }

    /** Copies the last published sets; returns their version, which changes with every publication. */
    uint32_t read (Sets& out) const noexcept
    {
        for (int attempt = 1;; ++attempt)
        {
            const auto before = sequence.load (std::memory_order_acquire);

            if ((before & 1u) == 0)
            {
                // Acquire loads, no fences: a value from a write in progress makes the odd sequence that came
                // before it visible to the check below.
                for (size_t s = 0; s < numSets; ++s)
                    for (size_t i = 0; i < 5; ++i)
                        out[s][i] = values[s][i].load (std::memory_order_acquire);

                if (sequence.load (std::memory_order_relaxed) == before)
                    return before;
            }

            // The writer may have been preempted half-way: give it the core.
            if (attempt % 64 == 0)
                std::this_thread::yield();
        }
    }

    /** The version `read` would return now, without copying. */
    uint32_t getVersion() const noexcept { return sequence.load (std::memory_order_acquire); }

private:
    std::atomic<uint32_t> sequence { 0 };
    std::atomic<bool> pending { false };
    std::array<std::array<std::atomic<float>, 5>, numSets> values;

    static_assert (std::atomic<uint32_t>::is_always_lock_free && std::atomic<float>::is_always_lock_free);
};

/** The five normalised values of a biquad coefficient object, as the hand-off carries them. */
template <typename Coefficients>
std::array<float, 5> normalisedSet (const Coefficients& c) noexcept
{
    const auto* v = c.coefficients.begin();
    return { v[0], v[1], v[2], v[3], v[4] };
}
