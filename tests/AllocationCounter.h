#pragma once

#include <cstddef>

/** Counts heap allocations made on the current thread while an instance is alive.

    The test binary replaces the global operator new, so every allocation made through it, by our code, JUCE or the
    standard library, is seen. Use it around audio-thread calls to prove they do not allocate:

        AllocationCounter counter;
        processor.processBlock (buffer, midi);
        EXPECT_EQ (counter.count(), 0u);
*/
class AllocationCounter
{
public:
    AllocationCounter();
    ~AllocationCounter();

    size_t count() const noexcept;

private:
    size_t startCount;
    bool wasCounting;
};
