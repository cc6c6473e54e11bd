// Requantisation of Layer I and Layer II subband samples, read from payload
// bytes into a frame's allocation, scalefactors and subband samples.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "decoder/bit_reader.h"
#include "decoder/bit_stream.h"
#include "decoder/crc16.h"
#include "decoder/frame_header.h"
#include "decoder/layer1_reading.h"
#include "decoder/layer2_reading.h"
#include "decoder/layer2_tables.h"
#include "decoder/memory_source.h"
#include "decoder/scalefactor_table.h"
#include "tests/support/recording_presenter.h"
#include "tests/support/stream_builder.h"

using namespace corvina;

namespace {

class LayerDecodingTest : public ::testing::Test {
  protected:
    // A bit reader whose payload holds the bits written to `bits`.
    std::unique_ptr<CBitReader> Payload(const CBitWriter& bits) {
        std::vector<uint8_t> bytes = bits.Bytes();
        bytes.resize(bytes.size() + 8, 0);
        return std::make_unique<CBitReader>(
            m_payload.Load(bytes.data(), static_cast<uint32_t>(bytes.size())));
    }

    void SetUp() override {
        m_warnings.SetReporter(m_presenter.Reporter());
        m_header.AttachWarnings(&m_warnings);
    }
    void SetHeader(const CFrameShape& shape) { m_header.ParseWord(HeaderWord(shape)); }
    // A frame of nSblimit subbands, nChannels coded, joint from nBound up.
    static CScaleInfo Layout(int nSblimit, int nChannels, int nBound) {
        CScaleInfo info;
        info.nSblimit = nSblimit;
        info.nChannels = nChannels;
        info.nBound = nBound;
        return info;
    }
    // Reads a Layer I frame's allocations, scalefactors and samples.
    const CSubbandFrame& ReadLayer1(CBitReader& stream, CScaleInfo& info, CCrc16* pCrc = nullptr) {
        ReadLayer1Allocations(stream, info, pCrc);
        ReadLayer1Scalefactors(stream, info);
        ReadLayer1Samples(stream, info, m_frame);
        return m_frame;
    }
    // Reads a Layer II frame's fields and samples by the header's table.
    const CSubbandFrame& ReadLayer2(CBitReader& stream, CScaleInfo& info, CCrc16* pCrc = nullptr) {
        ReadLayer2Allocations(stream, m_header.Layer2Table(), info, pCrc);
        ReadLayer2Scfsi(stream, info, pCrc);
        ReadLayer2Scalefactors(stream, info);
        ReadLayer2Samples(stream, m_header.Layer2Table(), info, m_frame);
        return m_frame;
    }

