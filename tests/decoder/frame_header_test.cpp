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

struct CParsed {
    int nFrameBytes;
    int nSblimit;
    int nBound;
};

CParsed Parse(const CFrameShape& shape) {
    CFrameHeader header;
    header.ParseWord(HeaderWord(shape));
    return {header.FrameBytes(), header.Sblimit(), header.Bound()};
}

CFrameShape Layer2(int nBitrateIndex, int nFrequencyIndex, int nMode) {
    CFrameShape shape;
    shape.nBitrateIndex = nBitrateIndex;
    shape.nFrequencyIndex = nFrequencyIndex;
    shape.nMode = nMode;
    return shape;
}

TEST(FrameHeaderParseTest, FrameLengthsFollowBitrateRateAndPadding) {
    CFrameShape shape = Layer2(8, 0, 0);
    EXPECT_EQ(Parse(shape).nFrameBytes, 413);
    shape.nPadding = 1;
    EXPECT_EQ(Parse(shape).nFrameBytes, 414);
    shape.nFrequencyIndex = 1;  // padding counts at every rate
    EXPECT_EQ(Parse(shape).nFrameBytes, 381);
    shape.nPadding = 0;
    EXPECT_EQ(Parse(shape).nFrameBytes, 380);

    CFrameShape layer1;
    layer1.nLayer = 1;
    layer1.nBitrateIndex = 1;
    EXPECT_EQ(Parse(layer1).nFrameBytes, 28);
    layer1.nPadding = 1;
    EXPECT_EQ(Parse(layer1).nFrameBytes, 32);
    layer1.nFrequencyIndex = 1;
    EXPECT_EQ(Parse(layer1).nFrameBytes, 32);
    layer1.nPadding = 0;
    EXPECT_EQ(Parse(layer1).nFrameBytes, 28);

    EXPECT_EQ(Parse(Layer2(14, 2, 0)).nFrameBytes, 1724);  // the longest frame
}

TEST(FrameHeaderParseTest, SubbandLimitsAndBoundsFollowTheBitratePerChannel) {
    CFrameShape joint = Layer2(4, 1, 1);  // 64 kbit/s, 48 kHz: 32 per channel
    for (int nExtension = 0; nExtension < 4; ++nExtension) {
        joint.nModeExtension = nExtension;
        EXPECT_EQ(Parse(joint).nSblimit, 8);
        EXPECT_EQ(Parse(joint).nBound, std::min(4 * (nExtension + 1), 8));
    }
    EXPECT_EQ(Parse(Layer2(10, 0, 3)).nSblimit, 30);
    EXPECT_EQ(Parse(Layer2(10, 2, 3)).nSblimit, 30);
    EXPECT_EQ(Parse(Layer2(10, 1, 3)).nSblimit, 27);
    EXPECT_EQ(Parse(Layer2(2, 2, 3)).nSblimit, 12);
    EXPECT_EQ(Parse(Layer2(2, 0, 3)).nSblimit, 8);
    EXPECT_EQ(Parse(Layer2(7, 0, 0)).nSblimit, 27);  // 56 per channel
    EXPECT_EQ(Parse(Layer2(10, 0, 0)).nSblimit, 30);
    EXPECT_EQ(Parse(Layer2(10, 0, 0)).nBound, 0);
    CFrameShape layer1;
    layer1.nLayer = 1;
    layer1.nMode = 1;
    layer1.nModeExtension = 3;
    EXPECT_EQ(Parse(layer1).nSblimit, 32);
    EXPECT_EQ(Parse(layer1).nBound, 16);
    CFrameShape noId = Layer2(2, 2, 3);
    noId.nIdBit = 0;
    EXPECT_EQ(Parse(noId).nSblimit, 30);
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
