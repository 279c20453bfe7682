#include "AllocationCounter.h"

#include <algorithm>
#include <cstdlib>
#include <new>

namespace
{
thread_local size_t allocations = 0;
thread_local bool counting = false;

inline void noteAllocation() noexcept
{
    if (counting)
        ++allocations;
}
} // namespace

AllocationCounter::AllocationCounter() : startCount (allocations), wasCounting (counting) { counting = true; }
AllocationCounter::~AllocationCounter() { counting = wasCounting; }
size_t AllocationCounter::count() const noexcept { return allocations - startCount; }

#if ! defined (__SANITIZE_THREAD__) && ! defined (__SANITIZE_ADDRESS__)

// The C allocator itself is counted, so JUCE's HeapBlock (malloc, calloc, realloc) is seen as well as operator new,
// which allocates through malloc.
extern "C"
{
void* __libc_malloc (size_t);
void* __libc_calloc (size_t, size_t);
void* __libc_realloc (void*, size_t);
void* __libc_memalign (size_t, size_t);

void* malloc (size_t size)
{
    noteAllocation();
    return __libc_malloc (size);
}

void* calloc (size_t count, size_t size)
{
    noteAllocation();
    return __libc_calloc (count, size);
}

void* realloc (void* pointer, size_t size)
{
    noteAllocation();
    return __libc_realloc (pointer, size);
}

void* memalign (size_t alignment, size_t size)
{
    noteAllocation();
    return __libc_memalign (alignment, size);
}

void* aligned_alloc (size_t alignment, size_t size)
{
    noteAllocation();
    return __libc_memalign (alignment, size);
}

int posix_memalign (void** result, size_t alignment, size_t size)
{
    noteAllocation();
    if (alignment % sizeof (void*) != 0 || (alignment & (alignment - 1)) != 0)
        return 22; // EINVAL
    *result = __libc_memalign (alignment, size);
    return *result != nullptr ? 0 : 12; // ENOMEM
}
}

#else

// Under a sanitizer the allocator belongs to it; count what goes through operator new.
void* operator new (std::size_t size)
{
    noteAllocation();
    if (void* p = std::malloc (size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}

void* operator new[] (std::size_t size) { return operator new (size); }
void operator delete (void* p) noexcept { std::free (p); }
void operator delete[] (void* p) noexcept { std::free (p); }
void operator delete (void* p, std::size_t) noexcept { std::free (p); }
void operator delete[] (void* p, std::size_t) noexcept { std::free (p); }

#endif
