// The synthesis filter: the V vector of each slot goes into a ring of 16
// columns split over two banks, so that nothing moves from slot to slot, and
// every output sample sums 16 values of one row against a window row.
#include "synth/synthesis_filter.h"

#include <cstring>

namespace corvina {

CSynthesisFilter::CSynthesisFilter(int nChannel, float fScale)
    : m_dBank{},
      m_pBank(m_dBank[0]),
      m_nSlot(15),
      m_dsp(DspRoutines()),
      m_fInput{},
      m_nChannel(nChannel),
      m_fScale(fScale) {}

void CSynthesisFilter::Reset() {
    std::memset(m_dBank, 0, sizeof m_dBank);
    m_pBank = m_dBank[0];
    m_nSlot = 15;
    std::memset(m_fInput, 0, sizeof m_fInput);
}

void CSynthesisFilter::Synthesize(CAudioSink& sink) {
    Matrixing();
    Windowing(sink);
    Advance();
}

void CSynthesisFilter::SynthesizePair(CSynthesisFilter& first, CSynthesisFilter& second,
                                      CAudioSink& sink) {
    SynthesizePair(first, first.m_fInput, second, second.m_fInput, sink);
    std::memset(first.m_fInput, 0, sizeof first.m_fInput);
    std::memset(second.m_fInput, 0, sizeof second.m_fInput);
}

void CSynthesisFilter::SynthesizePair(CSynthesisFilter& first, const float* pIn0,
                                      CSynthesisFilter& second, const float* pIn1,
                                      CAudioSink& sink) {
    alignas(16) float fX0[32];
    alignas(16) float fX1[32];
    first.m_dsp.pfnDct32Pair(pIn0, pIn1, fX0, fX1);
    first.StoreVector(fX0);
    second.StoreVector(fX1);
    if (first.m_fScale != second.m_fScale) {
        first.Windowing(sink);
        second.Windowing(sink);
    } else {
        int16_t nFirst[32];
        int16_t nSecond[32];
        first.m_dsp.pfnWindowSumsPair(first.m_pBank, first.m_nSlot, second.m_pBank, second.m_nSlot,
                                      first.m_fScale, nFirst, nSecond);
        sink.WriteSamples(static_cast<int16_t>(first.m_nChannel), nFirst, 32);
        sink.WriteSamples(static_cast<int16_t>(second.m_nChannel), nSecond, 32);
    }
    first.NextSlot();
    second.NextSlot();
}

void CSynthesisFilter::SynthesizeTwoSlots(const float* pIn0, const float* pIn1, CAudioSink& sink) {
    alignas(16) float fX0[32];
    alignas(16) float fX1[32];
    m_dsp.pfnDct32Pair(pIn0, pIn1, fX0, fX1);
    StoreVector(fX0);
    // The second slot's values for the other bank wait until the first
    // slot's sums are done: they take the column that the first slot reads
    // as its oldest. The two sums then run at once, their chains of
    // additions side by side.
    double* pOther = m_pBank == m_dBank[0] ? m_dBank[1] : m_dBank[0];
    const int nNext = (m_nSlot + 1) & 15;
    alignas(64) double dLater[32];
    m_dsp.pfnStoreVector(fX1, pOther + 32 * nNext, dLater);
    int16_t nFirst[32];
    int16_t nSecond[32];
    m_dsp.pfnWindowSumsPair(m_pBank, m_nSlot, pOther, nNext, m_fScale, nFirst, nSecond);
    std::memcpy(m_pBank + 32 * nNext, dLater, sizeof dLater);
    sink.WriteSamples(static_cast<int16_t>(m_nChannel), nFirst, 32);
    sink.WriteSamples(static_cast<int16_t>(m_nChannel), nSecond, 32);
    NextSlot();
    NextSlot();
}

void CSynthesisFilter::Advance() {
    NextSlot();
    std::memset(m_fInput, 0, sizeof m_fInput);
}

void CSynthesisFilter::NextSlot() {
    ++m_nSlotsRun;
    m_nSlot = (m_nSlot + 1) & 15;
    m_pBank = m_pBank == m_dBank[0] ? m_dBank[1] : m_dBank[0];
}

// V[0..31] goes into the current bank and V[32..63] into the other, both at
// column m_nSlot; V follows from the transform X by its symmetries.
void CSynthesisFilter::Matrixing() {
    alignas(16) float fX[32];
    m_dsp.pfnDct32(m_fInput, fX);
    StoreVector(fX);
}

void CSynthesisFilter::StoreVector(const float* pX) {
    double* pOther = m_pBank == m_dBank[0] ? m_dBank[1] : m_dBank[0];
    m_dsp.pfnStoreVector(pX, m_pBank + 32 * m_nSlot, pOther + 32 * m_nSlot);
}

void CSynthesisFilter::Windowing(CAudioSink& sink) {
    int16_t nSamples[32];
    m_dsp.pfnWindowSums(m_pBank, m_nSlot, m_fScale, nSamples);
    sink.WriteSamples(static_cast<int16_t>(m_nChannel), nSamples, 32);
}

}  // namespace corvina
