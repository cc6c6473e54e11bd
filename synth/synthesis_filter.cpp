// The synthesis filter: the V vector of each slot goes into a ring of 16
// columns split over two banks, so that nothing moves from slot to slot, and
// every output sample is one contiguous row of 16 values times a window row.
#include "synth/synthesis_filter.h"

#include <cstring>
#include <utility>

#include "synth/dct32.h"
#include "synth/synthesis_window.h"

CSynthesisFilter::CSynthesisFilter(int nChannel, float fScale)
    : m_fBank{},
      m_pBank(m_fBank[0]),
      m_nSlot(15),
      m_fInput{},
      m_nChannel(nChannel),
      m_fScale(fScale) {}

void CSynthesisFilter::Synthesize(CAudioSink& sink) {
    Matrixing();
    Windowing(sink);
    m_nSlot = (m_nSlot + 1) & 15;
    m_pBank = m_pBank == m_fBank[0] ? m_fBank[1] : m_fBank[0];
    std::memset(m_fInput, 0, sizeof m_fInput);
}

// V[0..31] goes into the current bank and V[32..63] into the other, both at
// column m_nSlot; V follows from the transform X by its symmetries.
void CSynthesisFilter::Matrixing() {
    float fX[32];
    Dct32(m_fInput, fX);
    float* pFirst = m_pBank + m_nSlot;
    float* pSecond = (m_pBank == m_fBank[0] ? m_fBank[1] : m_fBank[0]) + m_nSlot;
    for (int r = 0; r < 16; ++r) {
        pFirst[16 * r] = fX[16 + r];
    }
    pFirst[16 * 16] = 0.0f;
    for (int r = 17; r < 32; ++r) {
        pFirst[16 * r] = -fX[48 - r];
    }
    for (int r = 0; r <= 16; ++r) {
        pSecond[16 * r] = -fX[16 - r];
    }
    for (int r = 17; r < 32; ++r) {
        pSecond[16 * r] = -fX[r - 16];
    }
}

void CSynthesisFilter::Windowing(CAudioSink& sink) {
    // One instance per slot, so that every ring column is a constant offset.
    [&]<int... S>(std::integer_sequence<int, S...>) {
        static_cast<void>(((m_nSlot == S ? (WindowSlot<S>(sink), true) : false) || ...));
    }
    (std::make_integer_sequence<int, 16>{});
}

// The window for slot S: age t reads column (S - t) mod 16, fixed at compile
// time. Sums are taken in double precision in the order t = 0..15.
template <int S>
void CSynthesisFilter::WindowSlot(CAudioSink& sink) {
    const auto nChannel = static_cast<int16_t>(m_nChannel);
    for (int j = 0; j < 32; ++j) {
        const float* pRow = m_pBank + 16 * j;
        const float* pWindow = g_fSynthWindow + 16 * j;
        double dSum = 0.0;
        for (int t = 0; t < 16; ++t) {
            dSum += static_cast<double>(pWindow[t]) * static_cast<double>(pRow[(S - t) & 15]);
        }
        const float fScaled = m_fScale * static_cast<float>(dSum);
        // Half away from zero by the sign of the sum, then toward zero.
        const double dRounded = static_cast<double>(fScaled) + (dSum > 0.0 ? 0.5 : -0.5);
        int16_t nSample;
        if (dRounded >= 32767.0) {
            nSample = 32767;
        } else if (dRounded > -32768.0) {
            nSample = static_cast<int16_t>(dRounded);
        } else {
            nSample = -32768;
        }
        sink.WriteSample(nChannel, nSample);
    }
}
