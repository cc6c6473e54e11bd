// The bit reader's field reads across words and past the payload; the
// stream's payloads, start checks, seeks and positions; the tags skipped
// around the audio; and the CRC register.
#include "decoder/bit_stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "decoder/bit_reader.h"
#include "decoder/crc16.h"
#include "decoder/memory_source.h"
#include "decoder/tag_skipping_source.h"
#include "tests/support/recording_presenter.h"
#include "tests/support/stream_builder.h"
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
        return OpenBitStream(std::make_unique<CMemorySource>(std::move(bytes)), strName,
                             m_presenter.Reporter());
    }

    CRecordingPresenter m_presenter;
    CTempDir m_dir;
};

// A reader of the bytes, loaded as a payload.
CBitReader Reader(CPayloadBuffer& buffer, const std::vector<uint8_t>& bytes) {
    return buffer.Load(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

TEST(BitReaderTest, ReadsFieldsWithinAndAcrossWords) {
    CPayloadBuffer buffer;
    CBitReader reader = Reader(buffer, Bytes({0x12, 0x34, 0x56, 0x78}));
    EXPECT_EQ(reader.GetBits(4), 0x1u);
    EXPECT_EQ(reader.GetBits(12), 0x234u);
    EXPECT_EQ(reader.GetBits(16), 0x5678u);

    CBitReader straddle = Reader(buffer, Bytes({0, 0, 0, 0x0F, 0xF0, 0, 0, 0}));
    EXPECT_EQ(straddle.GetBits(16), 0u);
    EXPECT_EQ(straddle.GetBits(12), 0u);
    EXPECT_EQ(straddle.GetBits(8), 0xFFu);
    EXPECT_EQ(straddle.GetBits(0), 0u);
    EXPECT_EQ(straddle.BitPosition(), 36u);
    EXPECT_EQ(straddle.PeekBitsAt(25, 11), 0xFFu);
    straddle.MoveToBit(28);
    EXPECT_EQ(straddle.GetBits(32), 0xFF000000u);
}

TEST(BitReaderTest, ReadsPastThePayloadGiveZeroAndStayInTheBuffer) {
    CPayloadBuffer buffer;
    // The file's bytes after the payload are in the buffer: they never show.
    std::vector<uint8_t> bytes = Bytes({0xAB, 0xCD, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC});
    std::memcpy(buffer.Bytes(), bytes.data(), bytes.size());
    CBitReader six = buffer.Take(6);
    EXPECT_EQ(six.GetBits(16), 0xABCDu);
    EXPECT_EQ(six.GetBits(16), 0x1234u);
    // The partly loaded word reads as loaded bytes followed by zeros.
    EXPECT_EQ(six.GetBits(16), 0x5678u);
    EXPECT_EQ(six.GetBits(16), 0u);
    EXPECT_TRUE(six.HoldsBits(63));
    EXPECT_FALSE(six.HoldsBits(64));
    EXPECT_EQ(six.PeekBitsAt(48, 20), 0u);
    for (int i = 0; i < 2000; ++i) {
        EXPECT_EQ(six.GetBits(16), 0u);
    }

    CBitReader four = Reader(buffer, Bytes({0x11, 0x22, 0x33, 0x44}));
    EXPECT_EQ(four.GetBits(16), 0x1122u);
    EXPECT_EQ(four.GetBits(16), 0x3344u);

    // A full buffer read to its very end and beyond.
    CBitReader full = Reader(buffer, Filled(CBitReader::kMaxBytes, 0xFF));
    for (uint32_t i = 0; i < CBitReader::kMaxBytes / 2; ++i) {
        ASSERT_EQ(full.GetBits(16), 0xFFFFu) << i;
    }
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(full.GetBits(13), 0u);
    }
    // No payload, or a span without room after it, reads as nothing.
    EXPECT_EQ(CBitReader().GetBits(8), 0u);
    const std::vector<uint8_t> tight = Filled(8, 0xFF);
    EXPECT_EQ(CBitReader(tight, 8).GetBits(8), 0u);
}

TEST_F(BitStreamTest, LoadFrameRefusesOversizeAndShortPayloads) {
    CBitStream stream = Stream(Filled(10000, 0x55));
    EXPECT_EQ(stream.LoadFrame(4101), 0);
    EXPECT_EQ(m_presenter.Count("Internal error: framelength > bufferlength?!"), 1);
    EXPECT_EQ(stream.LoadFrame(4100), 1);
    EXPECT_EQ(stream.LoadFrame(4100), 1);
    EXPECT_EQ(stream.LoadFrame(4100), 0);  // 1800 bytes left
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
    CBitStream missing = OpenBitStream(strMissing.c_str(), m_presenter.Reporter());
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

    CBitStream directory = OpenBitStream(m_dir.Path().c_str(), m_presenter.Reporter());
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

// All that a source gives from where it stands.
std::vector<uint8_t> ReadAll(CByteSource& source) {
    std::vector<uint8_t> bytes;
    uint8_t bChunk[7];
    while (const std::size_t nRead = source.Read(bChunk, sizeof bChunk)) {
        bytes.insert(bytes.end(), bChunk, bChunk + nRead);
    }
    return bytes;
}

std::vector<uint8_t> Text(const std::string& strText) {
    return std::vector<uint8_t>(strText.begin(), strText.end());
}

TEST(TagSkippingSourceTest, GivesTheAudioBetweenTheTagsInTheFilesOffsets) {
    const std::vector<uint8_t> audio = Text("0123456789abcdefghij");
    // ID3v2 of 20 bytes: ten of header (syncsafe size 10), ten of frames.
    std::vector<uint8_t> id3v2 = Bytes({'I', 'D', '3', 3, 0, 0, 0, 0, 0, 10});
    id3v2.resize(20, 0xFF);
    std::vector<uint8_t> id3v1 = Text("TAG");
    id3v1.resize(128, 0xFF);
    // APEv2 footer: 8 bytes id, version, size 40 (items and footer), no header.
    std::vector<uint8_t> ape = Filled(8, 0xFF);
    Append(ape, Text("APETAGEX"));
    Append(ape, Bytes({0xD0, 0x07, 0, 0, 40, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}));
    ape.resize(40, 0);
    const std::vector<uint8_t> lyrics = Text("LYRICSBEGINLYR00003abc000022LYRICS200");
    // ID3v2.4 with a footer: header, 4 bytes of frames, footer.
    std::vector<uint8_t> footed = Bytes({'I', 'D', '3', 4, 0, 0x10, 0, 0, 0, 4});
    Append(footed, Filled(4, 0xFF));
    Append(footed, Bytes({'3', 'D', 'I', 4, 0, 0x10, 0, 0, 0, 4}));
    struct CCase {
        std::vector<std::vector<uint8_t>> before, after;
    };
    const CCase kCases[] = {
        {{}, {}},
        {{id3v2}, {id3v1}},
        {{}, {ape, id3v1}},
        {{id3v2}, {lyrics, ape}},
        {{}, {footed, lyrics, id3v1}},
    };
    for (const CCase& test : kCases) {
        std::vector<uint8_t> bytes;
        for (const auto& tag : test.before) {
            Append(bytes, tag);
        }
        const auto nStart = static_cast<int64_t>(bytes.size());
        Append(bytes, audio);
        for (const auto& tag : test.after) {
            Append(bytes, tag);
        }
        for (bool bCanSeek : {true, false}) {
            SCOPED_TRACE(testing::Message() << test.before.size() << " before, "
                                            << test.after.size() << " after, seeks " << bCanSeek);
            CTagSkippingSource source(std::make_unique<CMemorySource>(bytes, bCanSeek));
            EXPECT_EQ(source.AudioStart(), nStart);
            EXPECT_EQ(source.Position(), nStart);
            std::vector<uint8_t> expected = audio;
            if (!bCanSeek) {
                // A pipe's end is not looked at: its tags are read as they come.
                expected.assign(bytes.begin() + nStart, bytes.end());
            }
            EXPECT_EQ(ReadAll(source), expected);
            if (bCanSeek) {
                EXPECT_EQ(source.AudioEnd(), nStart + static_cast<int64_t>(audio.size()));
                ASSERT_TRUE(source.Seek(nStart + 15));
                EXPECT_EQ(ReadAll(source), Text("fghij"));
            }
        }
    }
}

TEST(TagSkippingSourceTest, ATagLongerThanTheFileIsNotBelieved) {
    std::vector<uint8_t> overlong = Bytes({'I', 'D', '3', 4, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F});
    overlong.resize(300, 0xFF);
    // Where the file's length is known the audio starts after the header.
    CTagSkippingSource file(std::make_unique<CMemorySource>(overlong));
    EXPECT_EQ(file.AudioStart(), 10);
    EXPECT_EQ(ReadAll(file).size(), 290u);
    // A pipe is read on to the tag's end, and ends in it.
    CTagSkippingSource pipe(std::make_unique<CMemorySource>(overlong, false));
    EXPECT_TRUE(ReadAll(pipe).empty());
}

TEST_F(BitStreamTest, SeeksStayBetweenTheTags) {
    std::vector<uint8_t> bytes = Bytes({'I', 'D', '3', 3, 0, 0, 0, 0, 0, 10});
    bytes.resize(20, 0xFF);
    for (int i = 0; i < 8; ++i) {
        bytes.push_back(static_cast<uint8_t>(0x30 + i));
    }
    std::vector<uint8_t> tag = Text("TAG");
    tag.resize(128, 0xFF);
    Append(bytes, tag);
    CBitStream stream = Stream(bytes);
    EXPECT_EQ(stream.AudioBytes(), 8);
    EXPECT_EQ(stream.Length(), 156);
    uint32_t dwWord = 0;
    ASSERT_EQ(stream.ReadWord(dwWord), 1);
    EXPECT_EQ(dwWord, 0x30313233u);
    ASSERT_EQ(stream.ReadWord(dwWord), 1);
    EXPECT_EQ(stream.ReadByte(), -1);
    // A seek into the tag lands at its end.
    ASSERT_EQ(stream.SeekPercent(1), 1);
    EXPECT_EQ(stream.ReadByte(), 0x30);
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
