// A sparse file of more than 4 GiB with frames at its start, in its middle and
// at its end: the playing time, the positions the slider is given and the
// seeks to each group must all use the whole 64-bit length.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "decoder/audio_decoder.h"
#include "tests/support/recording_presenter.h"
#include "tests/support/recording_sink.h"
#include "tests/support/stream_builder.h"
#include "tests/support/temp_dir.h"

using namespace corvina;

namespace {

constexpr int64_t kFileBytes = (int64_t{4} << 30) + (int64_t{96} << 20) + 12345;
constexpr int kFrameBytes = 417;  // Layer II, 128 kbit/s, 44.1 kHz, no padding

// Frame n of a group sounds different from every other frame used here.
std::vector<uint8_t> Frame(int nTag) {
    CFrameShape shape;
    shape.SetAll(1 + nTag % 3, 10 + nTag, static_cast<uint32_t>(nTag % 3), 4 + nTag % 5);
    return BuildFrame(shape);
}

std::vector<uint8_t> Group(std::initializer_list<int> tags) {
    std::vector<uint8_t> bytes;
    for (int nTag : tags) {
        Append(bytes, Frame(nTag));
    }
    return bytes;
}

// The offset that a move to nPercent of the file goes to.
int64_t OffsetOf(int nPercent) {
    return static_cast<int64_t>(nPercent * static_cast<double>(kFileBytes) * 0.01);
}

class LargeFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_strPath = m_dir.File("large.mp2");
        if (!WriteSparseFile(m_strPath, kFileBytes,
                             {{0, m_start},
                              {OffsetOf(50), m_middle},
                              {kFileBytes - static_cast<int64_t>(m_end.size()), m_end}})) {
            GTEST_SKIP() << "the file system cannot hold a sparse file of " << kFileBytes
                         << " bytes here";
        }
    }

    CAudioDecoder::CHooks Hooks(CRecording& recording) {
        return {{}, m_presenter.Reporter(), RecordingSinkFactory(recording)};
    }

    CRecordingPresenter m_presenter;
    CTempDir m_dir;  // removes the file with it
    std::string m_strPath;
    const std::vector<uint8_t> m_start = Group({0, 1, 2});
    const std::vector<uint8_t> m_middle = Group({3, 4, 5});
    const std::vector<uint8_t> m_end = Group({6, 7, 8});
};

TEST_F(LargeFileTest, PlayingTimeAndPositionsUseTheWholeLength) {
    CRecording recording;
    CAudioDecoder decoder(m_strPath.c_str(), Hooks(recording));
    EXPECT_EQ(decoder.Stream().Length(), kFileBytes);
    ASSERT_EQ(decoder.Initialize(), 1);
    // The walk stops at its budget: the frames it counted are unpadded, so
    // the whole length holds one such frame per 417 bytes (the first bitrate
    // alone would assume padded ones, 0.2 % fewer).
    EXPECT_FLOAT_EQ(decoder.PlayingTime(),
                    static_cast<float>(kFileBytes / double{kFrameBytes} * 1152 / 44100));
    EXPECT_GT(decoder.PlayingTime(), 270000.0f);
    EXPECT_EQ(decoder.Stream().PositionPercent(), 0);

    ASSERT_EQ(decoder.SeekPercent(50), 1);
    // A few frames early, for the frames that fill the filters' history.
    EXPECT_LE(decoder.Stream().Position(), OffsetOf(50));
    EXPECT_GT(decoder.Stream().Position(), OffsetOf(50) - 4 * kFrameBytes);
    ASSERT_EQ(decoder.DecodeFrame(), 1);  // the first frame; the middle's first is read
    EXPECT_EQ(decoder.Stream().PositionPercent(), 50);
    EXPECT_GT(decoder.Stream().Position(), int64_t{1} << 31);

    ASSERT_EQ(decoder.SeekPercent(99), 1);
    EXPECT_GT(decoder.Stream().Position(), int64_t{1} << 32);
    ASSERT_EQ(decoder.DecodeFrame(), 1);  // the middle's first; the end's first is found
    EXPECT_EQ(decoder.Stream().PositionPercent(), 99);
    ASSERT_EQ(decoder.DecodeFrame(), 1);
    ASSERT_EQ(decoder.DecodeFrame(), 1);
    EXPECT_EQ(decoder.DecodeFrame(), 0);  // the end's last frame, then the end of the file
    EXPECT_EQ(decoder.Stream().PositionPercent(), 100);
    EXPECT_EQ(recording.nFrames, 5);
}

