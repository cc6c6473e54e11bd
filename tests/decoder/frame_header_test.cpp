// The header parse: the fields, rates, frame lengths and subband limits of
// header words, which words are no header, and the texts that name them.
#include "decoder/frame_header.h"

#include <gtest/gtest.h>

#include <string>

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
    const CFrameHeader header(dwWord);
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

TEST(FrameHeaderParseTest, OnlyASyncWithoutReservedFieldsIsAHeader) {
    for (const uint32_t dwWord : {0xFFFD9004u, 0xFFF59004u, 0xFFFF0004u, 0xFFFB9004u}) {
        EXPECT_TRUE(CFrameHeader::Parse(dwWord).has_value()) << std::hex << dwWord;
    }
    // No sync, the reserved layer, the forbidden bitrate, the reserved rate.
    for (const uint32_t dwWord :
         {0xFFED9004u, 0x7FFD9004u, 0xFFF99004u, 0xFFFDF004u, 0xFFFD9C04u}) {
        EXPECT_FALSE(CFrameHeader::Parse(dwWord).has_value()) << std::hex << dwWord;
    }
}

TEST(FrameHeaderParseTest, FreeFormatGoesByTheLengthFound) {
    // 413 payload bytes after the header: 417 a frame, as at 128 kbit/s.
    const CFrameHeader header = *CFrameHeader::Parse(0xFFFD0204, 413);
    EXPECT_EQ(header.FrameBytes(), 414);  // padded
    EXPECT_EQ(header.Bitrate(), 127706);  // 417 * 8 * 44100 / 1152
    EXPECT_EQ(header.Sblimit(), 27);
    const CFrameHeader copy = header;
    EXPECT_EQ(copy.Word(), 0xFFFD0204u);
    EXPECT_EQ(copy.FrameBytes(), 414);
}

TEST(FrameHeaderNamesTest, NameEveryFieldAsTheWordSays) {
    struct CNames {
        uint32_t dwWord;
        const char* pszLayer;
        const char* pszMode;
        const char* pszRate;
        const char* pszBitrate;
    };
    constexpr CNames kNames[] = {
        {0xFFFD9004, "II", "stereo", "44.1 kHz", "160 kbit/s"},
        {0xFFFFE464, "I", "joint stereo", "48 kHz", "448 kbit/s"},
        {0xFFFD1884, "II", "dual channel", "32 kHz", "32 kbis/s"},
        {0xFFFF10C4, "I", "single channel", "44.1 kHz", "32 kbis/s"},
        {0xFFF512C4, "II", "single channel", "22.05 kHz", "8 kbit/s"},
        {0xFFF7E404, "I", "stereo", "24 kHz", "256 kbit/s"},
        {0xFFF5E854, "II", "joint stereo", "16 kHz", "160 kbit/s"},
        {0xFFFD0004, "II", "stereo", "44.1 kHz", "free format"},
        {0xFFFDF004, "II", "stereo", "44.1 kHz", "forbidden"},
        {0xFFFB9004, "III (not implemented!)", "stereo", "44.1 kHz", "128 kbit/s"},
    };
    for (const CNames& names : kNames) {
        const CFrameHeader header(names.dwWord);
        SCOPED_TRACE(testing::Message() << std::hex << names.dwWord);
        EXPECT_STREQ(header.LayerName(), names.pszLayer);
        EXPECT_STREQ(header.ModeName(), names.pszMode);
        EXPECT_STREQ(header.SampleRateName(), names.pszRate);
        EXPECT_STREQ(header.BitrateName(), names.pszBitrate);
    }
    EXPECT_EQ(CFrameHeader(0xFFFD9C04).SampleRateName(), nullptr);
    EXPECT_EQ(CFrameHeader(0xFFF99004).LayerName(), nullptr);
}

}  // namespace
