// The synthesis filterbank: what a person hears of it (impulse and steady
// responses, rounding, saturation, agreement with the textbook formulation),
// and every table of DSP routines that this processor runs giving the very
// bits of the scalar one.
#include "synth/synthesis_filter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

#include "synth/dsp_routines.h"
#include "synth/synthesis_window.h"

using namespace corvina;

namespace {

// Runs the filter once per slot with subband 0 set to the slot's value and
// returns the 32 samples of each run.
std::vector<std::vector<int16_t>> RunSubbandZero(const std::vector<float>& fSlots) {
    CSynthesisFilter filter(32768.0f);
    std::vector<std::vector<int16_t>> runs;
    for (const float fValue : fSlots) {
        const float fInput[32] = {fValue};
        runs.emplace_back(32);
        filter.Synthesize(fInput, runs.back().data());
    }
    return runs;
}

TEST(SynthesisFilterTest, ImpulseRisesPeaksAndDiesWithinSixteenRuns) {
    std::vector<float> fSlots(20, 0.0f);
    fSlots[0] = 0.25f;
    const auto runs = RunSubbandZero(fSlots);
    ASSERT_EQ(runs.size(), 20u);
    for (int j = 0; j < 24; ++j) {
        EXPECT_EQ(runs[0][static_cast<std::size_t>(j)], 0) << "sample " << j;
    }
    EXPECT_EQ(runs[0][24], 1);
    int nPeak = 0;
    std::size_t nPeakRun = 0;
    std::size_t nPeakSample = 0;
    std::size_t nLastRun = 0;
    for (std::size_t r = 0; r < runs.size(); ++r) {
        for (std::size_t j = 0; j < 32; ++j) {
            if (runs[r][j] > nPeak) {
                nPeak = runs[r][j];
                nPeakRun = r;
                nPeakSample = j;
            }
            if (runs[r][j] != 0) {
                nLastRun = r;
            }
        }
    }
    EXPECT_EQ(nPeak, 8449);
    EXPECT_EQ(nPeakRun, 7u);
    EXPECT_EQ(nPeakSample, 21u);
    EXPECT_EQ(nLastRun, 15u);

    // Four times the impulse goes past full scale and is cut off there.
    fSlots[0] = 1.0f;
    int nLoudest = 0;
    for (const auto& run : RunSubbandZero(fSlots)) {
        nLoudest = std::max<int>(nLoudest, *std::max_element(run.begin(), run.end()));
    }
    EXPECT_EQ(nLoudest, 32767);
}

TEST(SynthesisFilterTest, SteadyInputSettlesAtItsLevelAndNegatesExactly) {
    const auto half = RunSubbandZero(std::vector<float>(24, 0.5f));
    const auto minusHalf = RunSubbandZero(std::vector<float>(24, -0.5f));
    const auto full = RunSubbandZero(std::vector<float>(24, 1.0f));
    for (std::size_t r = 15; r < 24; ++r) {
        for (std::size_t j = 0; j < 32; ++j) {
            EXPECT_TRUE(half[r][j] == 16384 || half[r][j] == 16385) << r << " " << j;
            EXPECT_EQ(minusHalf[r][j], -half[r][j]) << r << " " << j;
            EXPECT_EQ(full[r][j], 32767) << r << " " << j;
        }
    }
    // Silence is silence, not -1 or +1 from the rounding.
    for (const auto& run : RunSubbandZero(std::vector<float>(20, 0.0f))) {
        for (const int16_t nSample : run) {
            EXPECT_EQ(nSample, 0);
        }
    }
}

// The textbook synthesis: a 1024-value V history shifted by 64 per slot, V
// from the 64 x 32 cosine matrix, U from V and the sums of D, all in double.
class CReferenceFilter {
  public:
    void Run(const float (&fInput)[32], int16_t (&nOut)[32]) {
        std::memmove(m_dV + 64, m_dV, sizeof(double) * (1024 - 64));
        for (int i = 0; i < 64; ++i) {
            double dSum = 0.0;
            for (int k = 0; k < 32; ++k) {
                dSum += std::cos((16 + i) * (2 * k + 1) * std::numbers::pi / 64.0) * fInput[k];
            }
            m_dV[i] = dSum;
        }
        for (int j = 0; j < 32; ++j) {
            double dSum = 0.0;
            for (int i = 0; i < 16; ++i) {
                // U[j + 32 i] comes from V[128 (i / 2) + j] or V[128 (i / 2) + 96 + j].
                const double dU = m_dV[128 * (i / 2) + (i % 2 == 0 ? 0 : 96) + j];
                dSum += dU * Window(j + 32 * i);
            }
            const double dScaled = dSum * 32768.0;
            const double dRounded = std::trunc(dScaled + (dSum > 0.0 ? 0.5 : -0.5));
            nOut[j] = static_cast<int16_t>(std::clamp(dRounded, -32768.0, 32767.0));
        }
    }

