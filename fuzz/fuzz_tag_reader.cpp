// libFuzzer entry points of FuzzTagReader.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_harness.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    PrepareFuzzHarnesses();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, std::size_t nSize) {
    return FuzzTagReader(pData, nSize);
}
