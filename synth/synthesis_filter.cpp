// The synthesis filter: the V vector of each slot goes into a ring of 16
// columns split over two banks, so that nothing moves from slot to slot, and
// every output sample sums 16 values of one row against a window row.
#include "synth/synthesis_filter.h"

#include <cstring>

#include "synth/dct32.h"
#include "synth/synthesis_window.h"

CSynthesisFilter::CSynthesisFilter(int nChannel, float fScale)
    : m_dBank{},
      m_pBank(m_dBank[0]),
      m_nSlot(15),
      m_pfnWindowSums(BestWindowSums()),
      m_fInput{},
      m_nChannel(nChannel),
      m_fScale(fScale) {}

void CSynthesisFilter::Synthesize(CAudioSink& sink) {
    Matrixing();
    Windowing(sink);
    m_nSlot = (m_nSlot + 1) & 15;
    m_pBank = m_pBank == m_dBank[0] ? m_dBank[1] : m_dBank[0];
    std::memset(m_fInput, 0, sizeof m_fInput);
}

// V[0..31] goes into the current bank and V[32..63] into the other, both at
// column m_nSlot; V follows from the transform X by its symmetries.
void CSynthesisFilter::Matrixing() {
    float fX[32];
    Dct32(m_fInput, fX);
    double* pFirst = m_pBank + 32 * m_nSlot;
    double* pSecond = (m_pBank == m_dBank[0] ? m_dBank[1] : m_dBank[0]) + 32 * m_nSlot;
    for (int r = 0; r < 16; ++r) {
        pFirst[r] = fX[16 + r];
    }
    pFirst[16] = 0.0;
    for (int r = 17; r < 32; ++r) {
        pFirst[r] = -fX[48 - r];
    }
    for (int r = 0; r <= 16; ++r) {
        pSecond[r] = -fX[16 - r];
    }
    for (int r = 17; r < 32; ++r) {
        pSecond[r] = -fX[r - 16];
    }
}

void CSynthesisFilter::Windowing(CAudioSink& sink) {
    int16_t nSamples[32];
    m_pfnWindowSums(m_pBank, m_nSlot, m_fScale, nSamples);
    sink.WriteSamples(static_cast<int16_t>(m_nChannel), nSamples, 32);
}
