// The libFuzzer entry of one target; PARANDEL_FUZZ_ENTRY names its entry function.
#include "fuzz/FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return fuzz::PARANDEL_FUZZ_ENTRY(data, size);
}