  private:
    // D[n] of the standard from the table stored by output row.
    static double Window(int n) { return g_fSynthWindow[16 * (n % 32) + n / 32]; }

    double m_dV[1024] = {};
};

TEST(SynthesisFilterTest, MatchesTheTextbookFilterWithinOneStep) {
    std::mt19937 random(5);
    std::uniform_real_distribution<float> value(-0.6f, 0.6f);
    CSynthesisFilter filter(32768.0f);
    CReferenceFilter reference;
    int nDiffering = 0;
    for (int nRun = 0; nRun < 80; ++nRun) {
        float fInput[32];
        for (int sb = 0; sb < 32; ++sb) {
            fInput[sb] = value(random) / static_cast<float>(1 + sb % 8);
        }
        // Every other entry, as into the left side of a stereo frame.
        int16_t nGot[64];
        std::fill(std::begin(nGot), std::end(nGot), int16_t{77});
        filter.Synthesize(fInput, nGot, 2);
        int16_t nExpected[32];
        reference.Run(fInput, nExpected);
        for (int j = 0; j < 32; ++j) {
            ASSERT_LE(std::abs(nGot[2 * j] - nExpected[j]), 1) << "run " << nRun << " sample " << j;
            ASSERT_EQ(nGot[2 * j + 1], 77) << "the other side is left alone";
            nDiffering += nGot[2 * j] != nExpected[j] ? 1 : 0;
        }
    }
    EXPECT_LT(nDiffering, 80 * 32 / 20);
}

TEST(SynthesisFilterTest, PairAndTwoSlotRunsAreTheSingleRunsEvenWhenTheRingsDiffer) {
    std::mt19937 random(9);
    std::uniform_real_distribution<float> value(-1.2f, 1.2f);
    CSynthesisFilter single0(32768.0f), single1(32768.0f);
    CSynthesisFilter pair0(32768.0f), pair1(32768.0f);
    for (int nRun = 0; nRun < 40; ++nRun) {
        float fInput[2][32];
        for (auto& fChannel : fInput) {
            for (float& f : fChannel) {
                f = value(random);
            }
        }
        int16_t nSingle[64];
        int16_t nPair[64];
        if (nRun % 7 == 3) {
            // A single-channel frame in a stereo stream runs filter 0 alone,
            // so the two rings no longer turn in step; two of its slots run
            // through the transform at once.
            single0.Synthesize(fInput[0], nSingle);
            single0.Synthesize(fInput[1], nSingle + 32);
            pair0.SynthesizeTwoSlots(fInput[0], fInput[1], nPair);
        } else {
            single0.Synthesize(fInput[0], nSingle, 2);
            single1.Synthesize(fInput[1], nSingle + 1, 2);
            CSynthesisFilter::SynthesizePair(pair0, fInput[0], pair1, fInput[1], nPair);
        }
        ASSERT_EQ(std::memcmp(nPair, nSingle, sizeof nPair), 0) << "run " << nRun;
    }
}

TEST(SynthesisFilterTest, TwoSlotsAtOnceAreTheTwoSingleRuns) {
    // Past sixteen slots, so that the pair's first slot reads the oldest
    // column while the second has new values for it.
    std::mt19937 random(21);
    std::uniform_real_distribution<float> value(-1.2f, 1.2f);
    CSynthesisFilter single(32768.0f), twoSlots(32768.0f);
    for (int nRun = 0; nRun < 24; ++nRun) {
        float fInput[2][32];
        for (auto& fSlot : fInput) {
            for (float& f : fSlot) {
                f = value(random);
            }
        }
        int16_t nSingle[64];
        int16_t nPair[64];
        single.Synthesize(fInput[0], nSingle);
        single.Synthesize(fInput[1], nSingle + 32);
        twoSlots.SynthesizeTwoSlots(fInput[0], fInput[1], nPair);
        ASSERT_EQ(std::memcmp(nPair, nSingle, sizeof nPair), 0) << "run " << nRun;
    }
    EXPECT_EQ(twoSlots.SlotsRun(), single.SlotsRun());
}

// Banks of the size that music gives, with values at the edges mixed in:
// sums past full scale, zeros, tiny values, and the odd infinity or NaN.
std::vector<double> TestBank(std::mt19937& random, int nKind) {
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    std::vector<double> dBank(512);
    for (double& d : dBank) {
        float f = value(random);
        switch (nKind) {
            case 0:
                f *= 0.1f;
                break;
            case 1:
                f *= 3.0f;  // mostly saturated
                break;
            case 2:
                f *= 1e-6f;  // sums around half a step
                break;
            default:
                if (std::uniform_int_distribution<int>(0, 60)(random) == 0) {
                    f = std::numeric_limits<float>::infinity();
                } else if (std::uniform_int_distribution<int>(0, 60)(random) == 0) {
                    f = std::numeric_limits<float>::quiet_NaN();
                } else if (std::uniform_int_distribution<int>(0, 3)(random) == 0) {
                    f = 0.0f;
                }
                break;
        }
        dBank[static_cast<std::size_t>(&d - dBank.data())] = static_cast<double>(f);
    }
    return dBank;
}

// The scalar table first, then the wider ones this processor runs.
std::vector<CDspRoutines> RunnableTables() {
    std::vector<CDspRoutines> tables;
    for (const CDspRoutines& table : BuiltDspRoutines()) {
        if (table.set <= ProcessorInstructionSet()) {
            tables.push_back(table);
        }
    }
    return tables;
}

TEST(DspRoutinesTest, TheTablesGoFromScalarUpAndThePickedOneIsTheWidestAllowed) {
    const auto built = BuiltDspRoutines();
    ASSERT_FALSE(built.empty());
    EXPECT_EQ(built[0].set, EInstructionSet::Scalar);
    const CDspRoutines* pWidest = nullptr;
    for (std::size_t i = 0; i < built.size(); ++i) {
        EXPECT_EQ(InstructionSetNamed(built[i].pszName), built[i].set) << built[i].pszName;
        if (i > 0) {
            EXPECT_LT(built[i - 1].set, built[i].set) << built[i].pszName;
        }
        if (built[i].set <= UsableInstructionSet()) {
            pWidest = &built[i];
        }
    }
    EXPECT_EQ(&DspRoutines(), pWidest);
    EXPECT_EQ(InstructionSetNamed("portable"), EInstructionSet::Sse2);
    EXPECT_EQ(InstructionSetNamed("AVX2"), std::nullopt);
    EXPECT_EQ(InstructionSetNamed(""), std::nullopt);
}

TEST(WindowSumsTest, EveryTableGivesTheBitsOfTheScalarOne) {
    const std::vector<CDspRoutines> tables = RunnableTables();
    std::mt19937 random(3);
    for (int nCase = 0; nCase < 400; ++nCase) {
        const std::vector<double> dBank0 = TestBank(random, nCase % 4);
        const std::vector<double> dBank1 = TestBank(random, (nCase + 1) % 4);
        const int nSlot0 = nCase % 16;
        const int nSlot1 = (nCase * 7 + nCase / 16) % 16;
        int16_t nScalar0[32], nScalar1[32];
        tables[0].pfnWindowSums(dBank0.data(), nSlot0, 32768.0f, nScalar0);
        tables[0].pfnWindowSums(dBank1.data(), nSlot1, 32768.0f, nScalar1);
        for (const CDspRoutines& table : tables) {
            int16_t nSingle[32], nPair0[32], nPair1[32];
            table.pfnWindowSums(dBank0.data(), nSlot0, 32768.0f, nSingle);
            table.pfnWindowSumsPair(dBank0.data(), nSlot0, dBank1.data(), nSlot1, 32768.0f, nPair0,
                                    nPair1);
            for (int j = 0; j < 32; ++j) {
                ASSERT_EQ(nSingle[j], nScalar0[j]) << table.pszName << " case " << nCase;
                ASSERT_EQ(nPair0[j], nScalar0[j]) << table.pszName << " case " << nCase;
                ASSERT_EQ(nPair1[j], nScalar1[j]) << table.pszName << " case " << nCase;
            }
        }
    }
}

TEST(StoreVectorTest, EveryTableWritesTheRowsOfTheScalarOne) {
    const std::vector<CDspRoutines> tables = RunnableTables();
    std::mt19937 random(5);
    std::uniform_real_distribution<float> value(-2.0f, 2.0f);
    for (int nCase = 0; nCase < 20; ++nCase) {
        alignas(16) float fX[32];
        for (float& f : fX) {
            f = value(random);
        }
        double dExpected[2][32];
        tables[0].pfnStoreVector(fX, dExpected[0], dExpected[1]);
        for (const CDspRoutines& table : tables) {
            double dRows[2][32];
            std::fill(&dRows[0][0], &dRows[0][0] + 64, 99.0);
            table.pfnStoreVector(fX, dRows[0], dRows[1]);
            ASSERT_EQ(std::memcmp(dExpected, dRows, sizeof dRows), 0)
                << table.pszName << " case " << nCase;
        }
    }
}

TEST(WindowSumsTest, RoundingIsHalfAwayFromZeroAndSaturationIsSilent) {
    // One non-zero value: row 0's newest coefficient is 0, so use age 8 of
    // row 0, the largest coefficient, in column (slot - 8) mod 16.
    const double dCoefficient = static_cast<double>(g_fSynthWindow[8]);
    struct CCase {
        double dSum;  // the window sum wanted
        int16_t nExpected;
    };
    const CCase cases[] = {
        {1.6 / 32768, 2},
        {-1.6 / 32768, -2},
        {1.4 / 32768, 1},
        {-1.4 / 32768, -1},
        {40000.0 / 32768, 32767},
        {-40000.0 / 32768, -32768},
        {32767.2 / 32768, 32767},
        // The largest float under half a step: a half added in single
        // precision would round it up to a whole one.
        {(0.5 - 0x1p-25) / 32768, 0},
        {-(0.5 - 0x1p-25) / 32768, 0},
        {0.0, 0},
        {1e30, 32767},
        {std::numeric_limits<double>::quiet_NaN(), -32768},
    };
    for (const CDspRoutines& table : RunnableTables()) {
        for (const CCase& test : cases) {
            alignas(32) double dBank[512] = {};
            const int nSlot = 3;
            dBank[32 * ((nSlot - 8) & 15)] =
                static_cast<double>(static_cast<float>(test.dSum / dCoefficient));
            int16_t nOut[32];
            table.pfnWindowSums(dBank, nSlot, 32768.0f, nOut);
            EXPECT_EQ(nOut[0], test.nExpected) << table.pszName << " " << test.dSum * 32768;
            for (int j = 1; j < 32; ++j) {
                EXPECT_EQ(nOut[j], 0);
            }
        }
    }
}

TEST(Dct32Test, TheStraightLineVersionIsTheCosineTransform) {
    std::mt19937 random(1);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    for (int nCase = 0; nCase < 50; ++nCase) {
        float fIn[32];
        for (float& f : fIn) {
            f = value(random);
        }
        float fOut[32];
        BuiltDspRoutines()[0].pfnDct32(fIn, fOut);
        for (int i = 0; i < 32; ++i) {
            double dExpected = 0.0;
            for (int k = 0; k < 32; ++k) {
                dExpected += fIn[k] * std::cos((2 * k + 1) * i * std::numbers::pi / 64.0);
            }
            ASSERT_NEAR(fOut[i], dExpected, 1e-4) << "case " << nCase << " output " << i;
        }
    }
}

TEST(Dct32Test, EveryTableGivesTheBitsOfTheStraightLineOneAloneAndInPairs) {
    const std::vector<CDspRoutines> tables = RunnableTables();
    std::mt19937 random(2);
    std::uniform_real_distribution<float> value(-2.0f, 2.0f);
    for (int nCase = 0; nCase < 3000; ++nCase) {
        float fIn0[32], fIn1[32];
        for (int k = 0; k < 32; ++k) {
            fIn0[k] = value(random) * (nCase % 3 == 0 ? 1e-30f : 1.0f);
            fIn1[k] = nCase % 5 == 0 && k % 2 == 0 ? -0.0f : value(random);
        }
        float fExpected0[32], fExpected1[32];
        tables[0].pfnDct32(fIn0, fExpected0);
        tables[0].pfnDct32(fIn1, fExpected1);
        for (const CDspRoutines& table : tables) {
            float fSingle[32], fOut0[32], fOut1[32];
            table.pfnDct32(fIn0, fSingle);
            table.pfnDct32Pair(fIn0, fIn1, fOut0, fOut1);
            ASSERT_EQ(std::memcmp(fSingle, fExpected0, sizeof fSingle), 0)
                << table.pszName << " case " << nCase;
            ASSERT_EQ(std::memcmp(fOut0, fExpected0, sizeof fOut0), 0)
                << table.pszName << " case " << nCase;
            ASSERT_EQ(std::memcmp(fOut1, fExpected1, sizeof fOut1), 0)
                << table.pszName << " case " << nCase;
        }
    }
}

}  // namespace
