// The file sink: interleaving, silence for a channel a frame left out, and
// failures that are reported rather than lost.
#include "output/pcm_file_sink.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace {

std::vector<int16_t> Samples(const std::vector<uint8_t>& bytes, std::size_t nSkip) {
    std::vector<int16_t> samples;
    for (std::size_t i = nSkip; i + 1 < bytes.size(); i += 2) {
        samples.push_back(static_cast<int16_t>(bytes[i] | (bytes[i + 1] << 8)));
    }
    return samples;
}

TEST(PcmFileSinkTest, InterleavesSlotsAndFillsAMissingChannelWithSilence) {
    CTempDir dir;
    const std::string strPath = dir.File("out.raw");
    std::string strReason;
    {
        CPcmFileSink sink;
        ASSERT_TRUE(sink.Open(strPath, false, 2, 44100, strReason));
        // A two-channel frame of two slots: 32 of channel 0, 32 of channel 1.
        for (int nSlot = 0; nSlot < 2; ++nSlot) {
            for (int i = 0; i < 32; ++i) {
                sink.WriteSample(0, static_cast<int16_t>(100 * nSlot + i));
            }
            for (int i = 0; i < 32; ++i) {
                sink.WriteSample(1, static_cast<int16_t>(-100 * nSlot - i - 1));
            }
        }
        sink.EndFrame();
        // A frame with channel 0 only.
        for (int i = 0; i < 32; ++i) {
            sink.WriteSample(0, 7);
        }
        sink.EndFrame();
        ASSERT_TRUE(sink.Close());
    }
    const std::vector<int16_t> samples = Samples(ReadFileBytes(strPath), 0);
    ASSERT_EQ(samples.size(), 3u * 32 * 2);
    EXPECT_EQ(samples[0], 0);
    EXPECT_EQ(samples[1], -1);
    EXPECT_EQ(samples[2], 1);
    EXPECT_EQ(samples[3], -2);
    EXPECT_EQ(samples[64], 100);
    EXPECT_EQ(samples[65], -101);
    for (std::size_t i = 128; i < samples.size(); i += 2) {
        EXPECT_EQ(samples[i], 7);
        EXPECT_EQ(samples[i + 1], 0);
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
        for (int i = 0; i < 1000; ++i) {
            pSink->WriteSample(0, 1);
        }
        pSink->EndFrame();
    }
    EXPECT_TRUE(bFailed);
}

}  // namespace
