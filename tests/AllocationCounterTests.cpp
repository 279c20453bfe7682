#include "AllocationCounter.h"

#include <juce_core/juce_core.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

namespace
{
// Kept where the optimiser cannot see it, so that no allocation below is elided as unused.
void* volatile escaped = nullptr;

// The no-allocation tests would pass whatever the audio thread did if the counter missed an entry point into the
// allocator, as it can when a sanitizer's runtime owns it; each one must be seen.
TEST (AllocationCounter, SeesEveryWayOfAllocating)
{
    const std::pair<const char*, std::function<void()>> ways[] = {
        { "new", [] { auto p = std::make_unique<int> (1); escaped = p.get(); } },
        { "new[]", [] { auto p = std::make_unique<float[]> (64); escaped = p.get(); } },
        { "vector", [] { std::vector<double> v (100); escaped = v.data(); } },
        { "malloc", [] { escaped = std::malloc (32); std::free (escaped); } },
        { "calloc", [] { escaped = std::calloc (8, 4); std::free (escaped); } },
        { "realloc", [] { escaped = std::realloc (nullptr, 48); std::free (escaped); } },
        { "aligned_alloc", [] { escaped = std::aligned_alloc (64, 256); std::free (escaped); } },
        { "posix_memalign", [] { void* p {}; if (posix_memalign (&p, 64, 256) == 0) escaped = p; std::free (p); } },
        { "HeapBlock", [] { juce::HeapBlock<float> block (512, true); escaped = block.get(); } },
        { "String", [] { juce::String s ("an allocated string of some length"); escaped = &s; } },
    };

    for (const auto& [name, allocate] : ways)
    {
        AllocationCounter counter;
        allocate();
        EXPECT_GE (counter.count(), 1u) << name;
    }
}
} // namespace
