// The stream information text.
#include <gtest/gtest.h>

#include <memory>

#include "decoder/audio_decoder.h"
#include "decoder/memory_source.h"
#include "tests/support/recording_sink.h"
#include "tests/support/stream_builder.h"

using namespace corvina;

namespace {

class StreamInfoTest : public ::testing::Test {
  protected:
    std::string InfoOf(const CFrameShape& shape, const std::string& strName = "song.mp2") {
        CRecording recording;
        CAudioDecoder decoder(std::make_unique<CMemorySource>(BuildStream(shape, 3)), strName,
                              {{}, {}, RecordingSinkFactory(recording)});
        EXPECT_EQ(decoder.Initialize(), 1);
        return decoder.FormatStreamInfo();
    }
};

TEST_F(StreamInfoTest, DescribesAJointStereoLayerTwoStream) {
    CFrameShape shape;
    shape.nMode = 1;
    shape.nBitrateIndex = 8;
    EXPECT_EQ(InfoOf(shape),
              "song.mp2 is a layer II joint stereo\n"
              " MPEG audio stream without CRC checksums. \n"
              "Its sample frequency is 44.1 kHz at a bitrate of 128 kbit/s.\n"
              "It is an original and is not copyright protected.\n");
}

TEST_F(StreamInfoTest, NamesEveryFieldAsTheHeaderSays) {
    CFrameShape shape;
    shape.nLayer = 1;
    shape.nBitrateIndex = 2;
    shape.nFrequencyIndex = 2;
    shape.nMode = 3;
    shape.bProtected = true;
    shape.nOriginal = 0;
    shape.nCopyright = 1;
    EXPECT_EQ(InfoOf(shape),
              "song.mp2 is a layer I single channel\n"
              " MPEG audio stream with CRC checksums. \n"
              "Its sample frequency is 32 kHz at a bitrate of 64 kbit/s.\n"
              "It is a copy and is copyright protected.\n");
    shape.nBitrateIndex = 1;
    EXPECT_NE(InfoOf(shape).find("at a bitrate of 32 kbis/s."), std::string::npos);
    CFrameShape mono;
    mono.nBitrateIndex = 2;
    mono.nMode = 3;
    mono.nFrequencyIndex = 1;
    EXPECT_NE(InfoOf(mono).find("48 kHz at a bitrate of 48 kbit/s."), std::string::npos);
    CFrameShape dual;
    dual.nMode = 2;
    EXPECT_NE(InfoOf(dual).find("layer II dual channel\n"), std::string::npos);
}

TEST_F(StreamInfoTest, ShowsOnlyTheNameAfterTheLastSlash) {
    CFrameShape shape;
    EXPECT_EQ(InfoOf(shape, "a\\b.mp2").rfind("a\\b.mp2 is a layer II stereo\n", 0), 0u);
    EXPECT_EQ(InfoOf(shape, "/music/x.mp2").rfind("x.mp2 is a layer II stereo\n", 0), 0u);
}

}  // namespace
