// The decoder driver on built streams: every kind of stream decodes to whole
// frames, damaged frames are dropped quietly, warnings come once per run,
// and seeks lose nothing.
#include "decoder/audio_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <memory>
#include <utility>

#include "decoder/memory_source.h"
#include "tests/support/recording_presenter.h"
#include "tests/support/recording_sink.h"
#include "tests/support/stream_builder.h"
#include "tests/support/temp_dir.h"

using namespace corvina;

namespace {

constexpr int kLayer1Bitrates = 14;
const char kIllegalAllocation[] = "stream contains an illegal allocation!";
const char kModeSwitch[] = "illegal switch from single channel to stereo or vice versa!";
const char kRateSwitch[] = "sorry, can't switch the sample frequency in the middle of the stream!";

bool IsLegalLayer2(int nBitrateIndex, int nMode) {
    const bool bLow =
        nBitrateIndex == 1 || nBitrateIndex == 2 || nBitrateIndex == 3 || nBitrateIndex == 5;
    return nMode == 3 ? nBitrateIndex < 11 : !bLow;
}

// A frame whose first subbands carry a quiet tone-like pattern.
CFrameShape Sounding(int nLayer, int nBitrateIndex, int nFrequencyIndex, int nMode) {
    CFrameShape shape;
    shape.nLayer = nLayer;
    shape.nBitrateIndex = nBitrateIndex;
    shape.nFrequencyIndex = nFrequencyIndex;
    shape.nMode = nMode;
    shape.SetAll(1, 20, 2, 3);
    return shape;
}

class AudioDecoderTest : public ::testing::Test {
  protected:
    CDecodeResult Decode(const std::vector<uint8_t>& bytes) {
        return DecodeBytes(bytes, m_presenter.Reporter());
    }
    // As the stream stands, damaged frames unconcealed.
    CDecodeResult DecodePlain(const std::vector<uint8_t>& bytes) {
        CDecodeChoices plain;
        plain.bConceal = false;
        return DecodeBytes(bytes, m_presenter.Reporter(), 1000000, plain);
    }

