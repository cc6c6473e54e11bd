// Streams longer than the walk budget: decoding starts on the first
// frame's estimate, and the walk finished in the background brings the
// exact time, the container's index and the seeks.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "decoder/audio_decoder.h"
#include "decoder/memory_source.h"
#include "tests/support/recording_sink.h"
#include "tests/support/temp_dir.h"

using namespace corvina;

namespace {

constexpr double kFrameSeconds = 1152.0 / 48000.0;
// Far less than any of the streams below.
constexpr int64_t kBudget = 2048;

std::vector<uint8_t> StreamBytes(const char* pszName) {
    return ReadFileBytes(
        (std::filesystem::path(CORVINA_SOURCE_DIR) / "tests/streams" / pszName).string());
}

struct CTimes {
    std::vector<float> told;
};

CAudioDecoder::CHooks HooksTelling(CRecording& recording, CTimes& times) {
    CAudioDecoder::CHooks hooks{{}, {}, RecordingSinkFactory(recording)};
    hooks.fnPlayingTimeChanged = [&times](float fSeconds) { times.told.push_back(fSeconds); };
    return hooks;
}

TEST(HeaderWalkerTest, VariableBitrateStartsOnTheEstimateAndTakesTheCountedTime) {
    const std::vector<uint8_t> bytes = StreamBytes("twolame-48k-vbr.mp2");
    const int nFrames = DecodeBytes(bytes).nFrames;
    const double dLength = nFrames * kFrameSeconds;
    // A seek while the walk may still run goes by the bytes; wherever the
    // stream stands when the count comes in, its position follows the frames.
    for (bool bSeekFirst : {false, true}) {
        CRecording recording;
        CTimes times;
        CAudioDecoder decoder(std::make_unique<CMemorySource>(bytes), "vbr",
                              HooksTelling(recording, times), kBudget);
        ASSERT_EQ(decoder.Initialize(), 1);
        // The first bitrate's estimate: the walk did not end before the start.
        EXPECT_LT(decoder.PlayingTime(), 0.9 * dLength);
        if (bSeekFirst) {
            ASSERT_EQ(decoder.SeekPercent(50), 1);
        }
        ASSERT_TRUE(decoder.AwaitWalk());
        ASSERT_EQ(times.told.size(), 1u);
        EXPECT_NEAR(times.told[0], dLength, kFrameSeconds);
        EXPECT_EQ(decoder.PlayingTime(), times.told[0]);
        const int nPercent = decoder.PositionPercent();
        while (decoder.DecodeFrame() != 0) {
        }
        // The frame in hand and those after it are what the position left;
        // a move by the bytes stands where it landed, the two frames that
        // fill the filters (unheard) before its place.
        EXPECT_NEAR(nPercent, 100.0 * (nFrames - recording.nFrames + 1) / nFrames,
                    bSeekFirst ? 4.0 : 2.0);
        EXPECT_EQ(times.told.size(), 1u);
    }
}

TEST(HeaderWalkerTest, ContainerSeeksOnceItsIndexComesAndReadsOnUnchanged) {
    for (const char* pszName : {"ffmpeg-stereo-48k.ts", "ffmpeg-stereo-48k-vcd.mpg"}) {
        const std::vector<uint8_t> bytes = StreamBytes(pszName);
        const CDecodeResult whole = DecodeBytes(bytes);
        CRecording recording;
        CTimes times;
        CAudioDecoder decoder(std::make_unique<CMemorySource>(bytes), pszName,
                              HooksTelling(recording, times), kBudget);
        ASSERT_EQ(decoder.Initialize(), 1) << pszName;
        // Not measured yet: no time.
        EXPECT_FALSE(decoder.Stream().CanSeek()) << pszName;
        EXPECT_EQ(decoder.PlayingTime(), 0.0f) << pszName;
        {
            // A move is refused quietly until the index is in, taken after.
            CRecording early;
            CTimes earlyTimes;
            CAudioDecoder other(std::make_unique<CMemorySource>(bytes), pszName,
                                HooksTelling(early, earlyTimes), kBudget);
            ASSERT_EQ(other.Initialize(), 1);
            const bool bMoved = other.SeekPercent(50) != 0;
            EXPECT_EQ(bMoved, other.Stream().CanSeek()) << pszName;
        }
        ASSERT_EQ(decoder.DecodeFrame(), 1);
        ASSERT_TRUE(decoder.AwaitWalk());
        EXPECT_TRUE(decoder.Stream().CanSeek()) << pszName;
        ASSERT_EQ(times.told.size(), 1u) << pszName;
        EXPECT_NEAR(times.told[0], whole.nFrames * kFrameSeconds, kFrameSeconds) << pszName;
        while (decoder.DecodeFrame() != 0) {
        }
        EXPECT_EQ(recording.nSamples[0], whole.nSamples[0]) << pszName;
        // And it moves now as a container measured at once does.
        std::vector<int16_t> moved[2];
        for (int64_t nBudget : {kBudget, int64_t{-1}}) {
            CRecording again;
            CAudioDecoder second(std::make_unique<CMemorySource>(bytes), pszName,
                                 HooksTelling(again, times), nBudget);
            ASSERT_EQ(second.Initialize(), 1);
            ASSERT_TRUE(second.AwaitWalk());
            ASSERT_EQ(second.DecodeFrame(), 1);
            ASSERT_EQ(second.SeekPercent(40), 1) << pszName;
            while (second.DecodeFrame() != 0) {
            }
            moved[nBudget < 0 ? 1 : 0] = again.nSamples[0];
        }
        EXPECT_EQ(moved[0], moved[1]) << pszName;
        EXPECT_LT(moved[0].size(), whole.nSamples[0].size()) << pszName;
    }
}

TEST(HeaderWalkerTest, AGreatFileGoesOrShrinksWhileItsWalkRuns) {
    CTempDir dir;
    const std::string strPath = dir.File("great.mp2");
    const std::vector<uint8_t> bytes = StreamBytes("twolame-48k-vbr.mp2");
    if (!WriteSparseFile(strPath, int64_t{8} << 30, {{0, bytes}})) {
        GTEST_SKIP() << "the file system cannot hold a sparse file of 8 GiB here";
    }
    // Frames, then gigabytes of zeros that the walk searches through: the
    // decoder goes at once, its walk with it, whatever the walk is at.
    CRecording recording;
    CTimes times;
    for (int i = 0; i < 3; ++i) {
        CAudioDecoder decoder(strPath.c_str(), HooksTelling(recording, times));
        ASSERT_EQ(decoder.Initialize(), 1);
        ASSERT_EQ(decoder.DecodeFrame(), 1);
    }
    EXPECT_TRUE(times.told.empty());
    // Cut short under the walk, the file ends the stream early, and the
    // walk's count, whatever it came to, only moves the decoder about.
    CAudioDecoder decoder(strPath.c_str(), HooksTelling(recording, times));
    ASSERT_EQ(decoder.Initialize(), 1);
    std::filesystem::resize_file(strPath, bytes.size() / 2);
    ASSERT_TRUE(decoder.AwaitWalk());
    decoder.SeekPercent(90);
    int nFrames = 0;
    while (decoder.DecodeFrame() != 0 && ++nFrames < 1000) {
    }
    EXPECT_TRUE(decoder.HasEnded());
}

}  // namespace
