// Frames of every kind that encoders write keep the stream whole: low
// sampling rates, padding at every rate, unlisted Layer II pairs, single
// channel inside stereo, and frames that fail their CRC.
#include <gtest/gtest.h>

#include <memory>

#include "decoder/audio_decoder.h"
#include "decoder/memory_source.h"
#include "tests/support/recording_sink.h"
#include "tests/support/stream_builder.h"

using namespace corvina;

namespace {

struct CDecoded : CRecording {
    CStreamFormat format;
    bool bInitialized = false;
};

CDecoded Decode(const std::vector<uint8_t>& bytes, const CDecodeChoices& choices = {}) {
    CDecoded decoded;
    CAudioDecoder::CHooks hooks;
    hooks.fnMakeSink = [&decoded](const CStreamFormat& format) {
        decoded.format = format;
        decoded.nChannels = format.nChannels;
        return std::make_unique<CRecordingSink>(decoded);
    };
    CAudioDecoder decoder(std::make_unique<CMemorySource>(bytes), "stream", std::move(hooks));
    decoder.SetChoices(choices);
    decoded.bInitialized = decoder.Initialize() != 0;
    for (int i = 0; decoded.bInitialized && i < 10000 && decoder.DecodeFrame() != 0; ++i) {
    }
    return decoded;
}

CFrameShape Loud(CFrameShape shape) {
    shape.SetAll(shape.nLayer == 1 ? 5 : 3, 10, 5);
    return shape;
}

TEST(StreamKindsTest, EveryFrameOfEveryKindIsDecoded) {
    struct CCase {
        const char* pszName;
        CFrameShape shape;
        int nSampleRate;
    };
    const int kLowRates[] = {22050, 24000, 16000};
    const int kRates[] = {44100, 48000, 32000};
    std::vector<CCase> cases;
    for (int nLayer : {1, 2}) {
        for (int nFrequency : {0, 1, 2}) {
            CFrameShape shape;
            shape.nLayer = nLayer;
            shape.nIdBit = 0;
            shape.nFrequencyIndex = nFrequency;
            shape.nBitrateIndex = 8;
            cases.push_back({"low sampling rate", shape, kLowRates[nFrequency]});
            shape.nIdBit = 1;
            shape.nPadding = 1;
            cases.push_back({"padded", shape, kRates[nFrequency]});
        }
    }
    CFrameShape pair;
    pair.nBitrateIndex = 2;  // 48 kbit/s in stereo, left out of the standard's table
    cases.push_back({"stereo at 48 kbit/s", pair, 44100});
    pair.nBitrateIndex = 14;
    pair.nMode = 3;  // 384 kbit/s in a single channel
    cases.push_back({"single channel at 384 kbit/s", pair, 44100});

    for (const CCase& test : cases) {
        SCOPED_TRACE(std::string(test.pszName) + ", layer " + std::to_string(test.shape.nLayer) +
                     ", " + std::to_string(test.nSampleRate) + " Hz");
        const CDecoded decoded = Decode(BuildStream(Loud(test.shape), 20));
        ASSERT_TRUE(decoded.bInitialized);
        EXPECT_EQ(decoded.format.nSampleRate, test.nSampleRate);
        EXPECT_EQ(decoded.nFrames, 20);
        EXPECT_EQ(decoded.nSamples[0].size(), 20u * SamplesPerFrame(test.shape.nLayer));
    }
}

TEST(StreamKindsTest, DamagedAndSingleChannelFramesKeepTimeAndBothChannels) {
    CFrameShape stereo = Loud(CFrameShape{});
    stereo.bProtected = true;
    CFrameShape damaged = stereo;
    damaged.bWrongCrc = true;
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 100; ++i) {
        Append(bytes, BuildFrame(i == 10 || i == 50 || i == 90 ? damaged : stereo));
    }
    // Unconcealed, a damaged frame is silence.
    CDecodeChoices plain;
    plain.bConceal = false;
    CDecoded decoded = Decode(bytes, plain);
    EXPECT_EQ(decoded.nFrames, 100);
    ASSERT_EQ(decoded.nSamples[0].size(), 100u * 1152);
    EXPECT_EQ(decoded.nSamples[1].size(), 100u * 1152);
    for (std::size_t i = 50 * 1152; i < 51 * 1152; ++i) {
        ASSERT_EQ(decoded.nSamples[0][i], 0) << i;
    }

    CFrameShape mono = Loud(CFrameShape{});
    mono.nMode = 3;
    bytes = BuildStream(Loud(CFrameShape{}), 5);
    Append(bytes, BuildStream(mono, 5));
    decoded = Decode(bytes);
    ASSERT_EQ(decoded.nChannels, 2);
    ASSERT_EQ(decoded.nSamples[1].size(), 10u * 1152);
    bool bSound = false;
    for (std::size_t i = 5 * 1152; i < 10 * 1152; ++i) {
        ASSERT_EQ(decoded.nSamples[0][i], decoded.nSamples[1][i]) << i;
        bSound = bSound || decoded.nSamples[0][i] != 0;
    }
    EXPECT_TRUE(bSound);
}

}  // namespace
