#include "AllocationCounter.h"

#include <cstdlib>

// A sanitizer owns the allocator, and its runtime must keep its own malloc, so it is asked to report allocations
// instead of the allocator being replaced. gcc names the sanitizers with macros, clang through __has_feature.
#if defined (__SANITIZE_THREAD__)
 #define VELLUMAR_SANITIZED_ALLOCATOR 1
 #define VELLUMAR_THREAD_SANITIZER 1
#elif defined (__SANITIZE_ADDRESS__)
 #define VELLUMAR_SANITIZED_ALLOCATOR 1
#elif defined (__has_feature)
 #if __has_feature (thread_sanitizer)
  #define VELLUMAR_SANITIZED_ALLOCATOR 1
  #define VELLUMAR_THREAD_SANITIZER 1
 #elif __has_feature (address_sanitizer)
  #define VELLUMAR_SANITIZED_ALLOCATOR 1
 #endif
#endif

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

#if VELLUMAR_SANITIZED_ALLOCATOR

// The sanitizers' allocator calls these for every allocation, whatever the entry point: operator new, malloc,
// calloc, realloc and the aligned forms all end in it. gcc ships no header for the hooks.
extern "C" int __sanitizer_install_malloc_and_free_hooks (void (*) (const volatile void*, size_t),
                                                          void (*) (const volatile void*));

namespace
{
void onAllocation (const volatile void*, size_t) { noteAllocation(); }
void onRelease (const volatile void*) {}

// The hooks may only be installed before other threads start, so this happens during static initialisation.
[[maybe_unused]] const int installedHooks = __sanitizer_install_malloc_and_free_hooks (onAllocation, onRelease);
} // namespace

 #if VELLUMAR_THREAD_SANITIZER
// ThreadSanitizer calls the hooks from its malloc, calloc, realloc and operator new only, not from the aligned
// forms, so those are counted on the way into its own versions of them.
extern "C"
{
void* __interceptor_aligned_alloc (size_t, size_t);
void* __interceptor_memalign (size_t, size_t);
int __interceptor_posix_memalign (void**, size_t, size_t);

void* aligned_alloc (size_t alignment, size_t size)
{
    noteAllocation();
    return __interceptor_aligned_alloc (alignment, size);
}

void* memalign (size_t alignment, size_t size)
{
    noteAllocation();
    return __interceptor_memalign (alignment, size);
}

int posix_memalign (void** result, size_t alignment, size_t size)
{
    noteAllocation();
    return __interceptor_posix_memalign (result, alignment, size);
}
}
 #endif

#else

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

#endif
