// Containers that libavformat reads, made here by ffmpeg around one Layer II
// stream: corvina decodes the track in each as mpg123 decodes the stream that
// ffmpeg copies out of it, from files and from a pipe; containers without
// such a track and other kinds of audio are refused with the reason.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/pcm_samples.h"

namespace {

namespace fs = std::filesystem;

const char kFfmpeg[] = "/usr/bin/ffmpeg";
const char kMpg123[] = "/usr/bin/mpg123";
// Interleaved samples of two Layer II frames in stereo.
constexpr long kTwoFrames = 2 * 1152 * 2;

std::vector<int16_t> Pcm(const std::string& strBytes) {
    return RawSamples(std::vector<uint8_t>(strBytes.begin(), strBytes.end()));
}

class FormatContainersTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!fs::exists(kFfmpeg) || !fs::exists(kMpg123)) {
            return;
        }
        s_dir = fs::temp_directory_path() / ("corvina-containers-" + std::to_string(getpid()));
        fs::create_directories(s_dir);
        const std::string sine = "sine=frequency=440:duration=1:sample_rate=48000";
        const std::string video = "testsrc=duration=1:size=32x24:rate=5";
        Make({"-f", "lavfi", "-i", sine, "-ac", "2", "-c:a", "mp2", "-b:a", "192k", "-f", "mp2",
              Path("source.mp2")});
        const auto withVideo = [&video](const char* pszCodec, const std::string& strOut) {
            Make({"-f", "lavfi", "-i", video, "-i", Path("source.mp2"), "-c:v", pszCodec, "-c:a",
                  "copy", strOut});
        };
        const auto audioOnly = [](const std::string& strFormat, const std::string& strOut) {
            Make({"-i", Path("source.mp2"), "-c", "copy", "-f", strFormat, strOut});
        };
        audioOnly("matroska", Path("audio.mka"));
        audioOnly("nut", Path("audio.nut"));
        audioOnly("avi", Path("audio.avi"));
        // Chosen by content: a Matroska file named as a raw stream.
        audioOnly("matroska", Path("matroska.mp2"));
        withVideo("mpeg2video", Path("video.mkv"));
        withVideo("mpeg4", Path("video.avi"));
        withVideo("mpeg4", Path("video.mp4"));
        withVideo("mpeg4", Path("video.mov"));
        withVideo("mpeg4", Path("video.asf"));
        // Eight seconds of video: the index at the end stands beyond what a
        // pipe's reader keeps.
        Make({"-f", "lavfi", "-i", "testsrc=duration=8:size=160x120:rate=10", "-i",
              Path("source.mp2"), "-c:v", "mpeg4", "-c:a", "copy", Path("long.mp4")});
        Make({"-i", Path("long.mp4"), "-c", "copy", "-movflags", "+faststart",
              Path("faststart.mp4")});
        Make({"-f", "lavfi", "-i", video, "-f", "lavfi", "-i", sine, "-c:v", "mpeg4", "-c:a", "aac",
              Path("aac-video.mkv")});
        Make({"-f", "lavfi", "-i", sine, "-c:a", "aac", Path("aac-only.mkv")});
        Make({"-f", "lavfi", "-i", sine, "-c:a", "aac", "-f", "adts", Path("adts.aac")});
        Make({"-f", "lavfi", "-i", sine, "-c:a", "libmp3lame", "-f", "mp3", Path("layer3.mp2")});
        // Two tracks, German and English, the German one made for the
        // visually impaired in one of them.
        Make({"-f",
              "lavfi",
              "-i",
              sine,
              "-f",
              "lavfi",
              "-i",
              "sine=frequency=1000:duration=1:sample_rate=48000",
              "-map",
              "0",
              "-map",
              "1",
              "-c:a",
              "mp2",
              "-b:a",
              "192k",
              "-metadata:s:a:0",
              "language=deu",
              "-metadata:s:a:1",
              "language=eng",
              "-disposition:a:0",
              "visual_impaired",
              Path("two-vi.ts")});
        Make({"-i", Path("two-vi.ts"), "-map", "0", "-c", "copy", "-disposition:a:0", "0",
              Path("two.ts")});
        Make({"-i", Path("two-vi.ts"), "-map", "0", "-c", "copy", Path("two-vi.mka")});
        for (const char* pszTrack : {"0", "1"}) {
            Make({"-i", Path("two-vi.ts"), "-map", std::string("0:a:") + pszTrack, "-c", "copy",
                  "-f", "mp2", Path(std::string("track") + pszTrack + ".mp2")});
        }
    }
    static void TearDownTestSuite() {
        if (!s_dir.empty()) {
            fs::remove_all(s_dir);
        }
    }
    void SetUp() override {
        if (s_dir.empty()) {
            GTEST_SKIP() << "ffmpeg or mpg123 is not installed";
        }
    }
    static std::string Path(const std::string& strName) { return (s_dir / strName).string(); }
    static void Make(std::vector<std::string> args) {
        args.insert(args.begin(), {kFfmpeg, "-v", "error", "-y", "-bitexact"});
        const CChildResult result = RunChild(args);
        ASSERT_EQ(result.nExitStatus, 0) << result.strErr;
    }
    static CChildResult Decode(const std::string& strFile) {
        return RunChild({CORVINA_BINARY, "--raw", "-", strFile});
    }

    static inline fs::path s_dir;
};

