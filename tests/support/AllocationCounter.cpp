#include "support/AllocationCounter.h"

#include <atomic>
#include <cstdlib>
#include <new>

// The C library's own entry points, exported under these names, so that the replacements below
// can forward to them.
extern "C"
{
    void* __libc_malloc(size_t size);
    void* __libc_calloc(size_t count, size_t size);
    void* __libc_realloc(void* p, size_t size);
    void __libc_free(void* p);
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
    void* p = __libc_malloc(size == 0 ? 1 : size);
    if (!p)
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
    void* malloc(size_t size)
    {
        Note();
        return __libc_malloc(size);
    }

    void* calloc(size_t count, size_t size)
    {
        Note();
        return __libc_calloc(count, size);
    }

    void* realloc(void* p, size_t size)
    {
        Note();
        return __libc_realloc(p, size);
    }

    void free(void* p)
    {
        __libc_free(p);
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
    return __libc_malloc(size == 0 ? 1 : size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept
{
    NoteNew();
    return __libc_malloc(size == 0 ? 1 : size);
}
void operator delete(void* p) noexcept
{
    __libc_free(p);
}
void operator delete[](void* p) noexcept
{
    __libc_free(p);
}
void operator delete(void* p, size_t) noexcept
{
    __libc_free(p);
}
void operator delete[](void* p, size_t) noexcept
{
    __libc_free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept
{
    __libc_free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept
{
    __libc_free(p);
}
void* operator new(size_t size, std::align_val_t align)
{
    NoteNew();
    void* p = nullptr;
    if (posix_memalign(&p, static_cast<size_t>(align), size == 0 ? 1 : size) != 0)
        throw std::bad_alloc();
    return p;
}
void* operator new[](size_t size, std::align_val_t align)
{
    return operator new(size, align);
}
void operator delete(void* p, std::align_val_t) noexcept
{
    __libc_free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept
{
    __libc_free(p);
}
void operator delete(void* p, size_t, std::align_val_t) noexcept
{
    __libc_free(p);
}
void operator delete[](void* p, size_t, std::align_val_t) noexcept
{
    __libc_free(p);
}
