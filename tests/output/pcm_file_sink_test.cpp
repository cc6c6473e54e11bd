// The file sink: frames in the file's channels, the ReplayGain, and failures
// that are reported rather than lost.
#include "output/pcm_file_sink.h"

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

#include "output/replay_gain.h"

#include "tests/support/temp_dir.h"

using namespace corvina;

namespace {

std::vector<int16_t> Samples(const std::vector<uint8_t>& bytes, std::size_t nSkip) {
    std::vector<int16_t> samples;
    for (std::size_t i = nSkip; i + 1 < bytes.size(); i += 2) {
        samples.push_back(static_cast<int16_t>(bytes[i] | (bytes[i + 1] << 8)));
    }
    return samples;
}

// Frames go into the file as they come, over the frames of a block, whether
// one by one or many at once; a frame
// of fewer channels than the file leaves silence in the other, one of more
// gives its first; the ReplayGain scales every sample.
TEST(PcmFileSinkTest, WritesFramesInTheFilesChannelsAndScalesThem) {
    CTempDir dir;
    std::string strReason;
    auto Value = [](std::size_t i) { return static_cast<int16_t>(static_cast<int>(i * 13) - 999); };
    std::vector<int16_t> frame(2 * 1157);
    for (std::size_t i = 0; i < frame.size(); ++i) {
        frame[i] = Value(i);
    }
    for (const int nChannels : {1, 2}) {
        for (const double dGain : {1.0, 0.5}) {
            SCOPED_TRACE(std::to_string(nChannels) + " channels, gain " + std::to_string(dGain));
            const std::string strPath = dir.File("out.raw");
            {
                CPcmFileSink sink;
                ASSERT_TRUE(sink.Open(strPath, false, nChannels, 48000, strReason));
                sink.SetReplayGain(dGain);
                // Every third frame goes in whole where no
                // conversion is needed, between the frames pending.
                const auto First =
                    std::span(frame).first(1157 * static_cast<std::size_t>(nChannels));
                for (int nFrame = 0; nFrame < 150; ++nFrame) {
                    if (nFrame % 3 == 0 && sink.WriteFrames(First, nChannels)) {
                        EXPECT_EQ(dGain, 1.0);
                        continue;
                    }
                    sink.WriteFrame(First, nChannels);
                    sink.EndFrame();
                }
                const auto Other =
                    std::span(frame).first(32 * static_cast<std::size_t>(3 - nChannels));
                EXPECT_FALSE(sink.WriteFrames(Other, 3 - nChannels));
                sink.WriteFrame(Other, 3 - nChannels);
                sink.EndFrame();
                ASSERT_TRUE(sink.Close());
            }
            const std::vector<int16_t> samples = Samples(ReadFileBytes(strPath), 0);
            const std::size_t nFrameSamples = 1157 * static_cast<std::size_t>(nChannels);
            ASSERT_EQ(samples.size(),
                      150 * nFrameSamples + 32 * static_cast<std::size_t>(nChannels));
            for (std::size_t i = 0; i < 150 * nFrameSamples; ++i) {
                ASSERT_EQ(samples[i], ApplyReplayGain(Value(i % nFrameSamples), dGain)) << i;
            }
            for (std::size_t i = 0; i < 32; ++i) {
                const std::size_t nAt =
                    150 * nFrameSamples + i * static_cast<std::size_t>(nChannels);
                EXPECT_EQ(samples[nAt], ApplyReplayGain(Value(nChannels == 1 ? 2 * i : i), dGain));
                if (nChannels == 2) {
                    EXPECT_EQ(samples[nAt + 1], 0);
                }
            }
        }
    }
}

TEST(PcmFileSinkTest, ReportsAFullDiskAtTheLatestWhenClosing) {
    std::string strReason;
    CPcmFileSink refused;
    EXPECT_FALSE(refused.Open("/nonexistent/dir/out.wav", true, 2, 48000, strReason));
    EXPECT_FALSE(strReason.empty());

    bool bFailed = false;
    {
        auto pSink = std::make_unique<CPcmFileSink>();
        ASSERT_TRUE(pSink->Open("/dev/full", false, 1, 32000, strReason));
        pSink->ReportFailureTo(&bFailed);
        const std::vector<int16_t> ones(1000, 1);
        pSink->WriteFrame(ones, 1);
        pSink->EndFrame();
    }
    EXPECT_TRUE(bFailed);
}

}  // namespace
