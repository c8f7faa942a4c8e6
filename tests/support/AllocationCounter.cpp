#include "support/AllocationCounter.h"

#include <atomic>
#include <cstdlib>
#include <new>

// The counting works through hooks that leave the C library's allocator itself in place, so a
// sanitizer that intercepts malloc and free keeps its checks:
//  - operator new and delete are replaced; they count and then call the real malloc and free;
//  - malloc, calloc and realloc calls of this program's own code are routed here by the linker
//    (--wrap, see the test targets' link options); __real_* is the C library's function (or the
//    sanitizer's interceptor of it).
extern "C"
{
    void* __real_malloc(size_t size);
    void* __real_calloc(size_t count, size_t size);
    void* __real_realloc(void* p, size_t size);
}

namespace
{
std::atomic<bool> gCounting{false};
std::atomic<long> gCount{0};
std::atomic<long> gNewCount{0};

void Note()
{
    if (gCounting.load(std::memory_order_relaxed))
        gCount.fetch_add(1, std::memory_order_relaxed);
}

void NoteNew()
{
    if (gCounting.load(std::memory_order_relaxed))
    {
        gCount.fetch_add(1, std::memory_order_relaxed);
        gNewCount.fetch_add(1, std::memory_order_relaxed);
    }
}

void* Allocate(size_t size)
{
    NoteNew();
    void* p = __real_malloc(size == 0 ? 1 : size);
    if (!p)
        throw std::bad_alloc();
    return p;
}

void* AllocateAligned(size_t size, std::align_val_t align)
{
    NoteNew();
    void* p = nullptr;
    if (posix_memalign(&p, static_cast<size_t>(align), size == 0 ? 1 : size) != 0)
        throw std::bad_alloc();
    return p;
}
} // namespace

void AllocationCounter::Start()
{
    gCount.store(0);
    gNewCount.store(0);
    gCounting.store(true);
}

void AllocationCounter::Stop()
{
    gCounting.store(false);
}

long AllocationCounter::Count()
{
    return gCount.load();
}

long AllocationCounter::CountOperatorNew()
{
    return gNewCount.load();
}

extern "C"
{
    void* __wrap_malloc(size_t size)
    {
        Note();
        return __real_malloc(size);
    }

    void* __wrap_calloc(size_t count, size_t size)
    {
        Note();
        return __real_calloc(count, size);
    }

    void* __wrap_realloc(void* p, size_t size)
    {
        Note();
        return __real_realloc(p, size);
    }
}

void* operator new(size_t size)
{
    return Allocate(size);
}
void* operator new[](size_t size)
{
    return Allocate(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept
{
    NoteNew();
    return __real_malloc(size == 0 ? 1 : size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept
{
    NoteNew();
    return __real_malloc(size == 0 ? 1 : size);
}
void* operator new(size_t size, std::align_val_t align)
{
    return AllocateAligned(size, align);
}
void* operator new[](size_t size, std::align_val_t align)
{
    return AllocateAligned(size, align);
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, size_t) noexcept
{
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept
{
    std::free(p);
}
void operator delete(void* p, size_t, std::align_val_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, size_t, std::align_val_t) noexcept
{
    std::free(p);
}
