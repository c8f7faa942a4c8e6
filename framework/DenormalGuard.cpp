#include "framework/DenormalGuard.h"

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#define PARANDEL_HAS_MXCSR 1
#endif

namespace
{
#if defined(PARANDEL_HAS_MXCSR)
constexpr uint64_t kFlushBits = 0x8000 | 0x0040; // MXCSR FTZ and DAZ
#elif defined(__aarch64__)
constexpr uint64_t kFlushBits = uint64_t(1) << 24; // FPCR FZ covers results and inputs
#else
constexpr uint64_t kFlushBits = 0;
#endif
} // namespace

uint64_t DenormalGuard::ControlState()
{
#if defined(PARANDEL_HAS_MXCSR)
    return _mm_getcsr();
#elif defined(__aarch64__)
    uint64_t fpcr;
    asm volatile("mrs %0, fpcr" : "=r"(fpcr));
    return fpcr;
#else
    return 0;
#endif
}

void DenormalGuard::SetControlState(uint64_t state)
{
#if defined(PARANDEL_HAS_MXCSR)
    _mm_setcsr(static_cast<unsigned int>(state));
#elif defined(__aarch64__)
    asm volatile("msr fpcr, %0" : : "r"(state));
#else
    (void)state;
#endif
}

DenormalGuard::DenormalGuard() : mSaved(ControlState())
{
    if (kFlushBits != 0)
        SetControlState(mSaved | kFlushBits);
}

DenormalGuard::~DenormalGuard()
{
    if (kFlushBits != 0)
        SetControlState(mSaved);
}
