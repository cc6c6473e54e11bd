// The routines of each instruction set that the tables of dsp_routines.cpp
// are made of, and which of them this build has. A set reuses the narrower
// sets' routines where it has nothing faster of its own.
#pragma once

#include <cstdint>

#if defined(__SSE2__)
#define CORVINA_DSP_SSE2 1
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define CORVINA_DSP_AVX 1
#endif

namespace corvina {

// Plain C++, the reference for every other version.
namespace scalar {
void Dct32(const float* pIn, float* pOut);
void StoreVector(const float* pX, double* pFirst, double* pSecond);
void WindowSums(const double* pBank, int nSlot, float fScale, int16_t* pOut);
}  // namespace scalar

#ifdef CORVINA_DSP_SSE2
namespace sse2 {
void Dct32(const float* pIn, float* pOut);
void StoreVector(const float* pX, double* pFirst, double* pSecond);
void WindowSums(const double* pBank, int nSlot, float fScale, int16_t* pOut);
void WindowSumsPair(const double* pBank0, int nSlot0, const double* pBank1, int nSlot1,
                    float fScale, int16_t* pOut0, int16_t* pOut1);
}  // namespace sse2
#endif

#ifdef CORVINA_DSP_AVX
namespace avx {
void Dct32Pair(const float* pIn0, const float* pIn1, float* pOut0, float* pOut1);
void StoreVector(const float* pX, double* pFirst, double* pSecond);
}  // namespace avx

// With FMA as well.
namespace avx2 {
void WindowSums(const double* pBank, int nSlot, float fScale, int16_t* pOut);
void WindowSumsPair(const double* pBank0, int nSlot0, const double* pBank1, int nSlot1,
                    float fScale, int16_t* pOut0, int16_t* pOut1);
}  // namespace avx2

// AVX-512 Foundation.
namespace avx512 {
void WindowSums(const double* pBank, int nSlot, float fScale, int16_t* pOut);
void WindowSumsPair(const double* pBank0, int nSlot0, const double* pBank1, int nSlot1,
                    float fScale, int16_t* pOut0, int16_t* pOut1);
}  // namespace avx512
#endif

}  // namespace corvina
