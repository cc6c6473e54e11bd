// The frame search and the header parse: frame lengths, subband limits, what
// is skipped and what ends the stream, and the read-ahead rule.
#include "decoder/frame_header.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "decoder/bit_stream.h"
#include "decoder/crc16.h"
#include "decoder/memory_source.h"
#include "tests/support/stream_builder.h"

using namespace corvina;

namespace {

// What a header word says, as the standard's tables give it. Frame lengths
// are whole frames in bytes, 0 where the word gives none (free format, a
// forbidden or reserved field); kAny marks a field the standard leaves open.
struct CHeaderFacts {
    uint32_t dwWord;
    int nLayer;
    int nVersion;  // 1 MPEG-1, 2 the low sampling rates of MPEG-2
    int nBitrate;  // bit/s, 0 for free format and the forbidden index
    int nRate;     // Hz, 0 for the reserved index
    int nMode;
    int nPadding;
    int nFrameLength;
    int nSblimit;
    int nBound;  // first subband coded as one channel
};
constexpr int kAny = -1;

constexpr CHeaderFacts kHeaders[] = {
    // Layer II, MPEG-1: the table follows rate and bitrate per channel.
    {0xFFFD8004, 2, 1, 128000, 44100, 0, 0, 417, 27, 27},
    {0xFFFD8204, 2, 1, 128000, 44100, 0, 1, 418, 27, 27},
    {0xFFFD8604, 2, 1, 128000, 48000, 0, 1, 385, 27, 27},
    {0xFFFDE804, 2, 1, 384000, 32000, 0, 0, 1728, 30, 30},
    {0xFFFD7004, 2, 1, 112000, 44100, 0, 0, 365, 27, 27},
    {0xFFFDA084, 2, 1, 192000, 44100, 2, 0, 626, 30, 30},
    {0xFFFDA4C4, 2, 1, 192000, 48000, 3, 0, 576, 27, 27},
    {0xFFFD20C4, 2, 1, 48000, 44100, 3, 0, 156, 8, 8},
    {0xFFFD18C4, 2, 1, 32000, 32000, 3, 0, 144, 12, 12},
    {0xFFFC18C4, 2, 1, 32000, 32000, 3, 0, 144, 12, 12},  // protected
    {0xFFFD4444, 2, 1, 64000, 48000, 1, 0, 192, 8, 4},
    {0xFFFD4474, 2, 1, 64000, 48000, 1, 0, 192, 8, 8},
    {0xFFFD9854, 2, 1, 160000, 32000, 1, 0, 720, 27, 8},
    // Layer I: slots of four bytes, all 32 subbands.
    {0xFFFF1004, 1, 1, 32000, 44100, 0, 0, 32, 32, 32},
    {0xFFFF1204, 1, 1, 32000, 44100, 0, 1, 36, 32, 32},
    {0xFFFFE464, 1, 1, 448000, 48000, 1, 0, 448, 32, 12},
    {0xFFFE9074, 1, 1, 288000, 44100, 1, 0, 312, 32, 16},
    // The low sampling rates: their own bitrates and one Layer II table.
    {0xFFF58404, 2, 2, 64000, 24000, 0, 0, 384, 30, 30},
    {0xFFF512C4, 2, 2, 8000, 22050, 3, 1, 53, 30, 30},
    {0xFFF5E854, 2, 2, 160000, 16000, 1, 0, 1440, 30, 8},
    {0xFFF7E404, 1, 2, 256000, 24000, 0, 0, 512, 32, 32},
    {0xFFF71204, 1, 2, 32000, 22050, 0, 1, 72, 32, 32},
    // Free format: no length until the next header is found.
    {0xFFFD0004, 2, 1, 0, 44100, 0, 0, 0, 30, 30},
    {0xFFFD0404, 2, 1, 0, 48000, 0, 0, 0, 27, 27},
    {0xFFFF0004, 1, 1, 0, 44100, 0, 0, 0, 32, 32},
    // The forbidden bitrate index and the reserved rate.
    {0xFFFDF004, 2, 1, 0, 44100, 0, 0, 0, kAny, kAny},
    {0xFFFD8C04, 2, 1, 128000, 0, 0, 0, 0, kAny, kAny},
};

// The same fields as the header record gives them.
CHeaderFacts FactsOf(uint32_t dwWord) {
    CFrameHeader header;
    header.ParseWord(dwWord);
    const int nPayload = header.FrameBytes();
    // The record keeps a bound in joint stereo only; elsewhere every subband
    // is coded per channel.
    const int nBound = header.Mode() == MODE_JOINT_STEREO ? header.Bound() : header.Sblimit();
    return {dwWord,
            header.Layer(),
            header.IsLowSamplingRate() ? 2 : 1,
            header.Bitrate(),
            header.SampleFrequency(),
            header.Mode(),
            header.PaddingBit(),
            nPayload > 0 ? nPayload + 4 : 0,
            header.Sblimit(),
            nBound};
}

TEST(FrameHeaderParseTest, EveryFieldIsWhatTheStandardSaysForTheWord) {
    for (const CHeaderFacts& expected : kHeaders) {
        SCOPED_TRACE(testing::Message() << std::hex << expected.dwWord);
        const CHeaderFacts got = FactsOf(expected.dwWord);
        EXPECT_EQ(got.nLayer, expected.nLayer);
        EXPECT_EQ(got.nVersion, expected.nVersion);
        EXPECT_EQ(got.nBitrate, expected.nBitrate);
        EXPECT_EQ(got.nRate, expected.nRate);
        EXPECT_EQ(got.nMode, expected.nMode);
        EXPECT_EQ(got.nPadding, expected.nPadding);
        EXPECT_EQ(got.nFrameLength, expected.nFrameLength);
        if (expected.nSblimit != kAny) {
            EXPECT_EQ(got.nSblimit, expected.nSblimit);
            EXPECT_EQ(got.nBound, expected.nBound);
        }
    }
}

CFrameShape Layer2(int nBitrateIndex, int nFrequencyIndex, int nMode) {
    CFrameShape shape;
    shape.nBitrateIndex = nBitrateIndex;
    shape.nFrequencyIndex = nFrequencyIndex;
    shape.nMode = nMode;
    return shape;
}

class FrameSearchTest : public ::testing::Test {
  protected:
    // Frames returned by ReadFrame until it gives 0, each told by its
    // bitrate index; nLimit guards against a search that never ends.
    std::vector<int> Frames(const std::vector<uint8_t>& bytes, int nLimit = 100) {
        CBitStream stream = Stream(bytes);
        CFrameHeader header;
        CCrc16* pCrc = nullptr;
        std::vector<int> frames;
        while (static_cast<int>(frames.size()) < nLimit && header.ReadFrame(stream, &pCrc) != 0) {
            frames.push_back(header.BitrateIndex());
        }
        return frames;
    }

