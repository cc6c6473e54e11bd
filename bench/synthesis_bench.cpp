// One synthesis run (one time slot of one channel), and its two hot loops
// in every version this build has.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <random>

#include "output/discard_sink.h"
#include "synth/dct32.h"
#include "synth/synthesis_filter.h"
#include "synth/window_sums.h"

using namespace corvina;

namespace {

// Subband samples of the size that music gives: large in the low subbands.
void FillSlot(float (&fSlot)[32], std::mt19937& random) {
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    for (int sb = 0; sb < 32; ++sb) {
        fSlot[sb] = value(random) / static_cast<float>(1 + sb);
    }
}

void BM_Synthesize(benchmark::State& state) {
    std::mt19937 random(7);
    float fSlots[16][32];
    for (auto& fSlot : fSlots) {
        FillSlot(fSlot, random);
    }
    CSynthesisFilter filter(0, 32768.0f);
    CDiscardSink sink;
    int nSlot = 0;
    for (auto _ : state) {
        std::memcpy(filter.m_fInput, fSlots[nSlot], sizeof filter.m_fInput);
        nSlot = (nSlot + 1) & 15;
        filter.Synthesize(sink);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 32);
}
BENCHMARK(BM_Synthesize);

void RunWindowSums(benchmark::State& state, WindowSumsFunction pfnWindowSums) {
    if (pfnWindowSums == nullptr) {
        state.SkipWithError("not available on this processor");
        return;
    }
    std::mt19937 random(11);
    std::uniform_real_distribution<float> value(-0.5f, 0.5f);
    alignas(32) double dBank[512];
    for (double& d : dBank) {
        d = value(random);
    }
    int16_t nOut[32];
    int nSlot = 0;
    for (auto _ : state) {
        pfnWindowSums(dBank, nSlot, 32768.0f, nOut);
        nSlot = (nSlot + 1) & 15;
        benchmark::DoNotOptimize(nOut);
    }
    state.SetItemsProcessed(state.iterations() * 32);
}
BENCHMARK_CAPTURE(RunWindowSums, portable, WindowSumsPortable);
BENCHMARK_CAPTURE(RunWindowSums, avx2, WindowSumsAvx2());

// Both channels of a slot; items are samples of either channel.
void RunWindowSumsPair(benchmark::State& state, WindowSumsPairFunction pfnWindowSumsPair) {
    if (pfnWindowSumsPair == nullptr) {
        state.SkipWithError("not available on this processor");
        return;
    }
    std::mt19937 random(17);
    std::uniform_real_distribution<float> value(-0.5f, 0.5f);
    alignas(32) double dBank[2][512];
    for (auto& dChannel : dBank) {
        for (double& d : dChannel) {
            d = value(random);
        }
    }
    int16_t nOut[2][32];
    int nSlot = 0;
    for (auto _ : state) {
        pfnWindowSumsPair(dBank[0], nSlot, dBank[1], nSlot, 32768.0f, nOut[0], nOut[1]);
        nSlot = (nSlot + 1) & 15;
        benchmark::DoNotOptimize(nOut);
    }
    state.SetItemsProcessed(state.iterations() * 64);
}
BENCHMARK_CAPTURE(RunWindowSumsPair, portable, WindowSumsPairPortable);
BENCHMARK_CAPTURE(RunWindowSumsPair, avx2, WindowSumsPairAvx2());

void RunDct32(benchmark::State& state, void (*pfnDct32)(const float*, float*)) {
    std::mt19937 random(13);
    float fIn[32];
    FillSlot(fIn, random);
    float fOut[32];
    for (auto _ : state) {
        benchmark::DoNotOptimize(fIn);
        pfnDct32(fIn, fOut);
        benchmark::DoNotOptimize(fOut);
    }
}
BENCHMARK_CAPTURE(RunDct32, portable, Dct32Portable);
BENCHMARK_CAPTURE(RunDct32, vector, Dct32);

void RunDct32Pair(benchmark::State& state, Dct32PairFunction pfnDct32Pair) {
    if (pfnDct32Pair == nullptr) {
        state.SkipWithError("not available on this processor");
        return;
    }
    std::mt19937 random(19);
    float fIn[2][32];
    FillSlot(fIn[0], random);
    FillSlot(fIn[1], random);
    float fOut[2][32];
    for (auto _ : state) {
        benchmark::DoNotOptimize(fIn);
        pfnDct32Pair(fIn[0], fIn[1], fOut[0], fOut[1]);
        benchmark::DoNotOptimize(fOut);
    }
}
BENCHMARK_CAPTURE(RunDct32Pair, one_by_one, Dct32PairOneByOne);
BENCHMARK_CAPTURE(RunDct32Pair, avx, Dct32PairAvx());

}  // namespace