    CRecordingPresenter m_presenter;
};

TEST_F(AudioDecoderTest, EveryRateBitrateModeAndProtectionDecodesToWholeFrames) {
    int nStreams = 0;
    for (int nLayer = 1; nLayer <= 2; ++nLayer) {
        // 0 to 2 the rates of MPEG-1, 3 to 5 the low sampling rates.
        for (int nRate = 0; nRate < 6; ++nRate) {
            for (int nBitrate = 1; nBitrate <= kLayer1Bitrates; ++nBitrate) {
                for (int nMode = 0; nMode < 4; ++nMode) {
                    if (nLayer == 2 && nRate < 3 && !IsLegalLayer2(nBitrate, nMode)) {
                        continue;
                    }
                    for (int nExtension = 0; nExtension < (nMode == 1 ? 4 : 1); ++nExtension) {
                        for (bool bProtected : {false, true}) {
                            CFrameShape shape = Sounding(nLayer, nBitrate, nRate % 3, nMode);
                            shape.nIdBit = nRate < 3 ? 1 : 0;
                            shape.nModeExtension = nExtension;
                            shape.bProtected = bProtected;
                            shape.nPadding = nBitrate % 2;
                            const CDecodeResult result = Decode(BuildStream(shape, 3));
                            SCOPED_TRACE(testing::Message()
                                         << "layer " << nLayer << " rate " << nRate << " bitrate "
                                         << nBitrate << " mode " << nMode << " ext " << nExtension
                                         << " crc " << bProtected);
                            ASSERT_EQ(result.nInitialized, 1);
                            const int nChannels = nMode == 3 ? 1 : 2;
                            EXPECT_EQ(result.nChannels, nChannels);
                            EXPECT_EQ(result.nFrames, 3);
                            const auto nSamples =
                                static_cast<std::size_t>(3 * SamplesPerFrame(nLayer));
                            EXPECT_EQ(result.nSamples[0].size(), nSamples);
                            EXPECT_EQ(result.nSamples[1].size(), nChannels == 2 ? nSamples : 0u);
                            ++nStreams;
                        }
                    }
                }
            }
        }
    }
    EXPECT_GT(nStreams, 500);
    EXPECT_TRUE(m_presenter.Messages().empty());
}

TEST_F(AudioDecoderTest, CodedSubbandsMakeSoundAndBothChannelsAgreeWhenCodedAlike) {
    for (int nLayer : {1, 2}) {
        const CDecodeResult result = Decode(BuildStream(Sounding(nLayer, 10, 0, 0), 4));
        ASSERT_EQ(result.nInitialized, 1);
        EXPECT_EQ(result.nSamples[0], result.nSamples[1]);
        int nLoudest = 0;
        for (int16_t nSample : result.nSamples[0]) {
            nLoudest = std::max(nLoudest, std::abs(static_cast<int>(nSample)));
        }
        EXPECT_GT(nLoudest, 100) << nLayer;
    }
}

// The middle code of a class is silence: read with the wrong class or field
// width for any code of any subband of any allocation table, the frames that
// follow it are misread and make sound or warnings.
TEST_F(AudioDecoderTest, TheMiddleCodeOfEveryLayerTwoClassIsSilence) {
    struct CTableHeader {
        int nIdBit, nBitrateIndex, nFrequencyIndex;
    };
    // 27, 30, 8 and 12 subbands, and the low sampling rates' table.
    for (const CTableHeader& table :
         {CTableHeader{1, 7, 0}, {1, 10, 0}, {1, 4, 1}, {1, 4, 2}, {0, 8, 1}}) {
        for (int nAlloc = 1; nAlloc < 16; ++nAlloc) {
            SCOPED_TRACE(testing::Message() << "bitrate " << table.nBitrateIndex << " rate "
                                            << table.nFrequencyIndex << " code " << nAlloc);
            // Frame sb codes subband sb alone, in both channels.
            std::vector<uint8_t> silent;
            std::vector<uint8_t> loud;
            for (int sb = 0; sb < 30; ++sb) {
                CFrameShape shape = Sounding(2, table.nBitrateIndex, table.nFrequencyIndex, 0);
                shape.nIdBit = table.nIdBit;
                shape.SetAll(0, 0, 0);
                for (int ch = 0; ch < 2; ++ch) {
                    shape.nAllocation[ch][sb] = nAlloc;
                    shape.nScalefactor[ch][sb][0] = shape.nScalefactor[ch][sb][1] =
                        shape.nScalefactor[ch][sb][2] = 10;
                    shape.dwSampleCode[ch][sb] = SilenceCode(shape, sb, nAlloc);
                }
                Append(silent, BuildFrame(shape));
                shape.dwSampleCode[0][sb] = shape.dwSampleCode[1][sb] = 0;  // the lowest step
                Append(loud, BuildFrame(shape));
            }
            const CDecodeResult result = Decode(silent);
            EXPECT_EQ(result.nFrames, 30);
            EXPECT_EQ(result.nSamples[0], std::vector<int16_t>(30 * 1152, 0));
            EXPECT_EQ(result.nSamples[1], std::vector<int16_t>(30 * 1152, 0));
            EXPECT_NE(Decode(loud).nSamples[0], std::vector<int16_t>(30 * 1152, 0));
        }
    }
    EXPECT_TRUE(m_presenter.Messages().empty());
}

TEST_F(AudioDecoderTest, UnconcealedAFrameFailingItsCrcIsSilenceWithoutAWord) {
    CFrameShape good = Sounding(2, 10, 0, 0);
    good.bProtected = true;
    CFrameShape bad = good;
    bad.bWrongCrc = true;
    std::vector<uint8_t> bytes = BuildFrame(good);
    Append(bytes, BuildFrame(bad));
    Append(bytes, BuildFrame(good));
    Append(bytes, BuildFrame(bad));
    Append(bytes, BuildFrame(good));
    const CDecodeResult result = DecodePlain(bytes);
    EXPECT_EQ(result.nFrames, 5);
    ASSERT_EQ(result.nSamples[0].size(), 5u * 1152);
    EXPECT_TRUE(std::all_of(result.nSamples[0].begin() + 1152, result.nSamples[0].begin() + 2304,
                            [](int16_t n) { return n == 0; }));
    EXPECT_TRUE(m_presenter.Messages().empty());

    CFrameShape layer1 = Sounding(1, 12, 0, 1);
    layer1.bProtected = true;
    layer1.bWrongCrc = true;
    const CDecodeResult damaged = DecodePlain(BuildStream(layer1, 4));
    EXPECT_EQ(damaged.nFrames, 4);
    EXPECT_EQ(damaged.nSamples[0], std::vector<int16_t>(4 * 384, 0));
}

TEST_F(AudioDecoderTest, DamagedStreamsWarnOncePerRun) {
    CFrameShape illegal = Sounding(1, 12, 0, 0);
    illegal.nAllocation[1][7] = 15;
    CDecodeResult result = DecodePlain(BuildStream(illegal, 20));
    EXPECT_EQ(result.nFrames, 20);
    EXPECT_EQ(m_presenter.Count(kIllegalAllocation), 1);

    // Mode and rate changing every five frames.
    m_presenter.Clear();
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 20; ++i) {
        const bool bFirst = i / 5 % 2 == 0;
        Append(bytes, BuildFrame(Sounding(2, 10, bFirst ? 0 : 1, bFirst ? 0 : 3)));
    }
    result = Decode(bytes);
    EXPECT_EQ(result.nFrames, 20);
    EXPECT_EQ(m_presenter.Count(kModeSwitch), 1);
    EXPECT_EQ(m_presenter.Count(kRateSwitch), 1);
    EXPECT_EQ(m_presenter.Messages().size(), 2u);
    // Single-channel frames of a stereo stream are heard on both channels.
    EXPECT_EQ(result.nSamples[0].size(), 20u * 1152);
    EXPECT_EQ(result.nSamples[1].size(), 20u * 1152);

    // A new run through the file warns again.
    m_presenter.Clear();
    Decode(bytes);
    EXPECT_EQ(m_presenter.Count(kModeSwitch), 1);
}

