// One synthesis run (one time slot of one channel), and its hot loops in
// every table of DSP routines that this processor runs.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <string>

#include "synth/dsp_routines.h"
#include "synth/synthesis_filter.h"

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
    CSynthesisFilter filter(32768.0f);
    int16_t nOut[32];
    int nSlot = 0;
    for (auto _ : state) {
        filter.Synthesize(fSlots[nSlot], nOut);
        nSlot = (nSlot + 1) & 15;
        benchmark::DoNotOptimize(nOut);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 32);
}
BENCHMARK(BM_Synthesize);

void RunWindowSums(benchmark::State& state, WindowSumsFunction pfnWindowSums) {
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

// Both channels of a slot; items are samples of either channel.
void RunWindowSumsPair(benchmark::State& state, WindowSumsPairFunction pfnWindowSumsPair) {
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

void RunDct32(benchmark::State& state, Dct32Function pfnDct32) {
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

void RunDct32Pair(benchmark::State& state, Dct32PairFunction pfnDct32Pair) {
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
// Each routine of each table that this processor runs, named by the routine
// and the first table that has it.
const bool kRegistered = [] {
    const CDspRoutines* pPrevious = nullptr;
    for (const CDspRoutines& table : BuiltDspRoutines()) {
        if (table.set > ProcessorInstructionSet()) {
            break;
        }
        const std::string sName = std::string("/") + table.pszName;
        const auto New = [pPrevious](auto pfn, auto CDspRoutines::*pMember) {
            return pPrevious == nullptr || pPrevious->*pMember != pfn;
        };
        if (New(table.pfnWindowSums, &CDspRoutines::pfnWindowSums)) {
            benchmark::RegisterBenchmark(("WindowSums" + sName).c_str(), RunWindowSums,
                                         table.pfnWindowSums);
        }
        if (New(table.pfnWindowSumsPair, &CDspRoutines::pfnWindowSumsPair)) {
            benchmark::RegisterBenchmark(("WindowSumsPair" + sName).c_str(), RunWindowSumsPair,
                                         table.pfnWindowSumsPair);
        }
        if (New(table.pfnDct32, &CDspRoutines::pfnDct32)) {
            benchmark::RegisterBenchmark(("Dct32" + sName).c_str(), RunDct32, table.pfnDct32);
        }
        if (New(table.pfnDct32Pair, &CDspRoutines::pfnDct32Pair)) {
            benchmark::RegisterBenchmark(("Dct32Pair" + sName).c_str(), RunDct32Pair,
                                         table.pfnDct32Pair);
        }
        pPrevious = &table;
    }
    return true;
}();

}  // namespace