    static CBitStream Stream(std::vector<uint8_t> bytes) {
        return CBitStream(std::make_unique<CMemorySource>(std::move(bytes)), "memory");
    }
};

std::vector<uint8_t> Frame(int nBitrateIndex) {
    CFrameShape shape;
    shape.nBitrateIndex = nBitrateIndex;
    return BuildFrame(shape);
}

TEST_F(FrameSearchTest, CleanStreamsGiveEveryFrameAndTheLastOneToo) {
    std::vector<uint8_t> bytes;
    for (int i : {8, 9, 10, 11}) {
        Append(bytes, Frame(i));
    }
    EXPECT_EQ(Frames(bytes), (std::vector<int>{8, 9, 10, 11}));
    bytes.pop_back();  // the last frame cut short
    EXPECT_EQ(Frames(bytes), (std::vector<int>{8, 9, 10}));
}

TEST_F(FrameSearchTest, JunkBetweenFramesCostsNoFrame) {
    std::vector<uint8_t> four = Frame(7);
    Append(four, Frame(8));
    Append(four, {1, 2, 3, 4});
    Append(four, Frame(9));
    Append(four, Frame(10));
    EXPECT_EQ(Frames(four), (std::vector<int>{7, 8, 9, 10}));

    std::vector<uint8_t> two = Frame(7);
    Append(two, Frame(8));
    Append(two, {0xFF, 0xFF});
    Append(two, Frame(9));
    Append(two, Frame(10));
    EXPECT_EQ(Frames(two), (std::vector<int>{7, 8, 9, 10}));
}

TEST_F(FrameSearchTest, StrayBytesBeforeTheFirstFrameCostNothing) {
    for (std::size_t nStray = 1; nStray <= 3; ++nStray) {
        std::vector<uint8_t> bytes(nStray, 0xFF);
        Append(bytes, Frame(8));
        Append(bytes, Frame(9));
        Append(bytes, Frame(10));
        EXPECT_EQ(Frames(bytes), (std::vector<int>{8, 9, 10})) << nStray;
    }
}

TEST_F(FrameSearchTest, ForbiddenAndReservedHeadersAreSkipped) {
    std::vector<uint8_t> bytes(64, 0xFF);  // FF FF ...: Layer I, bitrate 15
    Append(bytes, Frame(8));
    Append(bytes, Frame(9));
    EXPECT_EQ(Frames(bytes), (std::vector<int>{8, 9}));

    CFrameShape mono224 = Layer2(11, 0, 3);
    CFrameShape stereo56 = Layer2(3, 0, 0);
    CFrameShape reserved = Layer2(8, 3, 0);
    std::vector<uint8_t> skipped = BuildFrame(mono224);
    Append(skipped, BuildFrame(stereo56));
    Append(skipped, BuildFrame(reserved));
    Append(skipped, Frame(8));
    Append(skipped, Frame(9));
    EXPECT_EQ(Frames(skipped), (std::vector<int>{8, 9}));
}

TEST_F(FrameSearchTest, LayerThreeEndsTheStreamOnlyWhereItsFramesConfirmIt) {
    // A lone Layer III header, and a free-format one whose length cannot be
    // found, are junk that the search passes over.
    CFrameShape layer3;
    layer3.nLayer = 3;
    std::vector<uint8_t> bytes = BuildFrame(layer3);
    bytes.resize(400, 0);
    Append(bytes, Frame(8));
    EXPECT_EQ(Frames(bytes), (std::vector<int>{8}));

    CFrameShape free = Layer2(0, 0, 0);
    std::vector<uint8_t> freeBytes = BuildFrame(free);
    freeBytes.resize(400, 0);
    EXPECT_TRUE(Frames(freeBytes).empty());

    std::vector<uint8_t> middle = Frame(6);
    Append(middle, Frame(7));
    Append(middle, bytes);
    EXPECT_EQ(Frames(middle), (std::vector<int>{6, 7, 8}));

    // Layer III frames one after another are a Layer III stream, which ends
    // the stream (144 * 112000 / 44100 bytes each, the first one padded).
    std::vector<uint8_t> stream = Frame(7);
    Append(stream, Frame(8));
    for (int i = 0; i < 4; ++i) {
        layer3.nPadding = i == 0 ? 1 : 0;
        std::vector<uint8_t> frame = BuildFrame(layer3);
        frame.resize(365 + static_cast<std::size_t>(layer3.nPadding), 0);
        Append(stream, frame);
    }
    Append(stream, Frame(9));
    EXPECT_EQ(Frames(stream), (std::vector<int>{7, 8}));
}

TEST_F(FrameSearchTest, HostileBytesEndWithoutHanging) {
    EXPECT_TRUE(Frames({}).empty());
    EXPECT_TRUE(Frames({0xFF}).empty());
    EXPECT_TRUE(Frames({0xFF, 0xFD, 0x90}).empty());
    EXPECT_TRUE(Frames(std::vector<uint8_t>(65536, 0xFF)).empty());
    std::vector<uint8_t> random(65536);
    uint32_t dwSeed = 12345;
    for (auto& b : random) {
        dwSeed = dwSeed * 1103515245u + 12345u;
        b = static_cast<uint8_t>(dwSeed >> 24);
    }
    EXPECT_LT(Frames(random, 10000).size(), 10000u);
}

TEST_F(FrameSearchTest, AProtectedFrameHandsTheRegisterFedWithTheHeader) {
    CFrameShape shape;
    shape.bProtected = true;
    std::vector<uint8_t> bytes = BuildStream(shape, 2);
    CBitStream stream = Stream(bytes);
    CFrameHeader header;
    CCrc16* pCrc = nullptr;
    ASSERT_EQ(header.ReadFrame(stream, &pCrc), 1);
    ASSERT_NE(pCrc, nullptr);
    CCrc16 expected;
    expected.Update(HeaderWord(shape) & 0xFFFF, 16);
    EXPECT_EQ(pCrc->Value(), expected.Value());
    EXPECT_EQ(header.CrcWord(), (bytes[4] << 8) | bytes[5]);

    CFrameShape open;
    CBitStream plain = Stream(BuildStream(open, 2));
    CFrameHeader plainHeader;
    CCrc16* pNone = reinterpret_cast<CCrc16*>(&plainHeader);
    ASSERT_EQ(plainHeader.ReadFrame(plain, &pNone), 1);
    EXPECT_EQ(pNone, nullptr);
}

}  // namespace
