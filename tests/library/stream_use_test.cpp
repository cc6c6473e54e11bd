// What the command line asks of the stream handle: the tracks and frames of a
// real stream, the dual-channel choice, the description, tags and failure
// reason, start points, a kept format, and a file decoded on several threads.
#include <corvina/stream.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "decoder/memory_source.h"
#include "decoder/track_info.h"
#include "tests/support/stream_builder.h"
#include "tests/support/temp_dir.h"

using namespace corvina;

namespace {

using CBytes = std::vector<uint8_t>;

CFrameShape Shape(int nMode, int nFrequencyIndex, int nScalefactor = 20) {
    CFrameShape shape;
    shape.nMode = nMode;
    shape.nFrequencyIndex = nFrequencyIndex;
    shape.SetAll(2, nScalefactor, 1, 8);
    return shape;
}

// The samples a stream gives to its end, and the formats it tells.
struct CReadOut {
    std::vector<int16_t> samples;
    std::vector<CPcmFormat> formats;
    EStreamResult eEnd = EStreamResult::Ok;
};

CReadOut ReadOut(CStream& stream) {
    CReadOut out;
    std::vector<int16_t> pcm(5000);
    std::size_t nRead = 0;
    for (;;) {
        out.eEnd = stream.Read(pcm, nRead);
        if (out.eEnd == EStreamResult::NewFormat) {
            out.formats.emplace_back();
            EXPECT_EQ(stream.Format(out.formats.back()), EStreamResult::Ok);
        } else if (out.eEnd != EStreamResult::Ok) {
            return out;
        }
        out.samples.insert(out.samples.end(), pcm.begin(), pcm.begin() + nRead);
    }
}

const std::string kStreams = std::string(CORVINA_SOURCE_DIR) + "/tests/streams/";

TEST(StreamUseTest, ARealStreamTellsItsTracksAndFramesAndTakesTheDualChoice) {
    CStream stream;
    ASSERT_EQ(stream.OpenFile(kStreams + "ffmpeg-stereo-48k.ts"), EStreamResult::Ok);
    const std::vector<CAudioTrack> tracks = stream.Tracks();
    ASSERT_EQ(tracks.size(), 1u);
    EXPECT_EQ(tracks[0].strLanguage, "");
    EXPECT_EQ(tracks[0].kind, CAudioTrack::EKind::Main);
    CFrameNames names;
    ASSERT_EQ(stream.FrameNames(names), EStreamResult::Ok);
    EXPECT_EQ(names.strSampleRate, "48 kHz");
    EXPECT_EQ(names.strMode, "stereo");
    EXPECT_EQ(names.strBitrate, "48 kbit/s");
    EXPECT_EQ(stream.Description(),
              "ffmpeg-stereo-48k.ts is a layer II stereo\n MPEG audio stream without CRC "
              "checksums. \nIts sample frequency is 48 kHz at a bitrate of 48 kbit/s.\nIt is an "
              "original and is not copyright protected.\n");

    // The second programme of a dual-channel stream on both sides.
    const std::string strDual = kStreams + "twolame-48k-dual-192k.mp2";
    ASSERT_EQ(stream.OpenFile(strDual), EStreamResult::Ok);
    EXPECT_TRUE(stream.Tracks().empty());
    const std::vector<int16_t> both = ReadOut(stream).samples;
    stream.SetDecodeChoices({true, EDualChannel::Second});
    ASSERT_EQ(stream.OpenFile(strDual), EStreamResult::Ok);
    const std::vector<int16_t> second = ReadOut(stream).samples;
    ASSERT_EQ(second.size(), both.size());
    ASSERT_FALSE(both.empty());
    std::size_t nDiffering = 0;
    for (std::size_t i = 0; i < both.size(); i += 2) {
        nDiffering += second[i] != both[i + 1] || second[i + 1] != both[i + 1];
    }
    EXPECT_EQ(nDiffering, 0u);
    EXPECT_NE(both, second);
}

TEST(StreamUseTest, WhatPlaysAndWhyNothingDoes) {
    CTempDir dir;
    const std::string strPath = dir.Write("tagged.mp2", BuildStream(Shape(0, 0), 3));
    SetTagReader([](const std::string&, CTrackInfo& info) {
        info.strTitle = "Title";
        info.replayGain.dTrackGain = -6.0;
    });
    CStream stream;
    EXPECT_EQ(stream.OpenFile(strPath), EStreamResult::Ok);
    SetTagReader(nullptr);
    EXPECT_EQ(stream.TrackInfo().strTitle, "Title");
    EXPECT_NEAR(ReplayGainFactor(stream.TrackInfo().replayGain, EReplayGain::Track), 0.5, 0.01);
    EXPECT_EQ(stream.Description().rfind("tagged.mp2 is a layer II", 0), 0u);
    EXPECT_TRUE(stream.FailureReason().empty());

    CFrameShape layer3;
    layer3.nLayer = 3;
    EXPECT_EQ(stream.OpenMemory(BuildStream(layer3, 8)), EStreamResult::ErrNoStream);
    EXPECT_NE(stream.FailureReason().find("Layer III"), std::string::npos)
        << stream.FailureReason();
    EXPECT_TRUE(stream.TrackInfo().strTitle.empty());
    EXPECT_TRUE(stream.Description().empty());
    CFrameNames names;
    EXPECT_EQ(stream.FrameNames(names), EStreamResult::ErrNoStream);
    EXPECT_EQ(stream.OpenFile(dir.File("missing.mp2")), EStreamResult::ErrOpen);
    EXPECT_EQ(stream.MoveToStart({1.0, false}), EStreamResult::ErrArgument);
}

TEST(StreamUseTest, StartPointsInSecondsOrPercentAndAKeptFormat) {
    CBytes bytes = BuildStream(Shape(0, 1, 10), 5);
    Append(bytes, BuildStream(Shape(0, 1, 30), 5));
    CStream whole;
    ASSERT_EQ(whole.OpenMemory(bytes), EStreamResult::Ok);
    EXPECT_NEAR(whole.PlayingTime(), 10 * 1152 / 48000.0, 1e-6);
    const std::vector<int16_t> all = ReadOut(whole).samples;
    ASSERT_EQ(all.size(), 10u * 1152 * 2);
    auto From = [&all](std::size_t nSample) {
        return std::vector<int16_t>(all.begin() + static_cast<std::ptrdiff_t>(2 * nSample),
                                    all.end());
    };
    // Read to its end, the stream moves again from its start.
    EXPECT_EQ(whole.MoveToStart({40.0, true}), EStreamResult::Ok);
    EXPECT_EQ(ReadOut(whole).samples, From(4 * 1152));
    EXPECT_EQ(whole.MoveToStart({0.05, false}), EStreamResult::Ok);
    EXPECT_EQ(ReadOut(whole).samples, From(2400));
    EXPECT_EQ(whole.MoveToStart({100.0, true}), EStreamResult::Done);

    // A pipe reads on to seconds but has no playing time to take a
    // percentage of: it stays at its start.
    CStream piped;
    ASSERT_EQ(piped.OpenSource(std::make_unique<CMemorySource>(bytes, false), "pipe"),
              EStreamResult::Ok);
    EXPECT_EQ(piped.MoveToStart({50.0, true}), EStreamResult::ErrSeek);
    EXPECT_EQ(piped.MoveToStart({0.05, false}), EStreamResult::Ok);
    EXPECT_EQ(ReadOut(piped).samples, From(2400));

    // A stream that goes single channel keeps two channels where asked.
    Append(bytes, BuildStream(Shape(3, 1), 2));
    CStream kept;
    kept.SetKeepFormat(true);
    std::vector<EDecoderWarning> warnings;
    kept.SetWarningHandler([&warnings](EDecoderWarning eWarning, const std::string&) {
        warnings.push_back(eWarning);
    });
    ASSERT_EQ(kept.OpenMemory(bytes), EStreamResult::Ok);
    const CReadOut out = ReadOut(kept);
    ASSERT_EQ(out.formats.size(), 1u);
    EXPECT_EQ(out.formats[0].nChannels, 2);
    EXPECT_EQ(out.samples.size(), 12u * 1152 * 2);
    EXPECT_EQ(warnings, std::vector<EDecoderWarning>{WARN_MODE_SWITCH});
}

// A read fills the buffer up to a change of format; what the decoder says of
// the frames in the new format comes after the caller heard of it.
TEST(StreamUseTest, AReadStopsAtANewFormatAndItsWarningsComeAfterIt) {
    CBytes bytes = BuildStream(Shape(0, 1), 3);
    Append(bytes, BuildStream(Shape(3, 1), 2));
    CStream stream;
    std::vector<std::string> events;
    stream.SetWarningHandler([&events](EDecoderWarning eWarning, const std::string&) {
        events.push_back("warning " + std::to_string(eWarning));
    });
    ASSERT_EQ(stream.OpenMemory(bytes), EStreamResult::Ok);
    std::vector<int16_t> pcm(100000);
    std::size_t nRead = 0;
    for (EStreamResult eResult; (eResult = stream.Read(pcm, nRead)) == EStreamResult::Ok ||
                                eResult == EStreamResult::NewFormat;) {
        events.push_back(eResult == EStreamResult::NewFormat ? "format"
                                                             : "samples " + std::to_string(nRead));
    }
    EXPECT_EQ(events, (std::vector<std::string>{"format", "samples 6912", "format",
                                                "warning " + std::to_string(WARN_MODE_FOLLOWED),
                                                "samples 2304"}));
}

TEST(StreamUseTest, AFileOnSeveralThreadsGivesWhatReadGives) {
    // Two segments and a half, each frame unlike its neighbours.
    CBytes bytes;
    for (int i = 0; i < 640; ++i) {
        Append(bytes, BuildFrame(Shape(0, 1, 5 + i % 40)));
    }
    CTempDir dir;
    const std::string strPath = dir.Write("long.mp2", bytes);
    CStream one;
    ASSERT_EQ(one.OpenFile(strPath), EStreamResult::Ok);
    ASSERT_EQ(one.MoveToStart({1.5, false}), EStreamResult::Ok);
    const std::vector<int16_t> expected = ReadOut(one).samples;
    EXPECT_FALSE(one.CanSplit());

    CStream split;
    ASSERT_EQ(split.OpenFile(strPath), EStreamResult::Ok);
    ASSERT_EQ(split.MoveToStart({1.5, false}), EStreamResult::Ok);
    ASSERT_TRUE(split.CanSplit());
    std::vector<int16_t> got;
    int nBlocks = 0;
    ASSERT_EQ(
        split.DecodeOnThreads(3,
                              [&](std::span<const int16_t> samples, const CPcmFormat& format) {
                                  EXPECT_EQ(format.nRate, 48000);
                                  EXPECT_EQ(format.nChannels, 2);
                                  got.insert(got.end(), samples.begin(), samples.end());
                                  ++nBlocks;
                                  return true;
                              }),
        EStreamResult::Ok);
    EXPECT_TRUE(got == expected) << got.size() << " samples for " << expected.size();
    EXPECT_GE(nBlocks, 3);
    std::size_t nRead = 0;
    int16_t pcm[16];
    EXPECT_EQ(split.Read(pcm, nRead), EStreamResult::Done);

    // A writer that says stop gets no more.
    ASSERT_EQ(split.OpenFile(strPath), EStreamResult::Ok);
    nBlocks = 0;
    EXPECT_EQ(split.DecodeOnThreads(2,
                                    [&nBlocks](std::span<const int16_t>, const CPcmFormat&) {
                                        ++nBlocks;
                                        return false;
                                    }),
              EStreamResult::Ok);
    EXPECT_EQ(nBlocks, 1);
    EXPECT_EQ(split.DecodeOnThreads(2, {}), EStreamResult::ErrArgument);
}

}  // namespace
