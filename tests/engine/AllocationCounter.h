#pragma once
// Test-only count of heap allocations made while counting is on. The test executable's global
// operator new / delete and the C allocation functions (malloc, calloc, realloc: the sample
// buffers grow through realloc) are replaced in AllocationCounter.cpp; only one such replacement
// may exist per executable, so every test that needs it uses this one.
//
//   AllocationCounter::Start();
//   process(...);
//   AllocationCounter::Stop();
//   EXPECT_EQ(AllocationCounter::Count(), 0);

namespace AllocationCounter
{
// Zeroes the count and starts counting (on every thread).
void Start();
// Stops counting; the count stays readable.
void Stop();
// Allocations (including reallocations) seen between Start and Stop.
long Count();
} // namespace AllocationCounter