TEST_F(FormatContainersTest, DecodeTheTrackAsMpg123DecodesTheStreamCopiedOut) {
    for (const char* pszName : {"audio.mka", "audio.nut", "audio.avi", "matroska.mp2", "video.mkv",
                                "video.avi", "video.mp4", "video.mov", "video.asf"}) {
        SCOPED_TRACE(pszName);
        const std::string strCopy = Path(std::string(pszName) + ".copy.mp2");
        Make({"-i", Path(pszName), "-map", "0:a:0", "-c:a", "copy", "-f", "mp2", strCopy});
        const std::vector<int16_t> expected = Pcm(RunChild({kMpg123, "-q", "-s", strCopy}).strOut);
        ASSERT_FALSE(expected.empty());
        const CChildResult result = Decode(Path(pszName));
        EXPECT_EQ(result.nExitStatus, 0);
        EXPECT_EQ(result.strErr, "");
        const std::vector<int16_t> actual = Pcm(result.strOut);
        EXPECT_LE(std::labs(static_cast<long>(actual.size()) - static_cast<long>(expected.size())),
                  kTwoFrames);
        int nMax = 0;
        for (std::size_t i = 0; i < std::min(actual.size(), expected.size()); ++i) {
            nMax = std::max(nMax, std::abs(actual[i] - expected[i]));
        }
        EXPECT_LE(nMax, 1);
    }
}

// A start by the container's seek gives the whole decode from its sample on:
// at a frame boundary (0.288 s, frame 12) and inside a frame.
TEST_F(FormatContainersTest, StartsGiveTheWholeDecodesSamplesFromTheirSample) {
    for (const char* pszName : {"audio.mka", "video.mkv", "video.mp4", "audio.nut"}) {
        const std::string strWhole = Decode(Path(pszName)).strOut;
        for (const auto& [pszStart, nSample] :
             {std::pair{"0.288", 13824}, std::pair{"0.5", 24000}}) {
            SCOPED_TRACE(std::string(pszName) + " from " + pszStart);
            const CChildResult result =
                RunChild({CORVINA_BINARY, "--start", pszStart, "--raw", "-", Path(pszName)});
            EXPECT_EQ(result.nExitStatus, 0) << result.strErr;
            ASSERT_GT(strWhole.size(), static_cast<std::size_t>(nSample) * 4);
            EXPECT_TRUE(result.strOut == strWhole.substr(static_cast<std::size_t>(nSample) * 4));
        }
    }
}