TEST_F(AudioDecoderTest, LayersMayChangeWithoutAWord) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 6; ++i) {
        Append(bytes, BuildFrame(Sounding(i < 3 ? 1 : 2, 10, 0, 0)));
    }
    const CDecodeResult result = Decode(bytes);
    EXPECT_EQ(result.nFrames, 6);
    EXPECT_EQ(result.nSamples[0].size(), 3u * 384 + 3u * 1152);
    EXPECT_TRUE(m_presenter.Messages().empty());
}

TEST_F(AudioDecoderTest, UnusableFirstFramesFailInitialisation) {
    CFrameShape layer3 = Sounding(3, 8, 0, 0);
    std::vector<uint8_t> bytes = BuildFrame(layer3);
    bytes.resize(2000, 0);
    EXPECT_EQ(Decode(bytes).nInitialized, 0);
    CFrameShape free = Sounding(2, 0, 0, 0);
    bytes = BuildFrame(free);
    bytes.resize(2000, 0);
    EXPECT_EQ(Decode(bytes).nInitialized, 0);
    EXPECT_EQ(Decode({}).nInitialized, 0);
    CTempDir dir;
    EXPECT_EQ(DecodeFile(dir.File("missing")).nInitialized, 0);
}

// The frames counted make the playing time, constant bitrate too: the zeros
// after ten frames are no sound, where the first bitrate would make 250 s of
// the bytes.
TEST_F(AudioDecoderTest, PlayingTimeIsThatOfTheFramesCounted) {
    CFrameShape shape = Sounding(2, 8, 0, 0);
    std::vector<uint8_t> bytes = BuildStream(shape, 10);
    bytes.resize(4000000, 0);
    CRecording recording;
    CAudioDecoder decoder(std::make_unique<CMemorySource>(std::move(bytes)), "long",
                          {{}, {}, RecordingSinkFactory(recording)});
    EXPECT_EQ(decoder.PlayingTime(), 0.0f);
    ASSERT_EQ(decoder.Initialize(), 1);
    EXPECT_FLOAT_EQ(decoder.PlayingTime(), 10 * 1152 / 44100.0f);
}

class SeekTest : public AudioDecoderTest {
  protected:
    // Decodes nBefore frames, seeks to nPercent, then decodes to the end.
    int FramesAroundSeek(const std::vector<uint8_t>& bytes, int nBefore, int nPercent) {
        CRecording recording;
        CAudioDecoder decoder(std::make_unique<CMemorySource>(bytes), "seek",
                              {{}, m_presenter.Reporter(), RecordingSinkFactory(recording)});
        EXPECT_EQ(decoder.Initialize(), 1);
        for (int i = 0; i < nBefore; ++i) {
            EXPECT_EQ(decoder.DecodeFrame(), 1);
        }
        EXPECT_EQ(decoder.SeekPercent(nPercent), 1);
        int nCalls = 0;
        while (nCalls < 10000 && decoder.DecodeFrame() != 0) {
            ++nCalls;
        }
        return recording.nFrames;
    }
};

TEST_F(SeekTest, TheFrameInHandIsKeptAndTheNextHoldsTheNewPlace) {
    for (int nLayer : {1, 2}) {
        CFrameShape shape = Sounding(nLayer, 10, 0, 0);
        shape.bProtected = true;
        const std::vector<uint8_t> frame = BuildFrame(shape);
        const int nFrames = 40;
        const std::vector<uint8_t> bytes = BuildStream(shape, nFrames);
        for (int nPercent : {0, 10, 33, 50, 99, 100}) {
            const auto nOffset = static_cast<std::size_t>(nPercent * bytes.size() / 100);
            const std::size_t nStartsAfter = nFrames - nOffset / frame.size();
            SCOPED_TRACE(testing::Message() << "layer " << nLayer << " at " << nPercent << "%");
            // Two frames decoded, the third in hand: it is decoded whole.
            EXPECT_EQ(FramesAroundSeek(bytes, 2, nPercent), static_cast<int>(3 + nStartsAfter));
        }
    }
    EXPECT_TRUE(m_presenter.Messages().empty());
}

TEST_F(SeekTest, NoSoundIsMadeOfBytesThatAreNotFrames) {
    // Frames separated by long runs of junk that holds a false sync followed
    // by non-frame bytes: a seek into the junk must not decode it.
    CFrameShape shape = Sounding(2, 10, 0, 0);
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 10; ++i) {
        Append(bytes, BuildFrame(shape));
    }
    std::vector<uint8_t> junk(5000, 0x11);
    junk[100] = 0xFF;
    junk[101] = 0xFD;
    junk[102] = 0xA0;
    junk[103] = 0x04;
    Append(bytes, junk);
    for (int i = 0; i < 3; ++i) {
        Append(bytes, BuildFrame(shape));
    }
    // 50 % of the frames counted lies in frame 6 of the first ten, where half
    // the bytes would be inside the junk: the frame before, the one in hand,
    // four more from frame 6 on and the last three, and nothing of the junk.
    EXPECT_EQ(FramesAroundSeek(bytes, 1, 50), 2 + 4 + 3);
}

}  // namespace
