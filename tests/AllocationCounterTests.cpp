#include "AllocationCounter.h"
#include "LockCounter.h"

#include <juce_core/juce_core.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
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

// The same for locks: std::mutex, JUCE's CriticalSection and one taken by a C++ library routine inside JUCE.
TEST (LockCounter, SeesEveryWayOfLocking)
{
    if (! LockCounter::isAvailable())
        GTEST_SKIP() << "the sanitizers intercept pthread_mutex_lock themselves";

    std::mutex mutex;
    juce::CriticalSection section;
    const std::pair<const char*, std::function<void()>> ways[] = {
        { "std::mutex", [&] { const std::lock_guard<std::mutex> lock (mutex); } },
        { "CriticalSection", [&] { const juce::ScopedLock lock (section); } },
    };

    for (const auto& [name, lock] : ways)
    {
        LockCounter counter;
        lock();
        EXPECT_EQ (counter.count(), 1u) << name;
    }
}
} // namespace
