// Damaged frames of real encoder output: a frame failing its CRC repeats the
// last good one 6 dB and then 12 dB down, then silence, with no click at
// either edge and no change in length; one warning per burst. A Layer I
// allocation of 15 is concealed likewise.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/support/recording_presenter.h"
#include "tests/support/recording_sink.h"
#include "tests/support/stream_builder.h"

using namespace corvina;

namespace {

constexpr int kFrameSamples = 1152;

std::vector<uint8_t> ProtectedTone() {
    std::ifstream file(
        std::filesystem::path(CORVINA_SOURCE_DIR) / "tests/streams/twolame-44k-crc-128k.mp2",
        std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

// Flips the first allocation bit of each frame listed: the CRC no longer
// holds. The stream is 128 kbit/s at 44.1 kHz: 417 bytes a frame, 418 padded.
std::vector<uint8_t> Damaged(std::vector<uint8_t> bytes, const std::vector<int>& frames) {
    std::size_t nAt = 0;
    for (int nFrame = 0; nAt + 6 < bytes.size(); ++nFrame) {
        EXPECT_EQ(bytes[nAt], 0xFF) << nFrame;
        if (std::find(frames.begin(), frames.end(), nFrame) != frames.end()) {
            bytes[nAt + 6] ^= 0x80;
        }
        nAt += 417 + ((bytes[nAt + 2] >> 1) & 1);
    }
    return bytes;
}

double FrameEnergy(const CDecodeResult& result, int nFrame) {
    double dSum = 0.0;
    for (const std::vector<int16_t>& channel : result.nSamples) {
        for (int i = nFrame * kFrameSamples; i < (nFrame + 1) * kFrameSamples; ++i) {
            dSum += static_cast<double>(channel[i]) * channel[i];
        }
    }
    return dSum;
}

int LargestStep(const CDecodeResult& result) {
    int nLargest = 0;
    for (const std::vector<int16_t>& channel : result.nSamples) {
        for (std::size_t i = 1; i < channel.size(); ++i) {
            nLargest = std::max(nLargest, std::abs(channel[i] - channel[i - 1]));
        }
    }
    return nLargest;
}

TEST(ConcealmentTest, DamagedFramesFadeFromTheLastGoodOneWithoutAStep) {
    CRecordingPresenter presenter;
    const CDecodeResult clean = DecodeBytes(ProtectedTone(), presenter.Reporter());
    ASSERT_GT(clean.nSamples[0].size(), 110u * kFrameSamples);
    const std::vector<uint8_t> damaged =
        Damaged(ProtectedTone(), {10, 40, 70, 100, 101, 102, 103, 104});
    const CDecodeResult result = DecodeBytes(damaged, presenter.Reporter());
    EXPECT_EQ(result.nSamples[0].size(), clean.nSamples[0].size());
    EXPECT_EQ(result.nSamples[1].size(), clean.nSamples[1].size());
    for (int nFrame : {10, 40, 70, 100}) {
        const double dDb =
            10.0 * std::log10(FrameEnergy(result, nFrame) / FrameEnergy(clean, nFrame));
        EXPECT_GE(dDb, -7.0) << nFrame;
        EXPECT_LE(dDb, 0.0) << nFrame;
    }
    // The third frame of the burst rings out the filters; the rest is silence.
    for (int nFrame : {103, 104}) {
        EXPECT_EQ(FrameEnergy(result, nFrame), 0.0) << nFrame;
    }
    EXPECT_LE(LargestStep(result), LargestStep(clean) * 3 / 2);
    // The good frames after the burst play as they are, once the filters
    // have forgotten it.
    EXPECT_TRUE(std::equal(result.nSamples[0].begin() + 106 * kFrameSamples,
                           result.nSamples[0].end(),
                           clean.nSamples[0].begin() + 106 * kFrameSamples));
    EXPECT_EQ(presenter.Messages().size(), 4u);
}

TEST(ConcealmentTest, AForbiddenLayerOneAllocationIsConcealed) {
    CFrameShape good;
    good.nLayer = 1;
    good.nBitrateIndex = 12;
    good.SetAll(4, 20, 2, 32);
    CFrameShape forbidden = good;
    forbidden.nAllocation[1][7] = 15;
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 12; ++i) {
        Append(bytes, BuildFrame(i == 3 || (i >= 6 && i < 9) ? forbidden : good));
    }
    CRecordingPresenter presenter;
    const CDecodeResult result = DecodeBytes(bytes, presenter.Reporter());
    EXPECT_EQ(result.nSamples[0].size(), 12u * 384);
    EXPECT_EQ(presenter.Messages().size(), 2u);
    EXPECT_EQ(presenter.Count("stream contains an illegal allocation!"), 0);
    // The frame repeated at half its amplitude in place of frame 3.
    int nLoudest = 0;
    for (int i = 3 * 384 + 64; i < 4 * 384; ++i) {
        nLoudest = std::max(nLoudest, std::abs(static_cast<int>(result.nSamples[1][i])));
    }
    EXPECT_GT(nLoudest, 0);
}

}  // namespace