// The default track is the first not made for the impaired; --track and
// --audio-lang choose; --info lists both; a track past the last is refused.
TEST_F(FormatContainersTest, TracksAreChosenByNumberLanguageAndKind) {
    const std::string strGerman = Decode(Path("track0.mp2")).strOut;
    const std::string strEnglish = Decode(Path("track1.mp2")).strOut;
    ASSERT_FALSE(strGerman.empty());
    ASSERT_NE(strGerman, strEnglish);
    const struct {
        const char* pszFile;
        std::vector<std::string> options;
        const std::string& strExpected;
    } kCases[] = {
        {"two.ts", {}, strGerman},
        {"two-vi.ts", {}, strEnglish},
        {"two-vi.mka", {}, strEnglish},
        {"two.ts", {"--track", "2"}, strEnglish},
        {"two-vi.ts", {"--track=1"}, strGerman},
        {"two.ts", {"--audio-lang", "eng"}, strEnglish},
        {"two-vi.mka", {"--audio-lang", "deu"}, strGerman},
    };
    for (const auto& test : kCases) {
        std::vector<std::string> args = {CORVINA_BINARY};
        args.insert(args.end(), test.options.begin(), test.options.end());
        args.insert(args.end(), {"--raw", "-", Path(test.pszFile)});
        const CChildResult result = RunChild(args);
        EXPECT_EQ(result.nExitStatus, 0) << test.pszFile << result.strErr;
        EXPECT_TRUE(result.strOut == test.strExpected)
            << test.pszFile << " " << (test.options.empty() ? "" : test.options.back());
    }
    const CChildResult info = RunChild({CORVINA_BINARY, "--info", Path("two-vi.ts")});
    EXPECT_NE(info.strOut.find("Track 1: deu, visually impaired, 48 kHz, single channel, 192 "
                               "kbit/s.\nTrack 2: eng, main, 48 kHz, single channel, 192 kbit/s."),
              std::string::npos)
        << info.strOut;
    const CChildResult past =
        RunChild({CORVINA_BINARY, "--track", "3", "--raw", "-", Path("two.ts")});
    EXPECT_EQ(past.nExitStatus, 1);
    EXPECT_NE(past.strErr.find("holds 2 Layer I or II tracks; there is no track 3"),
              std::string::npos)
        << past.strErr;
}

TEST_F(FormatContainersTest, DecodeFromAPipeAsFromTheFile) {
    const auto FromPipe = [](const std::string& strFile) {
        return RunChild(
            {"/bin/sh", "-c", "cat \"$0\" | \"$1\" --raw - -", strFile, CORVINA_BINARY});
    };
    for (const char* pszName : {"video.mkv", "faststart.mp4"}) {
        const CChildResult fromFile = Decode(Path(pszName));
        const CChildResult fromPipe = FromPipe(Path(pszName));
        EXPECT_EQ(fromPipe.nExitStatus, 0) << pszName;
        EXPECT_EQ(fromPipe.strErr, "") << pszName;
        EXPECT_FALSE(fromPipe.strOut.empty()) << pszName;
        EXPECT_EQ(fromPipe.strOut, fromFile.strOut) << pszName;
    }
    // An MP4 file as ffmpeg writes it by default has its index at the end,
    // after the packets a pipe has passed by then.
    const CChildResult late = FromPipe(Path("long.mp4"));
    EXPECT_EQ(late.nExitStatus, 1);
    EXPECT_NE(late.strErr.find("index after the media"), std::string::npos) << late.strErr;
}

TEST_F(FormatContainersTest, SayWhatTheFileHoldsInsteadOfLayerIOrII) {
    const struct {
        const char* pszName;
        std::string strReason;
    } kCases[] = {
        {"aac-only.mkv",
         Path("aac-only.mkv") + " holds no MPEG audio Layer I or II track (it holds AAC audio)"},
        {"aac-video.mkv", Path("aac-video.mkv") + " holds no MPEG audio Layer I or II track (it "
                                                  "holds MPEG-4 video and AAC audio)"},
        {"adts.aac", "It is AAC audio."},
        {"layer3.mp2", "It is an MPEG-1 Layer III (MP3) stream; Corvina plays Layers I and II."},
    };
    for (const auto& test : kCases) {
        SCOPED_TRACE(test.pszName);
        const CChildResult result = Decode(Path(test.pszName));
        EXPECT_EQ(result.nExitStatus, 1);
        EXPECT_EQ(result.strOut, "");
        EXPECT_EQ(result.strErr, "corvina: " + Path(test.pszName) + ": Invalid Audio Stream. " +
                                     test.strReason + "\n");
    }
}

}  // namespace
