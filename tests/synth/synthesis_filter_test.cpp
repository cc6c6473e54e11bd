// The filterbank against the textbook form of the same filter: a 1024-value
// shift register, the full cosine matrix and the window applied in place,
// all in double precision.
#include "synth/synthesis_filter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <random>
#include <vector>

#include "synth/dct32.h"
#include "synth/synthesis_window.h"
#include "tests/support/recording_sink.h"

namespace {

// D[i] of the standard's window, from the table's row-by-age arrangement.
double Window(int i) {
    return g_fSynthWindow[16 * (i % 32) + i / 32];
}

class CReferenceFilter {
  public:
    // 32 PCM values of one slot, scaled and rounded like the real filter.
    std::array<int, 32> Run(const float* pInput) {
        for (int i = 1023; i >= 64; --i) {
            m_dV[i] = m_dV[i - 64];
        }
        for (int i = 0; i < 64; ++i) {
            double dSum = 0.0;
            for (int k = 0; k < 32; ++k) {
                dSum += std::cos((16 + i) * (2 * k + 1) * std::numbers::pi / 64.0) * pInput[k];
            }
            m_dV[i] = dSum;
        }
        std::array<int, 32> nOut{};
        for (int j = 0; j < 32; ++j) {
            double dSum = 0.0;
            for (int i = 0; i < 8; ++i) {
                dSum += m_dV[128 * i + j] * Window(64 * i + j);
                dSum += m_dV[128 * i + 96 + j] * Window(64 * i + 32 + j);
            }
            nOut[static_cast<std::size_t>(j)] =
                static_cast<int>(std::lround(std::clamp(dSum * 32768.0, -32768.0, 32767.0)));
        }
        return nOut;
    }

  private:
    std::array<double, 1024> m_dV{};
};

std::vector<float> RandomSlots(int nSlots, float fAmplitude, unsigned nSeed) {
    std::mt19937 random(nSeed);
    std::uniform_real_distribution<float> value(-fAmplitude, fAmplitude);
    std::vector<float> fInput(static_cast<std::size_t>(32 * nSlots));
    for (float& f : fInput) {
        f = value(random);
    }
    return fInput;
}

// Runs the slots through one filter and returns what it handed the sink.
std::vector<int16_t> Synthesize(const std::vector<float>& fInput, int nChannel = 0) {
    CRecording recording;
    CRecordingSink sink(recording);
    CSynthesisFilter filter(nChannel, 32768.0f);
    for (std::size_t s = 0; s < fInput.size() / 32; ++s) {
        for (int k = 0; k < 32; ++k) {
            filter.m_fInput[k] = fInput[32 * s + static_cast<std::size_t>(k)];
        }
        filter.Synthesize(sink);
    }
    return recording.nSamples[nChannel];
}

}  // namespace

TEST(SynthesisWindow, HasTheSymmetryOfTheStandardWindow) {
    // D[512 - i] is -D[i], except at multiples of 64 where it is D[i]; a
    // mistyped coefficient breaks one of these pairs.
    for (int i = 1; i < 256; ++i) {
        const double dExpected = i % 64 == 0 ? Window(i) : -Window(i);
        EXPECT_EQ(Window(512 - i), dExpected) << "i = " << i;
    }
    EXPECT_EQ(Window(0), 0.0);
    EXPECT_FLOAT_EQ(Window(256), 1.144989014f);
}

TEST(Dct32, MatchesTheCosineSumForUnitAndRandomInputs) {
    std::vector<std::array<float, 32>> inputs;
    for (int k = 0; k < 32; ++k) {
        std::array<float, 32> fUnit{};
        fUnit[static_cast<std::size_t>(k)] = 1.0f;
        inputs.push_back(fUnit);
    }
    std::mt19937 random(7);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    for (int n = 0; n < 50; ++n) {
        std::array<float, 32> fRandom{};
        for (float& f : fRandom) {
            f = value(random);
        }
        inputs.push_back(fRandom);
    }
    for (const auto& fIn : inputs) {
        float fOut[32];
        Dct32(fIn.data(), fOut);
        for (int i = 0; i < 32; ++i) {
            double dExpected = 0.0;
            for (int k = 0; k < 32; ++k) {
                dExpected += fIn[static_cast<std::size_t>(k)] *
                             std::cos((2 * k + 1) * i * std::numbers::pi / 64.0);
            }
            EXPECT_NEAR(fOut[i], dExpected, 2e-5) << "output " << i;
        }
    }
}

