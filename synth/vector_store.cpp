// The V vector store in plain C++; the vector versions (vector_store_lanes.h)
// write the same rows four at a time.
#include "synth/dsp_kernels.h"

namespace corvina::scalar {

void StoreVector(const float* pX, double* pFirst, double* pSecond) {
    for (int r = 0; r < 16; ++r) {
        pFirst[r] = pX[16 + r];
    }
    pFirst[16] = 0.0;
    for (int r = 17; r < 32; ++r) {
        pFirst[r] = -pX[48 - r];
    }
    for (int r = 0; r <= 16; ++r) {
        pSecond[r] = -pX[16 - r];
    }
    for (int r = 17; r < 32; ++r) {
        pSecond[r] = -pX[r - 16];
    }
}

}  // namespace corvina::scalar
