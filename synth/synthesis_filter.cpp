// The synthesis filter: the V vector of each slot goes into a ring of 16
// columns split over two banks, so that nothing moves from slot to slot, and
// every output sample sums 16 values of one row against a window row.
#include "synth/synthesis_filter.h"

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace corvina {

namespace {

// pOut[2 i] = nFirst[i], pOut[2 i + 1] = nSecond[i] for the 32 samples.
void Interleave(const int16_t* nFirst, const int16_t* nSecond, int16_t* pOut) {
#ifdef __SSE2__
    for (int i = 0; i < 32; i += 8) {
        const __m128i nA = _mm_loadu_si128(reinterpret_cast<const __m128i*>(nFirst + i));
        const __m128i nB = _mm_loadu_si128(reinterpret_cast<const __m128i*>(nSecond + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pOut + 2 * i), _mm_unpacklo_epi16(nA, nB));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pOut + 2 * i + 8), _mm_unpackhi_epi16(nA, nB));
    }
#else
    for (int i = 0; i < 32; ++i) {
        pOut[2 * i] = nFirst[i];
        pOut[2 * i + 1] = nSecond[i];
    }
#endif
}

}  // namespace

CSynthesisFilter::CSynthesisFilter(float fScale)
    : m_dBank{}, m_pBank(m_dBank[0]), m_nSlot(15), m_dsp(DspRoutines()), m_fScale(fScale) {}

void CSynthesisFilter::Reset() {
    std::memset(m_dBank, 0, sizeof m_dBank);
    m_pBank = m_dBank[0];
    m_nSlot = 15;
}

// V[0..31] goes into the current bank and V[32..63] into the other, both at
// column m_nSlot; V follows from the transform X by its symmetries.
void CSynthesisFilter::Synthesize(const float in[32], int16_t* pOut, int nStride) {
    alignas(16) float fX[32];
    m_dsp.pfnDct32(in, fX);
    StoreVector(fX);
    Windowing(pOut, nStride);
    NextSlot();
}

void CSynthesisFilter::SynthesizePair(CSynthesisFilter& first, const float in0[32],
                                      CSynthesisFilter& second, const float in1[32],
                                      int16_t* pOut) {
    alignas(16) float fX0[32];
    alignas(16) float fX1[32];
    first.m_dsp.pfnDct32Pair(in0, in1, fX0, fX1);
    first.StoreVector(fX0);
    second.StoreVector(fX1);
    if (first.m_fScale != second.m_fScale) {
        first.Windowing(pOut, 2);
        second.Windowing(pOut + 1, 2);
    } else {
        int16_t nFirst[32];
        int16_t nSecond[32];
        first.m_dsp.pfnWindowSumsPair(first.m_pBank, first.m_nSlot, second.m_pBank, second.m_nSlot,
                                      first.m_fScale, nFirst, nSecond);
        Interleave(nFirst, nSecond, pOut);
    }
    first.NextSlot();
    second.NextSlot();
}

void CSynthesisFilter::SynthesizeTwoSlots(const float in0[32], const float in1[32], int16_t* pOut,
                                          int nStride) {
    alignas(16) float fX0[32];
    alignas(16) float fX1[32];
    m_dsp.pfnDct32Pair(in0, in1, fX0, fX1);
    StoreVector(fX0);
    // The second slot's values for the other bank wait until the first
    // slot's sums are done: they take the column that the first slot reads
    // as its oldest. The two sums then run at once, their chains of
    // additions side by side.
    double* pOther = m_pBank == m_dBank[0] ? m_dBank[1] : m_dBank[0];
    const int nNext = (m_nSlot + 1) & 15;
    alignas(64) double dLater[32];
    m_dsp.pfnStoreVector(fX1, pOther + 32 * nNext, dLater);
    if (nStride == 1) {
        m_dsp.pfnWindowSumsPair(m_pBank, m_nSlot, pOther, nNext, m_fScale, pOut, pOut + 32);
    } else {
        int16_t nFirst[32];
        int16_t nSecond[32];
        m_dsp.pfnWindowSumsPair(m_pBank, m_nSlot, pOther, nNext, m_fScale, nFirst, nSecond);
        for (int i = 0; i < 32; ++i) {
            pOut[i * nStride] = nFirst[i];
            pOut[(32 + i) * nStride] = nSecond[i];
        }
    }
    std::memcpy(m_pBank + 32 * nNext, dLater, sizeof dLater);
    NextSlot();
    NextSlot();
}

void CSynthesisFilter::NextSlot() {
    ++m_nSlotsRun;
    m_nSlot = (m_nSlot + 1) & 15;
    m_pBank = m_pBank == m_dBank[0] ? m_dBank[1] : m_dBank[0];
}

void CSynthesisFilter::StoreVector(const float* pX) {
    double* pOther = m_pBank == m_dBank[0] ? m_dBank[1] : m_dBank[0];
    m_dsp.pfnStoreVector(pX, m_pBank + 32 * m_nSlot, pOther + 32 * m_nSlot);
}

void CSynthesisFilter::Windowing(int16_t* pOut, int nStride) {
    if (nStride == 1) {
        m_dsp.pfnWindowSums(m_pBank, m_nSlot, m_fScale, pOut);
        return;
    }
    int16_t nSamples[32];
    m_dsp.pfnWindowSums(m_pBank, m_nSlot, m_fScale, nSamples);
    for (int i = 0; i < 32; ++i) {
        pOut[i * nStride] = nSamples[i];
    }
}

}  // namespace corvina
