#pragma once

#include <cstddef>

/** Counts heap allocations made on the current thread while an instance is alive.

    Every allocation is seen, whether it comes through operator new or the C allocator (malloc, calloc, realloc and
    the aligned forms, as JUCE's HeapBlock uses), made by our code, JUCE or the standard library; this holds in the
    plain build and under AddressSanitizer or ThreadSanitizer alike. Use it around audio-thread calls to prove they
    do not allocate:

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
