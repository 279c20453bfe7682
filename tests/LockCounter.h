#pragma once

#include <cstddef>
#include <functional>

/** Counts pthread_mutex_lock calls made on the current thread while an instance is alive: std::mutex, JUCE's
    CriticalSection and the libraries' own mutexes all end there. Only the plain build can count them, since the
    sanitizers intercept the function themselves; `isAvailable` tells whether this build does.
*/
class LockCounter
{
public:
    LockCounter();
    ~LockCounter();

    size_t count() const noexcept;
    static bool isAvailable() noexcept;

    /** From now on, on this thread, the mutexes that `takeLocks` locks are not counted: for the framework's own,
        which no code of ours can avoid (up to 1024 of them). */
    static void ignoreMutexesLockedBy (const std::function<void()>& takeLocks);

private:
    size_t startCount;
    bool wasCounting;
};