    CRecordingPresenter m_presenter;
    CDecoderWarnings m_warnings;
    CPayloadBuffer m_payload;
    CFrameHeader m_header;
    CSubbandFrame m_frame;
};

TEST_F(LayerDecodingTest, LayerOneTwoBitCodesGiveThirds) {
    // Allocation 1, scalefactor index 3 (1.0), then the codes 0..3.
    CBitWriter bits;
    bits.Put(1, 4);
    bits.Put(3, 6);
    for (uint32_t nCode : {0u, 1u, 2u, 3u}) {
        bits.Put(nCode, 2);
    }
    auto pStream = Payload(bits);
    CScaleInfo info = Layout(1, 1, 1);
    const CSubbandFrame& frame = ReadLayer1(*pStream, info);
    int nSlot = 0;
    for (float fExpected : {-2.0f / 3, 0.0f, 2.0f / 3, 4.0f / 3}) {
        EXPECT_NEAR(frame.fSample[0][nSlot++][0], fExpected, 1e-6);
    }
}

TEST_F(LayerDecodingTest, LayerOneUnallocatedSubbandStaysSilent) {
    CBitWriter bits;
    bits.Put(0, 4);
    bits.Put(7, 4);  // subband 1: 8-bit codes
    bits.Put(3, 6);
    for (int i = 0; i < kLayer1Slots; ++i) {
        bits.Put(255, 8);
    }
    auto pStream = Payload(bits);
    CScaleInfo info = Layout(2, 1, 2);
    std::fill(&m_frame.fSample[0][0][0], &m_frame.fSample[0][0][0] + 2 * 36 * 32, 9.0f);
    const CSubbandFrame& frame = ReadLayer1(*pStream, info);
    for (int nSlot = 0; nSlot < kLayer1Slots; ++nSlot) {
        EXPECT_EQ(frame.fSample[0][nSlot][0], 0.0f);
        EXPECT_NEAR(frame.fSample[0][nSlot][1], 256.0f / 255, 1e-6);
        EXPECT_EQ(frame.fSample[0][nSlot][2], 0.0f);
    }
}

TEST_F(LayerDecodingTest, LayerOneWidestCodeAndIllegalAllocation) {
    CBitWriter bits;
    bits.Put(14, 4);
    bits.Put(15, 4);  // a stereo subband: channel 1 has the forbidden code
    bits.Put(3, 6);
    bits.Put(3, 6);
    bits.Put(16383, 15);
    bits.Put(0xFFFF, 16);
    auto pStream = Payload(bits);
    CScaleInfo info = Layout(1, 2, 1);
    CCrc16 crc;
    const CSubbandFrame& frame = ReadLayer1(*pStream, info, &crc);
    CCrc16 expected;
    expected.Update(14, 4);
    expected.Update(15, 4);
    EXPECT_EQ(crc.Value(), expected.Value());
    EXPECT_TRUE(info.bForbidden);
    EXPECT_EQ(frame.fSample[0][0][0], 0.0f);  // (32766 - 32768 + 2) / 32767
    EXPECT_EQ(frame.fSample[1][0][0], 0.0f);
    // Code 15 takes 16 bits in each slot.
    EXPECT_EQ(pStream->BitPosition(), 8u + 12 + kLayer1Slots * (15 + 16));
}

TEST_F(LayerDecodingTest, LayerOneAllocationsOfAShortPayloadReadAsFarAsItGoes) {
    // Ten allocations in five bytes: sixteen subbands run past the payload,
    // whose missing fields read as 0.
    const uint8_t bytes[] = {0x12, 0x34, 0x56, 0x78, 0x9E};
    for (const int nSubbands : {10, 16}) {
        CBitReader reader = m_payload.Load(bytes, sizeof bytes);
        CScaleInfo info = Layout(nSubbands, 1, nSubbands);
        CCrc16 crc;
        ReadLayer1Allocations(reader, info, &crc);
        CCrc16 expected;
        for (int sb = 0; sb < info.nSblimit; ++sb) {
            const int nExpected = sb < 9 ? sb + 1 : sb == 9 ? 14 : 0;
            EXPECT_EQ(info.nAllocation[0][sb], nExpected) << sb;
            expected.Update(static_cast<uint32_t>(nExpected), 4);
        }
        EXPECT_EQ(crc.Value(), expected.Value());
        EXPECT_FALSE(info.bForbidden);
        EXPECT_EQ(reader.BitPosition(), 4u * static_cast<uint32_t>(info.nSblimit));
    }
}

TEST_F(LayerDecodingTest, LayerOneJointSubbandScalesOneSampleForEachChannel) {
    CBitWriter bits;
    bits.Put(2, 4);  // 3-bit codes
    bits.Put(3, 6);  // 1.0
    bits.Put(0, 6);  // 2.0
    bits.Put(7, 3);  // (14 - 8 + 2) / 7 = 8/7
    bits.Put(1, 3);  // the next slot: (2 - 8 + 2) / 7 = -4/7
    auto pStream = Payload(bits);
    CScaleInfo info = Layout(1, 2, 0);
    const CSubbandFrame& frame = ReadLayer1(*pStream, info);
    EXPECT_NEAR(frame.fSample[0][0][0], 8.0f / 7, 1e-6);
    EXPECT_NEAR(frame.fSample[1][0][0], 16.0f / 7, 1e-6);
    EXPECT_NEAR(frame.fSample[0][1][0], -4.0f / 7, 1e-6);
    EXPECT_NEAR(frame.fSample[1][1][0], -8.0f / 7, 1e-6);
}

TEST_F(LayerDecodingTest, LayerTwoGroupedCodesDegroupLeastSignificantDigitFirst) {
    // Single channel, 32 kHz, 48 kbit/s: the low-rate table, 4-bit
    // allocations in subbands 0-1. Allocation 1 is 3 levels, 5-bit groups.
    CFrameShape shape;
    shape.nBitrateIndex = 2;
    shape.nFrequencyIndex = 2;
    shape.nMode = 3;
    SetHeader(shape);
    CBitWriter bits;
    bits.Put(1, 4);  // allocation
    bits.Put(2, 2);  // scfsi 2: one scalefactor for the frame
    bits.Put(3, 6);  // 1.0
    for (uint32_t nCode : {5u, 13u, 26u, 27u, 31u}) {
        bits.Put(nCode, 5);
    }
    auto pStream = Payload(bits);
    CScaleInfo info = Layout(1, 1, 1);
    const float fThird = 2.0f / 3;
    const float fExpected[5][3] = {
        {fThird, 0, -fThird}, {0, 0, 0}, {fThird, fThird, fThird}, {0, 0, 0}, {0, 0, 0}};
    const CSubbandFrame& frame = ReadLayer2(*pStream, info);
    for (int nGranule = 0; nGranule < 5; ++nGranule) {
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(frame.fSample[0][3 * nGranule + i][0], fExpected[nGranule][i], 1e-6);
        }
    }
}

TEST_F(LayerDecodingTest, LayerTwoNineLevelCodesOutOfRangeAreSilent) {
    // Row E, allocation 3 in subband 5 is 9 levels: 10-bit groups; nbal 3.
    CFrameShape shape;
    shape.nBitrateIndex = 2;
    shape.nFrequencyIndex = 2;
    shape.nMode = 3;
    SetHeader(shape);
    CBitWriter bits;
    bits.Put(0, 4 + 4 + 3 + 3 + 3);  // subbands 0-4 carry nothing
    bits.Put(3, 3);
    bits.Put(2, 2);
    bits.Put(3, 6);
    bits.Put(728, 10);   // the last group: all three 8/9
    bits.Put(1023, 10);  // no group
    auto pStream = Payload(bits);
    CScaleInfo info = Layout(6, 1, 6);
    const CSubbandFrame& frame = ReadLayer2(*pStream, info);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(frame.fSample[0][i][5], 8.0f / 9, 1e-6);
        EXPECT_EQ(frame.fSample[0][3 + i][5], 0.0f);
    }
}