TEST(SynthesisFilter, AgreesWithTheShiftRegisterFormWithinOneStep) {
    // Long enough for the ring to wrap many times in both banks.
    const std::vector<float> fInput = RandomSlots(200, 0.02f, 11);
    const std::vector<int16_t> nActual = Synthesize(fInput);
    ASSERT_EQ(nActual.size(), fInput.size());
    CReferenceFilter reference;
    int nExact = 0;
    for (std::size_t s = 0; s < fInput.size() / 32; ++s) {
        const std::array<int, 32> nExpected = reference.Run(&fInput[32 * s]);
        for (std::size_t j = 0; j < 32; ++j) {
            const int nGot = nActual[32 * s + j];
            ASSERT_LE(std::abs(nGot - nExpected[j]), 1) << "slot " << s << " sample " << j;
            nExact += nGot == nExpected[j];
        }
    }
    // Off by one only where the exact value lies within a hair of a half.
    EXPECT_GT(nExact, static_cast<int>(nActual.size() * 99 / 100));
}

TEST(SynthesisFilter, ImpulseInEachSubbandRingsOutAfterSixteenSlots) {
    for (int k = 0; k < 32; ++k) {
        std::vector<float> fInput(32 * 20, 0.0f);
        fInput[static_cast<std::size_t>(k)] = 0.5f;
        const std::vector<int16_t> nOut = Synthesize(fInput);
        int nPeak = 0;
        for (std::size_t i = 0; i < 32 * 16; ++i) {
            nPeak = std::max(nPeak, std::abs(static_cast<int>(nOut[i])));
        }
        EXPECT_GT(nPeak, 1000) << "subband " << k;
        for (std::size_t i = 32 * 16; i < nOut.size(); ++i) {
            ASSERT_EQ(nOut[i], 0) << "subband " << k << " sample " << i;
        }
    }
}

TEST(SynthesisFilter, LoudInputClipsToTheSixteenBitRangeWithoutWrapping) {
    std::vector<float> fInput(32 * 40, 0.0f);
    for (std::size_t s = 0; s < 40; ++s) {
        fInput[32 * s] = s % 2 == 0 ? 40.0f : -40.0f;  // far beyond full scale
    }
    const std::vector<int16_t> nOut = Synthesize(fInput);
    const std::vector<int16_t> nQuiet = [&] {
        std::vector<float> fScaled(fInput);
        for (float& f : fScaled) {
            f /= 4000.0f;
        }
        return Synthesize(fScaled);
    }();
    bool bSawTop = false;
    bool bSawBottom = false;
    for (std::size_t i = 0; i < nOut.size(); ++i) {
        bSawTop |= nOut[i] == 32767;
        bSawBottom |= nOut[i] == -32768;
        // The clipped signal keeps the sign of the unclipped one.
        if (std::abs(static_cast<int>(nQuiet[i])) > 2) {
            ASSERT_EQ(nOut[i] > 0, nQuiet[i] > 0) << "sample " << i;
        }
    }
    EXPECT_TRUE(bSawTop);
    EXPECT_TRUE(bSawBottom);
}

TEST(SynthesisFilter, ClearsItsInputAndNamesItsChannel) {
    CRecording recording;
    CRecordingSink sink(recording);
    CSynthesisFilter filter(1, 32768.0f);
    filter.m_fInput[3] = 0.25f;
    filter.Synthesize(sink);
    for (float f : filter.m_fInput) {
        EXPECT_EQ(f, 0.0f);
    }
    EXPECT_TRUE(recording.nSamples[0].empty());
    EXPECT_EQ(recording.nSamples[1].size(), 32u);
}
