// The stream handle: its formats as a stream switches, its warnings with
// their codes, a stream of the library's own source read on and moved in, and
// a fed stream that holds a container.
#include <corvina/stream.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "decoder/memory_source.h"
#include "tests/support/stream_builder.h"

using namespace corvina;

namespace {

CFrameShape Shape(int nMode, int nFrequencyIndex) {
    CFrameShape shape;
    shape.nMode = nMode;
    shape.nFrequencyIndex = nFrequencyIndex;
    shape.SetAll(2, 20, 1, 8);
    return shape;
}

// What a stream gives until it ends: the samples and the formats told.
struct CReadOut {
    std::vector<int16_t> samples;
    std::vector<std::pair<CPcmFormat, std::size_t>> formats;  // and where they start
    EStreamResult eEnd = EStreamResult::Ok;
};

CReadOut ReadOut(CStream& stream) {
    CReadOut out;
    int16_t pcm[700];
    std::size_t nRead = 0;
    for (;;) {
        out.eEnd = stream.Read(pcm, nRead);
        if (out.eEnd == EStreamResult::NewFormat) {
            CPcmFormat format;
            EXPECT_EQ(stream.Format(format), EStreamResult::Ok);
            out.formats.emplace_back(format, out.samples.size());
        } else if (out.eEnd != EStreamResult::Ok) {
            return out;
        }
        out.samples.insert(out.samples.end(), pcm, pcm + nRead);
    }
}

TEST(StreamTest, FormatSwitchesComeAsNewFormatsWithTheirWarningCodes) {
    std::vector<uint8_t> bytes = BuildStream(Shape(0, 0), 3);
    Append(bytes, BuildStream(Shape(3, 2), 2));
    CStream stream;
    std::vector<std::pair<EDecoderWarning, std::string>> warnings;
    stream.SetWarningHandler([&warnings](EDecoderWarning eWarning, const std::string& strText) {
        warnings.emplace_back(eWarning, strText);
    });
    ASSERT_EQ(stream.OpenMemory(bytes), EStreamResult::Ok);
    EXPECT_EQ(stream.Length(), 5 * 1152);
    const CReadOut out = ReadOut(stream);
    EXPECT_EQ(out.eEnd, EStreamResult::Done);
    ASSERT_EQ(out.formats.size(), 2u);
    EXPECT_EQ(out.formats[0].first.nRate, 44100);
    EXPECT_EQ(out.formats[0].first.nChannels, 2);
    EXPECT_EQ(out.formats[1].first.nRate, 32000);
    EXPECT_EQ(out.formats[1].first.nChannels, 1);
    EXPECT_EQ(out.formats[1].second, 3u * 1152 * 2);
    EXPECT_EQ(out.samples.size(), 3u * 1152 * 2 + 2 * 1152);
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_EQ(warnings[0].first, WARN_MODE_FOLLOWED);
    EXPECT_EQ(warnings[1].first, WARN_RATE_FOLLOWED);
    for (const auto& [eWarning, strText] : warnings) {
        EXPECT_EQ(strText.find('\n'), std::string::npos) << strText;
        EXPECT_EQ(strText.find("WARNING"), std::string::npos) << strText;
    }
}

TEST(StreamTest, ASourceThatCannotSeekIsReadOnAndAnEndedStreamMovesBack) {
    const std::vector<uint8_t> bytes = BuildStream(Shape(0, 1), 6);
    CStream whole;
    ASSERT_EQ(whole.OpenMemory(bytes), EStreamResult::Ok);
    const std::vector<int16_t> expected = ReadOut(whole).samples;
    ASSERT_EQ(expected.size(), 6u * 1152 * 2);
    // Past the end and back: the ended stream starts over for the move.
    EXPECT_EQ(whole.Seek(3000), EStreamResult::Ok);
    EXPECT_EQ(ReadOut(whole).samples,
              std::vector<int16_t>(expected.begin() + 3000 * 2, expected.end()));

    CStream piped;
    ASSERT_EQ(piped.OpenSource(std::make_unique<CMemorySource>(bytes, false), "pipe"),
              EStreamResult::Ok);
    EXPECT_EQ(piped.Length(), -1);
    EXPECT_EQ(piped.Seek(2000), EStreamResult::Ok);
    EXPECT_EQ(ReadOut(piped).samples,
              std::vector<int16_t>(expected.begin() + 2000 * 2, expected.end()));
    // It cannot go back, nor open again.
    EXPECT_LT(static_cast<int>(piped.Seek(0)), 0);
}

TEST(StreamTest, AFedWaveFileGivesItsFramesAndUnopenableFilesAreTold) {
    const std::vector<uint8_t> frames = BuildStream(Shape(3, 2), 4);
    // A WAVE file whose data chunk holds MPEG audio (format 0x50).
    std::vector<uint8_t> wave;
    auto put = [&wave](uint32_t dwValue, int nBytes) {
        for (int i = 0; i < nBytes; ++i) {
            wave.push_back(static_cast<uint8_t>(dwValue >> (8 * i)));
        }
    };
    auto tag = [&put](const char* psz) {
        put(static_cast<uint32_t>(psz[0] | psz[1] << 8 | psz[2] << 16 | psz[3] << 24), 4);
    };
    tag("RIFF");
    put(static_cast<uint32_t>(4 + 8 + 16 + 8 + frames.size()), 4);
    tag("WAVE");
    tag("fmt ");
    put(16, 4);
    put(0x50, 2);
    put(1, 2);
    put(32000, 4);
    put(4000, 4);
    put(1, 2);
    put(0, 2);
    tag("data");
    put(static_cast<uint32_t>(frames.size()), 4);
    Append(wave, frames);

    CStream fed;
    ASSERT_EQ(fed.OpenFeed(), EStreamResult::Ok);
    CReadOut out;
    for (std::size_t nAt = 0; nAt < wave.size(); nAt += 100) {
        ASSERT_EQ(
            fed.Feed(std::span(wave).subspan(nAt, std::min<std::size_t>(100, wave.size() - nAt))),
            EStreamResult::Ok);
        CReadOut part = ReadOut(fed);
        // The data chunk tells where the audio ends: its last byte ends it.
        ASSERT_EQ(part.eEnd,
                  nAt + 100 < wave.size() ? EStreamResult::NeedMore : EStreamResult::Done);
        out.samples.insert(out.samples.end(), part.samples.begin(), part.samples.end());
    }
    fed.EndFeed();
    const CReadOut rest = ReadOut(fed);
    EXPECT_EQ(rest.eEnd, EStreamResult::Done);
    out.samples.insert(out.samples.end(), rest.samples.begin(), rest.samples.end());
    EXPECT_EQ(out.samples.size(), 4u * 1152);
    EXPECT_EQ(fed.Seek(0), EStreamResult::ErrSeek);
    EXPECT_EQ(fed.Length(), -1);
    // Opened again while its decoder waits for bytes: that one ends first.
    ASSERT_EQ(fed.OpenFeed(), EStreamResult::Ok);
    fed.Feed(std::span(wave).first(wave.size() / 2));
    EXPECT_EQ(ReadOut(fed).eEnd, EStreamResult::NeedMore);
    ASSERT_EQ(fed.OpenMemory(wave), EStreamResult::Ok);
    EXPECT_EQ(ReadOut(fed).samples, out.samples);

    std::vector<EDecoderWarning> codes;
    CStream missing;
    missing.SetWarningHandler(
        [&codes](EDecoderWarning eWarning, const std::string&) { codes.push_back(eWarning); });
    EXPECT_EQ(missing.OpenFile("/nonexistent/stream.mp2"), EStreamResult::ErrOpen);
    EXPECT_EQ(codes, std::vector<EDecoderWarning>{WARN_INPUT});
    std::size_t nRead = 0;
    int16_t pcm[4];
    EXPECT_EQ(missing.Read(pcm, nRead), EStreamResult::ErrArgument);
}

}  // namespace
