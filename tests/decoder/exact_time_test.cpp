// Time from counted frames: a variable-bitrate stream's playing time, its
// positions and its moves are those of its frames, not of its first bitrate.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "decoder/audio_decoder.h"
#include "decoder/memory_source.h"
#include "tests/support/recording_sink.h"
#include "tests/support/stream_builder.h"
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

// Layer I frames that differ from one another, at 44.1 kHz.
std::vector<uint8_t> Layer1Stream(int nFrames) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < nFrames; ++i) {
        CFrameShape shape;
        shape.nLayer = 1;
        shape.SetAll(2 + i % 5, 8 + i % 13, static_cast<uint32_t>(i % 3), 6 + i % 7);
        Append(bytes, BuildFrame(shape));
    }
    return bytes;
}

// Every sample of both channels from sample nFrom on, as one decode gave them.
std::vector<int16_t> Interleaved(const CRecording& recording, std::size_t nFrom = 0) {
    std::vector<int16_t> samples;
    for (std::size_t i = nFrom; i < recording.nSamples[0].size(); ++i) {
        samples.push_back(recording.nSamples[0][i]);
        samples.push_back(recording.nSamples[1][i]);
    }
    return samples;
}

// A start anywhere, read by a seek or on from a pipe, gives the samples of the
// whole decode from its sample on, the filters as warm as in that decode: at
// frame boundaries, inside frames, within the first history's worth; Layer I
// needs two frames before its target, Layer II one. A move by percent while
// decoding gives the same once the frame in hand is heard.
TEST(ExactTimeTest, StartsAndSeeksGiveTheWholeDecodesSamples) {
    const std::pair<std::vector<uint8_t>, int> streams[] = {{Layer1Stream(200), 44100},
                                                            {VbrStream(), 48000}};
    for (const auto& [bytes, nRate] : streams) {
        const CDecodeResult whole = DecodeBytes(bytes);
        ASSERT_GT(whole.nFrames, 60);
        const auto nSamples = static_cast<int64_t>(whole.nSamples[0].size());
        for (const int64_t nSample : {int64_t{100}, int64_t{384 * 3}, int64_t{1152 * 5 + 7},
                                      int64_t{384 * 40 + 383}, nSamples / 2}) {
            for (bool bSeekable : {true, false}) {
                CRecording recording;
                CAudioDecoder decoder(std::make_unique<CMemorySource>(bytes, bSeekable), "s",
                                      {{}, {}, RecordingSinkFactory(recording)});
                ASSERT_EQ(decoder.Initialize(), 1);
                // Seconds a quarter sample past it, so that they round to it.
                const double dSeconds = (static_cast<double>(nSample) + 0.25) / nRate;
                ASSERT_EQ(decoder.MoveToStart({dSeconds, false}), 1);
                while (decoder.DecodeFrame() != 0) {
                }
                EXPECT_TRUE(Interleaved(recording) ==
                            Interleaved(whole, static_cast<std::size_t>(nSample)))
                    << nRate << " Hz, sample " << nSample << (bSeekable ? "" : ", piped");
            }
        }
        CRecording recording;
        CAudioDecoder decoder(std::make_unique<CMemorySource>(bytes), "s",
                              {{}, {}, RecordingSinkFactory(recording)});
        ASSERT_EQ(decoder.Initialize(), 1);
        for (int i = 0; i < 3; ++i) {
            ASSERT_EQ(decoder.DecodeFrame(), 1);
        }
        const std::size_t nBefore = recording.nSamples[0].size();
        ASSERT_EQ(decoder.SeekPercent(50), 1);
        ASSERT_EQ(decoder.DecodeFrame(), 1);  // the frame in hand, whole
        const std::size_t nHeld = recording.nSamples[0].size() - nBefore;
        while (decoder.DecodeFrame() != 0) {
        }
        std::vector<int16_t> expected = Interleaved(whole);
        expected.resize(2 * (nBefore + nHeld));
        const std::vector<int16_t> after =
            Interleaved(whole, static_cast<std::size_t>(nSamples / 2));
        expected.insert(expected.end(), after.begin(), after.end());
        EXPECT_TRUE(Interleaved(recording) == expected) << nRate << " Hz, by percent";
    }
}

}  // namespace