TEST_F(LayerDecodingTest, LayerTwoUngroupedCodesAndScalefactorSelection) {
    // Stereo 44.1 kHz 192 kbit/s: rows A-D. Subband 0, allocation 3 in row A
    // is 15 levels (4-bit codes): code 0 gives 1.0666667 * (-1 + 0.125).
    CFrameShape shape;
    shape.nBitrateIndex = 10;
    SetHeader(shape);
    CBitWriter bits;
    bits.Put(3, 4);
    bits.Put(0, 4);   // channel 1 carries nothing
    bits.Put(1, 2);   // scfsi 1: granules 0-7 share the first scalefactor
    bits.Put(3, 6);   // 1.0
    bits.Put(63, 6);  // granules 8-11 silent
    for (int nGranule = 0; nGranule < 12; ++nGranule) {
        for (int i = 0; i < 3; ++i) {
            bits.Put(0, 4);
        }
    }
    auto pStream = Payload(bits);
    CScaleInfo info = Layout(1, 2, 1);
    const CSubbandFrame& frame = ReadLayer2(*pStream, info);
    for (int nSlot = 0; nSlot < kLayer2Slots; ++nSlot) {
        EXPECT_NEAR(frame.fSample[0][nSlot][0], nSlot < 24 ? -0.93333333f : 0.0f, 1e-6);
        EXPECT_EQ(frame.fSample[1][nSlot][0], 0.0f);
    }
    // The cursor ends after the twelve granules' codes.
    EXPECT_EQ(pStream->BitPosition(), 4u + 4 + 2 + 6 + 6 + 12 * 3 * 4);
}

TEST_F(LayerDecodingTest, LayerTwoScalefactorSelectionsShareTheirFieldsAndAMissingOneIsIndexZero) {
    // Subbands 0..3 with the selections 0..3: 3, 2, 1 and 2 fields, the
    // indices 1..8 in turn.
    CScaleInfo info = Layout(4, 1, 4);
    for (int sb = 0; sb < 4; ++sb) {
        info.nAllocation[0][sb] = 1;
        info.nScfsi[0][sb] = static_cast<uint8_t>(sb);
    }
    CBitWriter bits;
    for (uint32_t nIndex = 1; nIndex <= 8; ++nIndex) {
        bits.Put(nIndex, 6);
    }
    const int nExpected[4][3] = {{1, 2, 3}, {4, 4, 5}, {6, 6, 6}, {7, 8, 8}};
    auto pStream = Payload(bits);
    ReadLayer2Scalefactors(*pStream, info);
    for (int sb = 0; sb < 4; ++sb) {
        for (int nPart = 0; nPart < 3; ++nPart) {
            EXPECT_EQ(info.fScalefactor[0][sb][nPart], g_fScalefactors[nExpected[sb][nPart]])
                << sb << " " << nPart;
        }
    }
    EXPECT_EQ(pStream->BitPosition(), 48u);
    // A payload of no bytes: every field reads as index 0.
    CBitReader empty = m_payload.Load(bits.Bytes().data(), 0);
    ReadLayer2Scalefactors(empty, info);
    for (int sb = 0; sb < 4; ++sb) {
        for (int nPart = 0; nPart < 3; ++nPart) {
            EXPECT_EQ(info.fScalefactor[0][sb][nPart], g_fScalefactors[0]);
        }
    }
}

TEST_F(LayerDecodingTest, LayerTwoJointSubbandSharesSamplesAndFeedsTheCrcInOrder) {
    CFrameShape shape;
    shape.nBitrateIndex = 10;
    shape.nMode = 1;
    SetHeader(shape);
    CBitWriter bits;
    bits.Put(1, 4);  // 3 levels in subband 0's row A
    bits.Put(2, 2);
    bits.Put(0, 2);
    bits.Put(3, 6);   // channel 0: 1.0 for all
    bits.Put(0, 6);   // channel 1: 2.0, 2.0 ...
    bits.Put(3, 6);   // ... then 1.0
    bits.Put(6, 6);   // ... then 0.5
    bits.Put(26, 5);  // 2/3, 2/3, 2/3
    auto pStream = Payload(bits);
    CScaleInfo info = Layout(1, 2, 0);
    CCrc16 crc;
    const CSubbandFrame& frame = ReadLayer2(*pStream, info, &crc);
    CCrc16 expected;
    expected.Update(1, 4);
    expected.Update(2, 2);
    expected.Update(0, 2);
    EXPECT_EQ(crc.Value(), expected.Value());
    EXPECT_NEAR(frame.fSample[0][0][0], 2.0f / 3, 1e-6);
    EXPECT_NEAR(frame.fSample[1][0][0], 4.0f / 3, 1e-6);
}

}  // namespace
