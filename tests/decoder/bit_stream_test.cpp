// The bit reader over memory and files: field reads across words and past the
// payload, the start checks, tags, seeks and positions; and the CRC register.
#include "decoder/bit_stream.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "decoder/crc16.h"
#include "decoder/memory_source.h"
#include "tests/support/recording_presenter.h"
#include "tests/support/temp_dir.h"

using namespace corvina;

namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<uint8_t> bytes;
    for (int v : values) {
        bytes.push_back(static_cast<uint8_t>(v));
    }
    return bytes;
}

std::vector<uint8_t> Filled(std::size_t nBytes, uint8_t bValue) {
    return std::vector<uint8_t>(nBytes, bValue);
}

class BitStreamTest : public ::testing::Test {
  protected:
    // A stream over the bytes in memory, its warnings recorded.
    CBitStream Stream(std::vector<uint8_t> bytes, const std::string& strName = "memory") {
        return CBitStream(std::make_unique<CMemorySource>(std::move(bytes)), strName,
                          m_presenter.Reporter());
    }

    CRecordingPresenter m_presenter;
    CTempDir m_dir;
};

TEST_F(BitStreamTest, ReadsFieldsWithinAndAcrossWords) {
    CBitStream stream = Stream(Bytes({0x12, 0x34, 0x56, 0x78}));
    ASSERT_EQ(stream.LoadFrame(4), 1);
    EXPECT_EQ(stream.Reader().GetBits(4), 0x1u);
    EXPECT_EQ(stream.Reader().GetBits(12), 0x234u);
    EXPECT_EQ(stream.Reader().GetBits(16), 0x5678u);

    CBitStream straddle = Stream(Bytes({0, 0, 0, 0x0F, 0xF0, 0, 0, 0}));
    ASSERT_EQ(straddle.LoadFrame(8), 1);
    EXPECT_EQ(straddle.Reader().GetBits(16), 0u);
    EXPECT_EQ(straddle.Reader().GetBits(12), 0u);
    EXPECT_EQ(straddle.Reader().GetBits(8), 0xFFu);
    EXPECT_EQ(straddle.Reader().GetBits(0), 0u);
}

TEST_F(BitStreamTest, ReadsPastThePayloadGiveZeroAndStayInTheBuffer) {
    CBitStream six = Stream(Bytes({0xAB, 0xCD, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC}));
    ASSERT_EQ(six.LoadFrame(6), 1);
    EXPECT_EQ(six.Reader().GetBits(16), 0xABCDu);
    EXPECT_EQ(six.Reader().GetBits(16), 0x1234u);
    // The partly loaded word reads as loaded bytes followed by zeros, never
    // as the file's next bytes.
    EXPECT_EQ(six.Reader().GetBits(16), 0x5678u);
    EXPECT_EQ(six.Reader().GetBits(16), 0u);
    for (int i = 0; i < 2000; ++i) {
        EXPECT_EQ(six.Reader().GetBits(16), 0u);
    }

    CBitStream four = Stream(Bytes({0x11, 0x22, 0x33, 0x44}));
    ASSERT_EQ(four.LoadFrame(4), 1);
    EXPECT_EQ(four.Reader().GetBits(16), 0x1122u);
    EXPECT_EQ(four.Reader().GetBits(16), 0x3344u);

    // A full buffer read to its very end and beyond.
    CBitStream full = Stream(Filled(1732, 0xFF));
    ASSERT_EQ(full.LoadFrame(1732), 1);
    for (int i = 0; i < 866; ++i) {
        ASSERT_EQ(full.Reader().GetBits(16), 0xFFFFu) << i;
    }
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(full.Reader().GetBits(13), 0u);
    }
}

TEST_F(BitStreamTest, LoadFrameRefusesOversizeAndShortPayloads) {
    CBitStream stream = Stream(Filled(10000, 0x55));
    EXPECT_EQ(stream.LoadFrame(4093), 0);
    EXPECT_EQ(m_presenter.Count("Internal error: framelength > bufferlength?!"), 1);
    EXPECT_EQ(stream.LoadFrame(4092), 1);
    EXPECT_EQ(stream.LoadFrame(4092), 1);
    EXPECT_EQ(stream.LoadFrame(4092), 0);  // 1816 bytes left
}

TEST_F(BitStreamTest, WordsAndBytesComeInFileOrder) {
    CBitStream stream = Stream(Bytes({0xFF, 0xFD, 0x90, 0x04, 0x07}));
    uint32_t dwWord = 0;
    ASSERT_EQ(stream.ReadWord(dwWord), 1);
    EXPECT_EQ(dwWord, 0xFFFD9004u);
    EXPECT_EQ(stream.ReadWord(dwWord), 0);
    EXPECT_EQ(stream.ReadByte(), -1);
}

TEST_F(BitStreamTest, TellsSystemAndVideoStreamsAndGoesOn) {
    CBitStream system = Stream(Bytes({0, 0, 1, 0xBA, 0xFF}), "sys");
    EXPECT_EQ(m_presenter.Count("sys is an MPEG system stream, which is beyond me!"), 1);
    EXPECT_EQ(system.ReadByte(), 0);

    CBitStream video = Stream(Bytes({0, 0, 1, 0xB3}), "vid");
    EXPECT_EQ(m_presenter.Count("vid is an MPEG video stream, which is beyond me!"), 1);

    m_presenter.Clear();
    CBitStream other = Stream(Bytes({0, 0, 1, 0xB9}));
    CBitStream tiny = Stream(Bytes({0, 0, 1}));
    EXPECT_TRUE(m_presenter.Messages().empty());
}

