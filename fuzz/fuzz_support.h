// What the fuzz targets share: a presenter that swallows messages, and the
// stop on a failed expectation.
#pragma once

#include <cstddef>
#include <cstdint>

// Messages are counted, not printed, so the fuzzer's output stays readable.
void InstallQuietPresenter();

// Stops the run with a message when an expectation of the target fails, so
// libFuzzer keeps the input as a crash.
[[noreturn]] void FuzzFail(const char* pszWhat);
inline void FuzzCheck(bool bHolds, const char* pszWhat) {
    if (!bHolds) {
        FuzzFail(pszWhat);
    }
}
