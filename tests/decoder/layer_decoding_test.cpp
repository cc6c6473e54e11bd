// Requantisation of Layer I and Layer II subband samples, read from payload
// bytes by the subband decoders and stored into the filters' input.
#include <gtest/gtest.h>

#include <memory>

#include "decoder/bit_reader.h"
#include "decoder/bit_stream.h"
#include "decoder/crc16.h"
#include "decoder/frame_header.h"
#include "decoder/layer1_subband.h"
#include "decoder/layer2_subband.h"
#include "decoder/memory_source.h"
#include "synth/synthesis_filter.h"
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
    // The frame's samples of one Layer II subband, read from the cursor.
    template <class TSubband>
    const CLayer2Frame& FrameOf(const TSubband& subband, CBitReader& stream) {
        CLayer2SampleReader reader;
        reader.Start(stream);
        subband.AddCodes(reader);
        reader.ReadFrame(stream, m_frame);
        return m_frame;
    }

    CRecordingPresenter m_presenter;
    CDecoderWarnings m_warnings;
    CPayloadBuffer m_payload;
    CFrameHeader m_header;
    CSynthesisFilter m_filter0{0, 32768.0f};
    CSynthesisFilter m_filter1{1, 32768.0f};
    CLayer2Frame m_frame;
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
    CLayer1Subband subband(5);
    subband.ReadAllocation(*pStream, m_header, nullptr);
    subband.ReadScalefactors(*pStream, m_header);
    for (float fExpected : {-2.0f / 3, 0.0f, 2.0f / 3, 4.0f / 3}) {
        subband.ReadSamples(*pStream);
        subband.OutputSample(1, &m_filter0, nullptr);
        EXPECT_NEAR(m_filter0.m_fInput[5], fExpected, 1e-6);
    }
}

TEST_F(LayerDecodingTest, LayerOneUnallocatedSubbandStaysSilent) {
    CBitWriter bits;
    bits.Put(0, 4);
    auto pStream = Payload(bits);
    CLayer1Subband subband(0);
    subband.ReadAllocation(*pStream, m_header, nullptr);
    subband.ReadScalefactors(*pStream, m_header);
    for (int i = 1; i <= 24; ++i) {
        subband.ReadSamples(*pStream);
        subband.OutputSample(1, &m_filter0, nullptr);
        EXPECT_EQ(m_filter0.m_fInput[0], 0.0f);
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
    CLayer1StereoSubband subband(2);
    CCrc16 crc;
    subband.ReadAllocation(*pStream, m_header, &crc);
    CCrc16 expected;
    expected.Update(14, 4);
    expected.Update(15, 4);
    EXPECT_EQ(crc.Value(), expected.Value());
    EXPECT_TRUE(m_header.HasForbiddenCode());
    subband.ReadScalefactors(*pStream, m_header);
    subband.ReadSamples(*pStream);
    subband.OutputSample(0, &m_filter0, &m_filter1);
    EXPECT_EQ(m_filter0.m_fInput[2], 0.0f);  // (32766 - 32768 + 2) / 32767
    EXPECT_EQ(m_filter1.m_fInput[2], 0.0f);
    EXPECT_EQ(pStream->GetBits(16), 0u);  // 16 bits were read for code 15
}

TEST_F(LayerDecodingTest, LayerOneJointSubbandScalesOneSampleForEachChannel) {
    CBitWriter bits;
    bits.Put(2, 4);  // 3-bit codes
    bits.Put(3, 6);  // 1.0
    bits.Put(0, 6);  // 2.0
    bits.Put(7, 3);  // (14 - 8 + 2) / 7 = 8/7
    auto pStream = Payload(bits);
    CLayer1JointSubband subband(20);
    subband.ReadAllocation(*pStream, m_header, nullptr);
    subband.ReadScalefactors(*pStream, m_header);
    subband.ReadSamples(*pStream);
    subband.OutputSample(0, &m_filter0, &m_filter1);
    EXPECT_NEAR(m_filter0.m_fInput[20], 8.0f / 7, 1e-6);
    EXPECT_NEAR(m_filter1.m_fInput[20], 16.0f / 7, 1e-6);
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
    CLayer2Subband subband(0);
    subband.ReadAllocation(*pStream, m_header, nullptr);
    subband.ReadScfsi(*pStream, nullptr);
    subband.ReadScalefactors(*pStream, m_header);
    const float fThird = 2.0f / 3;
    const float fExpected[5][3] = {
        {fThird, 0, -fThird}, {0, 0, 0}, {fThird, fThird, fThird}, {0, 0, 0}, {0, 0, 0}};
    const CLayer2Frame& frame = FrameOf(subband, *pStream);
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
    bits.Put(3, 3);
    bits.Put(2, 2);
    bits.Put(3, 6);
    bits.Put(728, 10);   // the last group: all three 8/9
    bits.Put(1023, 10);  // no group
    auto pStream = Payload(bits);
    CLayer2Subband subband(5);
    subband.ReadAllocation(*pStream, m_header, nullptr);
    subband.ReadScfsi(*pStream, nullptr);
    subband.ReadScalefactors(*pStream, m_header);
    const CLayer2Frame& frame = FrameOf(subband, *pStream);
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
    CLayer2StereoSubband subband(0);
    subband.ReadAllocation(*pStream, m_header, nullptr);
    subband.ReadScfsi(*pStream, nullptr);
    subband.ReadScalefactors(*pStream, m_header);
    const CLayer2Frame& frame = FrameOf(subband, *pStream);
    for (int nSlot = 0; nSlot < CLayer2Frame::kSlots; ++nSlot) {
        EXPECT_NEAR(frame.fSample[0][nSlot][0], nSlot < 24 ? -0.93333333f : 0.0f, 1e-6);
        EXPECT_EQ(frame.fSample[1][nSlot][0], 0.0f);
    }
    // The cursor ends after the twelve granules' codes.
    EXPECT_EQ(pStream->BitPosition(), 4u + 4 + 2 + 6 + 6 + 12 * 3 * 4);
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
    CLayer2JointSubband subband(0);
    CCrc16 crc;
    subband.ReadAllocation(*pStream, m_header, &crc);
    subband.ReadScfsi(*pStream, &crc);
    CCrc16 expected;
    expected.Update(1, 4);
    expected.Update(2, 2);
    expected.Update(0, 2);
    EXPECT_EQ(crc.Value(), expected.Value());
    subband.ReadScalefactors(*pStream, m_header);
    const CLayer2Frame& frame = FrameOf(subband, *pStream);
    EXPECT_NEAR(frame.fSample[0][0][0], 2.0f / 3, 1e-6);
    EXPECT_NEAR(frame.fSample[1][0][0], 4.0f / 3, 1e-6);
}

}  // namespace
