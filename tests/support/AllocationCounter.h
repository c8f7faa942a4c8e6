#pragma once
// Test-only count of heap allocations made while counting is on: every operator new of the
// process, and the C allocation functions (malloc, calloc, realloc: the sample buffers grow
// through realloc) called by the program's own code. The test executable's operator new / delete
// are replaced and its C allocation calls are wrapped at link time (AllocationCounter.cpp); the C
// library's allocator stays in place, so sanitizer builds keep their heap checks. Only one such
// replacement may exist per executable, so every test that needs it uses this one.
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
// Allocations seen between Start and Stop: operator new, and malloc, calloc and realloc called
// from the program's own code.
long Count();
// Only the operator new calls among them.
long CountOperatorNew();
} // namespace AllocationCounter
