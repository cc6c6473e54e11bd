// The file sink: interleaving, silence for a channel a frame left out, and
// failures that are reported rather than lost.
#include "output/pcm_file_sink.h"

#include <gtest/gtest.h>

#include <algorithm>

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

TEST(PcmFileSinkTest, WholeSlotsAndSingleSamplesInterleaveAlikeAtAnyFrameLength) {
    CTempDir dir;
    const std::string strStereo = dir.File("stereo.raw");
    const std::string strMono = dir.File("mono.raw");
    std::string strReason;
    // Frame lengths that are and are not multiples of the block the sink
    // interleaves at once; channel 1 falls short in the second frame.
    const std::size_t nLengths[2][2] = {{1152, 1152}, {1157, 1100}};
    std::vector<int16_t> expected;
    std::vector<int16_t> expectedMono;
    auto Value = [](int nFrame, int nChannel, std::size_t i) {
        return static_cast<int16_t>((nChannel == 0 ? 1 : -1) * static_cast<int>(i * 13 + 7) +
                                    nFrame * 1000);
    };
    {
        CPcmFileSink stereo;
        CPcmFileSink mono;
        ASSERT_TRUE(stereo.Open(strStereo, false, 2, 48000, strReason));
        ASSERT_TRUE(mono.Open(strMono, false, 1, 48000, strReason));
        for (int nFrame = 0; nFrame < 2; ++nFrame) {
            for (int c = 0; c < 2; ++c) {
                std::vector<int16_t> samples;
                for (std::size_t i = 0; i < nLengths[nFrame][c]; ++i) {
                    samples.push_back(Value(nFrame, c, i));
                }
                // Whole slots of 32, then what is left one by one.
                std::size_t i = 0;
                for (; i + 32 <= samples.size(); i += 32) {
                    stereo.WriteSamples(static_cast<int16_t>(c), samples.data() + i, 32);
                    if (c == 0) {
                        mono.WriteSamples(0, samples.data() + i, 32);
                    }
                }
                for (; i < samples.size(); ++i) {
                    stereo.WriteSample(static_cast<int16_t>(c), samples[i]);
                    if (c == 0) {
                        mono.WriteSample(0, samples[i]);
                    }
                }
            }
            const std::size_t nLongest = std::max(nLengths[nFrame][0], nLengths[nFrame][1]);
            for (std::size_t i = 0; i < nLongest; ++i) {
                for (int c = 0; c < 2; ++c) {
                    expected.push_back(i < nLengths[nFrame][c] ? Value(nFrame, c, i) : 0);
                }
                if (i < nLengths[nFrame][0]) {
                    expectedMono.push_back(Value(nFrame, 0, i));
                }
            }
            stereo.EndFrame();
            mono.EndFrame();
        }
        ASSERT_TRUE(stereo.Close());
        ASSERT_TRUE(mono.Close());
    }
    EXPECT_EQ(Samples(ReadFileBytes(strStereo), 0), expected);
    EXPECT_EQ(Samples(ReadFileBytes(strMono), 0), expectedMono);
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
