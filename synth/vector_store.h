// Writing a slot's V vector into the filter's banks: V follows from the
// transform's output X by its symmetries, and is stored as doubles for the
// window sums. A portable version that is always built and one for
// processors with AVX.
#pragma once

namespace corvina {

// pX holds the 32 values of X; pFirst and pSecond are the slot's columns of
// the current and the other bank (32 rows each). V[0..31] goes to pFirst and
// V[32..63] to pSecond.
using StoreVectorFunction = void (*)(const float* pX, double* pFirst, double* pSecond);

void StoreVectorPortable(const float* pX, double* pFirst, double* pSecond);
// Null where the processor or the build lacks AVX.
StoreVectorFunction StoreVectorAvx();
// The fastest version that this processor runs.
StoreVectorFunction BestStoreVector();

}  // namespace corvina
