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
// Allocations seen between Start and Stop: operator new and the C library's malloc, calloc and
// realloc (the latter also catches libraries that allocate through the C library).
long Count();
// Only the operator new calls among them.
long CountOperatorNew();
} // namespace AllocationCounter