// The seeks land on exactly the frames of each group: what they decode equals
// the same frames decoded from a small file that holds them back to back.
TEST_F(LargeFileTest, SeeksReachEachGroupFrameForFrame) {
    CRecording recording;
    CAudioDecoder decoder(m_strPath.c_str(), Hooks(recording));
    ASSERT_EQ(decoder.Initialize(), 1);
    ASSERT_EQ(decoder.DecodeFrame(), 1);  // frame 0, then 1 in hand
    ASSERT_EQ(decoder.SeekPercent(50), 1);
    ASSERT_EQ(decoder.DecodeFrame(), 1);  // 1, then 3
    ASSERT_EQ(decoder.DecodeFrame(), 1);  // 3, then 4
    ASSERT_EQ(decoder.SeekPercent(0), 1);
    ASSERT_EQ(decoder.DecodeFrame(), 1);  // 4, then 0
    ASSERT_EQ(decoder.DecodeFrame(), 1);  // 0, then 1
    ASSERT_EQ(decoder.SeekPercent(99), 1);
    ASSERT_EQ(decoder.DecodeFrame(), 1);  // 1, then 6
    ASSERT_EQ(decoder.DecodeFrame(), 1);  // 6, then 7
    ASSERT_EQ(decoder.DecodeFrame(), 1);  // 7, then 8
    ASSERT_EQ(decoder.DecodeFrame(), 0);  // 8, then the end

    // The move back to the start starts the filters afresh, as the file's
    // first decode did; the move to the end finds no frame before its
    // place to fill them, so they go on.
    CDecodeResult expected = DecodeBytes(Group({0, 1, 3, 4}), m_presenter.Reporter());
    const CDecodeResult after = DecodeBytes(Group({0, 1, 6, 7, 8}), m_presenter.Reporter());
    ASSERT_EQ(expected.nFrames + after.nFrames, 9);
    for (int c = 0; c < 2; ++c) {
        expected.nSamples[c].insert(expected.nSamples[c].end(), after.nSamples[c].begin(),
                                    after.nSamples[c].end());
    }
    EXPECT_EQ(recording.nFrames, 9);
    EXPECT_TRUE(recording.nSamples[0] == expected.nSamples[0]);
    EXPECT_TRUE(recording.nSamples[1] == expected.nSamples[1]);
    EXPECT_TRUE(m_presenter.Messages().empty());
}

// Gigabytes without a single sync word: the search for a frame reads them
// byte by byte, which takes far longer than a stop or a quit may wait.
class JunkFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_strPath = m_dir.File("junk.mp2");
        if (!WriteSparseFile(m_strPath, int64_t{8} << 30)) {
            GTEST_SKIP() << "the file system cannot hold a sparse file of 8 GiB here";
        }
    }
    CTempDir m_dir;
    std::string m_strPath;
};

TEST_F(JunkFileTest, AStopCutsTheFrameSearchShort) {
    CAudioDecoder::CHooks hooks;
    hooks.fnStopRequested = [] { return true; };
    CAudioDecoder decoder(m_strPath.c_str(), std::move(hooks));
    EXPECT_EQ(decoder.Initialize(), 0);
    EXPECT_LT(decoder.Stream().PositionPercent(), 1);
}

}  // namespace
