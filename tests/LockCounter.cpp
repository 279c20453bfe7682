#include "LockCounter.h"

#include <algorithm>
#include <atomic>
#include <iterator>
#include <dlfcn.h>
#include <pthread.h>

#if defined (__SANITIZE_THREAD__) || defined (__SANITIZE_ADDRESS__)
 #define VELLUMAR_SANITIZED_LOCKS 1
#elif defined (__has_feature)
 #if __has_feature (thread_sanitizer) || __has_feature (address_sanitizer)
  #define VELLUMAR_SANITIZED_LOCKS 1
 #endif
#endif

namespace
{
thread_local size_t locks = 0;
thread_local bool counting = false;
thread_local bool recording = false;
thread_local const void* ignored[1024];
thread_local size_t numIgnored = 0;

[[maybe_unused]] void noteLock (const void* mutex) noexcept
{
    const void* const* end = ignored + numIgnored;
    const bool isIgnored = std::find (static_cast<const void* const*> (ignored), end, mutex) != end;

    if (recording && ! isIgnored && numIgnored < std::size (ignored))
        ignored[numIgnored++] = mutex;
    else if (counting && ! isIgnored)
        ++locks;
}
} // namespace

void LockCounter::ignoreMutexesLockedBy (const std::function<void()>& takeLocks)
{
    recording = true;
    takeLocks();
    recording = false;
}

LockCounter::LockCounter() : startCount (locks), wasCounting (counting) { counting = true; }
LockCounter::~LockCounter() { counting = wasCounting; }
size_t LockCounter::count() const noexcept { return locks - startCount; }

#if VELLUMAR_SANITIZED_LOCKS

bool LockCounter::isAvailable() noexcept { return false; }

#else

bool LockCounter::isAvailable() noexcept { return true; }

// The executable's definition comes before the C library's for every caller in the process; it counts and hands
// the call on. The C library's function is looked up at the first call, without a lock of its own.
extern "C" int pthread_mutex_lock (pthread_mutex_t* mutex)
{
    using Lock = int (*) (pthread_mutex_t*);
    static std::atomic<Lock> next { nullptr };
    auto lock = next.load (std::memory_order_relaxed);

    if (lock == nullptr)
    {
        lock = reinterpret_cast<Lock> (dlsym (RTLD_NEXT, "pthread_mutex_lock"));
        next.store (lock, std::memory_order_relaxed);
    }

    noteLock (mutex);
    return lock (mutex);
}

#endif
