// The project's one counting operator new / malloc replacement, linked into this executable.
#include "engine/AllocationCounter.cpp"