TEST_F(BitStreamTest, MissingFilesAndDirectoriesFailEveryRead) {
    const std::string strMissing = m_dir.File("missing.mp2");
    CBitStream missing(strMissing.c_str(), m_presenter.Reporter());
    EXPECT_EQ(m_presenter.Count("couldn't open file \"" + strMissing +
                                "\" for reading! (No such file or directory)"),
              1);
    EXPECT_FALSE(missing.IsOpen());
    uint32_t dwWord = 0;
    EXPECT_EQ(missing.ReadWord(dwWord), 0);
    EXPECT_EQ(missing.ReadByte(), -1);
    EXPECT_EQ(missing.LoadFrame(10), 0);
    EXPECT_EQ(missing.SeekPercent(50), 0);
    EXPECT_EQ(missing.PositionPercent(), 0);

    CBitStream directory(m_dir.Path().c_str(), m_presenter.Reporter());
    EXPECT_FALSE(directory.IsOpen());
}

TEST_F(BitStreamTest, SeeksByPercentOfTheLengthAndReportsWholePercents) {
    std::vector<uint8_t> bytes(1001);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<uint8_t>(i * 7);
    }
    CBitStream stream = Stream(bytes);
    ASSERT_EQ(stream.SeekPercent(50), 1);
    EXPECT_EQ(stream.Position(), 500);
    EXPECT_EQ(stream.ReadByte(), static_cast<uint8_t>(500 * 7));
    EXPECT_EQ(stream.PositionPercent(), 50);
    ASSERT_EQ(stream.SeekPercent(100), 1);
    EXPECT_EQ(stream.Position(), 1001);
    EXPECT_EQ(stream.ReadByte(), -1);
    EXPECT_EQ(stream.PositionPercent(), 100);
    ASSERT_EQ(stream.SeekPercent(0), 1);
    EXPECT_EQ(stream.ReadByte(), 0);
    // Out-of-range requests are held to the file.
    EXPECT_EQ(stream.SeekPercent(250), 1);
    EXPECT_EQ(stream.Position(), 1001);

    CBitStream empty = Stream({});
    EXPECT_EQ(empty.Length(), 0);
    EXPECT_EQ(empty.PositionPercent(), 0);
    EXPECT_EQ(empty.SeekPercent(50), 1);
    EXPECT_EQ(empty.PositionPercent(), 0);
}

TEST_F(BitStreamTest, SkipsALeadingId3v2TagAndStopsAtATrailingId3v1Block) {
    // A tag of 20 bytes (syncsafe size 0x00 0x00 0x00 0x0A after 10 header
    // bytes), then audio bytes, then "TAG" and 125 more.
    std::vector<uint8_t> bytes = Bytes({'I', 'D', '3', 3, 0, 0, 0, 0, 0, 10});
    bytes.resize(20, 0xFF);
    for (int i = 0; i < 8; ++i) {
        bytes.push_back(static_cast<uint8_t>(0x30 + i));
    }
    std::vector<uint8_t> tag(128, 0xFF);
    tag[0] = 'T';
    tag[1] = 'A';
    tag[2] = 'G';
    bytes.insert(bytes.end(), tag.begin(), tag.end());
    CBitStream stream = Stream(bytes);
    EXPECT_EQ(stream.AudioBytes(), 8);
    uint32_t dwWord = 0;
    ASSERT_EQ(stream.ReadWord(dwWord), 1);
    EXPECT_EQ(dwWord, 0x30313233u);
    ASSERT_EQ(stream.ReadWord(dwWord), 1);
    EXPECT_EQ(stream.ReadByte(), -1);
    // A seek into the tag lands at its end.
    ASSERT_EQ(stream.SeekPercent(1), 1);
    EXPECT_EQ(stream.ReadByte(), 0x30);

    // A tag whose size runs past the end is not believed: the audio starts
    // after its header.
    std::vector<uint8_t> overlong = Bytes({'I', 'D', '3', 4, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F});
    overlong.resize(300, 0xFF);
    CBitStream lying = Stream(overlong);
    EXPECT_EQ(lying.AudioBytes(), 290);
    EXPECT_EQ(lying.ReadByte(), 0xFF);
}

TEST(Crc16Test, MatchesTheCheckValues) {
    CCrc16 crc;
    EXPECT_EQ(crc.Value(), 0xFFFF);
    for (char c : std::string("abc")) {
        crc.Update(static_cast<uint32_t>(c), 8);
    }
    EXPECT_EQ(crc.Value(), 0x44D8);
    crc.Reset();
    for (char c : std::string("123456789")) {
        crc.Update(static_cast<uint32_t>(c), 8);
    }
    EXPECT_EQ(crc.Value(), 0xAEE7);
    // Bits fed in pieces give the same register as whole bytes.
    CCrc16 pieces;
    for (char c : std::string("123456789")) {
        pieces.Update(static_cast<uint32_t>(c) >> 4, 4);
        pieces.Update(static_cast<uint32_t>(c) & 15, 4);
    }
    EXPECT_EQ(pieces.Value(), 0xAEE7);
}

}  // namespace
