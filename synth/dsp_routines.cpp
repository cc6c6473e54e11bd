#include "synth/dsp_routines.h"

#include "synth/dsp_kernels.h"

namespace corvina {

namespace {

template <Dct32Function pfnDct32>
void Dct32OneByOne(const float* pIn0, const float* pIn1, float* pOut0, float* pOut1) {
    pfnDct32(pIn0, pOut0);
    pfnDct32(pIn1, pOut1);
}

template <WindowSumsFunction pfnWindowSums>
void WindowSumsOneByOne(const double* pBank0, int nSlot0, const double* pBank1, int nSlot1,
                        float fScale, int16_t* pOut0, int16_t* pOut1) {
    pfnWindowSums(pBank0, nSlot0, fScale, pOut0);
    pfnWindowSums(pBank1, nSlot1, fScale, pOut1);
}

// In the order of EInstructionSet. The single transform stays at four lanes
// on every set: a slot has one transform, and a wider one is a pair.
const CDspRoutines kRoutines[] = {
    {EInstructionSet::Scalar, "scalar", scalar::Dct32, Dct32OneByOne<scalar::Dct32>,
     scalar::StoreVector, scalar::WindowSums, WindowSumsOneByOne<scalar::WindowSums>},
#ifdef CORVINA_DSP_SSE2
    {EInstructionSet::Sse2, "sse2", sse2::Dct32, Dct32OneByOne<sse2::Dct32>, sse2::StoreVector,
     sse2::WindowSums, sse2::WindowSumsPair},
#endif
#if defined(CORVINA_DSP_SSE2) && defined(CORVINA_DSP_AVX)
    {EInstructionSet::Avx, "avx", sse2::Dct32, avx::Dct32Pair, avx::StoreVector, sse2::WindowSums,
     sse2::WindowSumsPair},
    {EInstructionSet::Avx2, "avx2", sse2::Dct32, avx::Dct32Pair, avx::StoreVector, avx2::WindowSums,
     avx2::WindowSumsPair},
    {EInstructionSet::Avx512, "avx512", sse2::Dct32, avx::Dct32Pair, avx::StoreVector,
     avx512::WindowSums, avx512::WindowSumsPair},
#endif
};

}  // namespace

std::span<const CDspRoutines> BuiltDspRoutines() {
    return kRoutines;
}

const CDspRoutines& DspRoutines() {
    static const CDspRoutines* const pRoutines = [] {
        const EInstructionSet usable = UsableInstructionSet();
        const CDspRoutines* pBest = &kRoutines[0];
        for (const CDspRoutines& candidate : kRoutines) {
            if (candidate.set <= usable) {
                pBest = &candidate;
            }
        }
        return pBest;
    }();
    return *pRoutines;
}

}  // namespace corvina
