// The counting allocator for this test executable (one replacement per executable).
#include "../engine/AllocationCounter.cpp"
