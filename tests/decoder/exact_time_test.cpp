// Time from counted frames: a variable-bitrate stream's playing time, its
// positions and its moves are those of its frames, not of its first bitrate.
#include <gtest/gtest.h>

#include <filesystem>

#include "decoder/audio_decoder.h"
#include "decoder/memory_source.h"
#include "tests/support/recording_sink.h"
#include "tests/support/temp_dir.h"

using namespace corvina;

namespace {

constexpr double kFrameSeconds = 1152.0 / 48000.0;

std::vector<uint8_t> VbrStream() {
    return ReadFileBytes(
        (std::filesystem::path(CORVINA_SOURCE_DIR) / "tests/streams/twolame-48k-vbr.mp2").string());
}

TEST(ExactTimeTest, VariableBitrateTimeAndMovesFollowTheFrames) {
    const std::vector<uint8_t> bytes = VbrStream();
    const CDecodeResult whole = DecodeBytes(bytes);
    ASSERT_GT(whole.nFrames, 60);
    const double dLength = whole.nFrames * kFrameSeconds;

    for (bool bStart : {false, true}) {
        CRecording recording;
        CAudioDecoder decoder(std::make_unique<CMemorySource>(bytes), "vbr",
                              {{}, {}, RecordingSinkFactory(recording)});
        ASSERT_EQ(decoder.Initialize(), 1);
        EXPECT_NEAR(decoder.PlayingTime(), dLength, kFrameSeconds);
        // The first bitrate alone would say some 70 percent of it.
        EXPECT_GT(decoder.PlayingTime(), 0.95 * dLength);
        int nSkipped = 1;  // the frame in hand is dropped by a start
        if (bStart) {
            ASSERT_EQ(decoder.MoveToStart({50.0, true}), 1);
        } else {
            ASSERT_EQ(decoder.SeekPercent(50), 1);
            nSkipped = 0;  // and decoded whole by a seek
        }
        EXPECT_NEAR(decoder.PositionPercent(), 50, 3);
        while (decoder.DecodeFrame() != 0) {
        }
        const double dHeard = (recording.nFrames - 1 + nSkipped) * kFrameSeconds;
        EXPECT_NEAR(dHeard, dLength / 2, kFrameSeconds) << "start " << bStart;
    }
}

TEST(ExactTimeTest, StartInSecondsAndPipesWithoutTheWalk) {
    const std::vector<uint8_t> bytes = VbrStream();
    const int nFrames = DecodeBytes(bytes).nFrames;
    CRecording recording;
    CAudioDecoder decoder(std::make_unique<CMemorySource>(bytes), "vbr",
                          {{}, {}, RecordingSinkFactory(recording)});
    ASSERT_EQ(decoder.Initialize(), 1);
    ASSERT_EQ(decoder.MoveToStart({1.2, false}), 1);
    while (decoder.DecodeFrame() != 0) {
    }
    EXPECT_NEAR(recording.nFrames, nFrames - 1.2 / kFrameSeconds, 1.0);

    // A pipe cannot be walked: the first frame's bitrate stands.
    CRecording piped;
    CAudioDecoder pipe(std::make_unique<CMemorySource>(bytes, false), "vbr",
                       {{}, {}, RecordingSinkFactory(piped)});
    ASSERT_EQ(pipe.Initialize(), 1);
    EXPECT_EQ(pipe.PlayingTime(), 0.0f);
}

}  // namespace
