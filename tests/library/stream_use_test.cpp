// What the command line asks of the stream handle: the tracks of a container
// and the one chosen, the description, tags and failure reason, start
// points, a kept format, and a file decoded on several threads.
#include <corvina/stream.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <span>
#include <string>
#include <tuple>
#include <utility>
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

// A transport stream of two audio tracks, each frame in a PES packet of its
// own; languages and audio types (3: for the visually impaired) as the PMT's
// ISO 639 descriptors tell them.
CBytes TwoTrackTransportStream(const CBytes& first, const CBytes& second, int nFrameBytes) {
    CBytes ts;
    int nCounter[3] = {};
    auto packet = [&](int nPid, bool bStart, const uint8_t* pData, std::size_t nBytes) {
        const std::size_t nAt = ts.size();
        ts.resize(nAt + 188, 0xFF);
        uint8_t* p = ts.data() + nAt;
        p[0] = 0x47;
        p[1] = static_cast<uint8_t>((bStart ? 0x40 : 0) | nPid >> 8);
        p[2] = static_cast<uint8_t>(nPid & 0xFF);
        const std::size_t nStuff = 184 - nBytes;
        p[3] = static_cast<uint8_t>((nStuff > 0 ? 0x30 : 0x10) | (nCounter[nPid & 3]++ & 15));
        if (nStuff > 0) {
            p[4] = static_cast<uint8_t>(nStuff - 1);
            if (nStuff > 1) {
                p[5] = 0;
            }
        }
        std::copy_n(pData, nBytes, p + 4 + nStuff);
    };
    const CBytes pat = {0, 0x00, 0xB0, 13, 0, 1, 0xC1, 0, 0, 0, 1, 0xE1, 0x00, 0, 0, 0, 0};
    packet(0, true, pat.data(), pat.size());
    CBytes pmt = {0, 0x02, 0xB0, 0, 0, 1, 0xC1, 0, 0, 0xE1, 0x01, 0xF0, 0};
    for (const auto& [nPid, pszLanguage, nType] :
         {std::tuple{0x101, "deu", 3}, std::tuple{0x102, "eng", 0}}) {
        pmt.insert(pmt.end(), {0x03, static_cast<uint8_t>(0xE0 | nPid >> 8),
                               static_cast<uint8_t>(nPid & 0xFF), 0xF0, 6, 0x0A, 4});
        pmt.insert(pmt.end(), pszLanguage, pszLanguage + 3);
        pmt.push_back(static_cast<uint8_t>(nType));
    }
    pmt.insert(pmt.end(), 4, 0);
    pmt[3] = static_cast<uint8_t>(pmt.size() - 4);
    packet(0x100, true, pmt.data(), pmt.size());
    const auto nFrame = static_cast<std::size_t>(nFrameBytes);
    for (std::size_t nAt = 0; nAt < first.size(); nAt += nFrame) {
        for (const auto& [nPid, pBytes] : {std::pair{0x101, &first}, std::pair{0x102, &second}}) {
            CBytes pes = {0, 0, 1, 0xC0, 0, 0, 0x80, 0x80, 5, 0x21, 0, 1, 0, 1};
            pes.insert(pes.end(), pBytes->begin() + static_cast<std::ptrdiff_t>(nAt),
                       pBytes->begin() + static_cast<std::ptrdiff_t>(nAt + nFrame));
            pes[4] = static_cast<uint8_t>((pes.size() - 6) >> 8);
            pes[5] = static_cast<uint8_t>((pes.size() - 6) & 0xFF);
            for (std::size_t nPart = 0; nPart < pes.size(); nPart += 184) {
                packet(nPid, nPart == 0, pes.data() + nPart,
                       std::min<std::size_t>(184, pes.size() - nPart));
            }
        }
    }
    return ts;
}

TEST(StreamUseTest, AContainerTellsItsTracksAndDecodesTheOneChosen) {
    // Both at 48 kHz and 128 kbit/s, so their frames are alike in length.
    const CBytes german = BuildStream(Shape(3, 1), 6);
    const CBytes english = BuildStream(Shape(0, 1), 6);
    ASSERT_EQ(german.size(), english.size());
    const CBytes ts = TwoTrackTransportStream(german, english, static_cast<int>(german.size() / 6));

    CStream stream;
    ASSERT_EQ(stream.OpenMemory(ts), EStreamResult::Ok);
    const std::vector<CAudioTrack> tracks = stream.Tracks();
    ASSERT_EQ(tracks.size(), 2u);
    EXPECT_EQ(tracks[0].strLanguage, "deu");
    EXPECT_EQ(tracks[0].kind, CAudioTrack::EKind::VisuallyImpaired);
    EXPECT_EQ(tracks[1].strLanguage, "eng");
    EXPECT_EQ(tracks[1].kind, CAudioTrack::EKind::Main);
    // The default is the track not made for the impaired.
    CFrameNames names;
    ASSERT_EQ(stream.FrameNames(names), EStreamResult::Ok);
    EXPECT_EQ(names.strSampleRate, "48 kHz");
    EXPECT_EQ(names.strMode, "stereo");
    EXPECT_EQ(names.strBitrate, "128 kbit/s");
    EXPECT_EQ(stream.Description().rfind("the memory block is a layer II stereo\n", 0), 0u)
        << stream.Description();

    CStream alone;
    ASSERT_EQ(alone.OpenMemory(german), EStreamResult::Ok);
    const std::vector<int16_t> expected = ReadOut(alone).samples;
    for (const CTrackChoice& choice : {CTrackChoice{1, {}}, CTrackChoice{0, "DEU"}}) {
        stream.SetTrackChoice(choice);
        ASSERT_EQ(stream.OpenMemory(ts), EStreamResult::Ok);
        ASSERT_EQ(stream.FrameNames(names), EStreamResult::Ok);
        EXPECT_EQ(names.strMode, "single channel");
        EXPECT_EQ(ReadOut(stream).samples, expected);
    }
    // A stream that is no container has no list of tracks.
    EXPECT_TRUE(alone.Tracks().empty());
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
