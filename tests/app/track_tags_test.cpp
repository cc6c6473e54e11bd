// The tags of each kind of file as --info and --raw meet them: the stream's
// text stays as it was and the tag lines follow it; hostile tags cost no
// audio.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "tests/support/child_process.h"
#include "tests/support/tagged_files.h"
#include "tests/support/temp_dir.h"

namespace {

const std::string kCorvina = CORVINA_BINARY;

std::string Corvina(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {kCorvina};
    argv.insert(argv.end(), args.begin(), args.end());
    const CChildResult result = RunChild(argv);
    EXPECT_EQ(result.nExitStatus, 0) << result.strErr;
    return result.strOut;
}

std::string Lines(const std::string& strTitle, const std::string& strArtist) {
    return "Title: " + strTitle + "\nArtist: " + strArtist +
           "\nAlbum: First Album\nYear: 1997\nGenre: Folk\nComment: Recorded live\n";
}

// The first nBytes of samples of a WAV file that the wav device wrote (which
// pads them to whole buffers), after its header.
std::string WavSamples(const std::string& strPath, std::size_t nBytes) {
    const std::vector<uint8_t> wav = ReadFileBytes(strPath);
    return wav.size() >= 44 + nBytes ? std::string(wav.begin() + 44, wav.begin() + 44 + nBytes)
                                     : std::string();
}

}  // namespace

TEST(TrackTags, InfoShowsEachKindOfTagAfterTheUnchangedStreamText) {
    CTempDir dir;
    for (const ETagKind eKind :
         {ETagKind::Id3v23, ETagKind::Id3v24, ETagKind::Id3v1, ETagKind::Ape}) {
        const std::string strFile = dir.File("track.mp2");
        std::filesystem::copy_file(CORVINA_SAMPLES_DIR "/corvina-sample.mp2", strFile,
                                   std::filesystem::copy_options::overwrite_existing);
        const std::string strBefore = Corvina({"--info", strFile});
        WriteTaggedSample(strFile, eKind,
                          eKind == ETagKind::Id3v23 ? MakeCover(600) : std::vector<uint8_t>{});
        const std::string strInfo = Corvina({"--info", strFile});
        EXPECT_EQ(strInfo, strBefore + "\n" + Lines(TaggedTitle(eKind), TaggedArtist(eKind)))
            << static_cast<int>(eKind);
        // The leading tag reads the same from a pipe and from a redirected
        // standard input, neither of which has a name to open again.
        if (eKind == ETagKind::Id3v23 || eKind == ETagKind::Id3v24) {
            for (const char* pszCommand :
                 {"cat \"$1\" | \"$0\" --info -", "\"$0\" --info - < \"$1\""}) {
                const CChildResult piped =
                    RunChild({"/bin/sh", "-c", pszCommand, kCorvina, strFile});
                // The stream text names standard input; the tag lines follow.
                const std::size_t nTags = strInfo.find("\n\n");
                ASSERT_NE(piped.strOut.find(strInfo.substr(nTags)), std::string::npos)
                    << pszCommand << piped.strOut << piped.strErr;
            }
        }
    }
    WriteBroadcastWave(dir.File("news.wav"));
    EXPECT_NE(Corvina({"--info", dir.File("news.wav")})
                  .find("\n\nTitle: Morning news\nArtist: Radio Corvina\nYear: 2024-03-01\n"),
              std::string::npos);
}

TEST(TrackTags, MatroskaTagsReachTheInfo) {
    if (!std::filesystem::exists("/usr/bin/ffmpeg")) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    CTempDir dir;
    const std::string strFile = dir.File("tagged.mka");
    ASSERT_EQ(RunChild({"/usr/bin/ffmpeg", "-v", "error", "-i",
                        CORVINA_SAMPLES_DIR "/corvina-sample.mp2", "-c", "copy", "-metadata",
                        "title=Sea Song", "-metadata", "artist=Gulls", strFile})
                  .nExitStatus,
              0);
    EXPECT_NE(Corvina({"--info", strFile}).find("\n\nTitle: Sea Song\nArtist: Gulls\n"),
              std::string::npos);
}

TEST(TrackTags, ATransportStreamNamesItsServiceAndProvider) {
    if (!std::filesystem::exists("/usr/bin/ffmpeg")) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    CTempDir dir;
    const std::string strFile = dir.File("radio.ts");
    ASSERT_EQ(
        RunChild({"/usr/bin/ffmpeg", "-v", "error", "-i", CORVINA_SAMPLES_DIR "/corvina-sample.mp2",
                  "-c", "copy", "-metadata", "service_name=Radio \u00dcn\u00ef", "-metadata",
                  "service_provider=Corvina Test", strFile})
            .nExitStatus,
        0);
    EXPECT_NE(Corvina({"--info", strFile})
                  .find("\n\nService: Radio \u00dcn\u00ef\nProvider: Corvina Test\n"),
              std::string::npos);
}

TEST(TrackTags, ReplayGainScalesThePlayedSamplesAndTheDecodedOnlyWhenAsked) {
    CTempDir dir;
    const std::string strFile = dir.File("quiet.mp2");
    WriteReplayGainSample(strFile, "-6.00 dB");
    const std::string strPcm = Corvina({"--raw", "-", strFile});
    EXPECT_EQ(Corvina({"--raw", "-", strFile, "--replaygain", "off"}), strPcm);
    const auto expectScaled = [&strPcm](const std::string& strScaled) {
        ASSERT_EQ(strScaled.size(), strPcm.size());
        int nWorst = 0;
        for (std::size_t i = 0; i + 1 < strPcm.size(); i += 2) {
            const auto Sample = [](const std::string& strBytes, std::size_t nAt) {
                return static_cast<int16_t>(static_cast<uint8_t>(strBytes[nAt]) |
                                            static_cast<uint8_t>(strBytes[nAt + 1]) << 8);
            };
            const double dWanted = Sample(strPcm, i) * std::pow(10.0, -6.0 / 20.0);
            nWorst = std::max(
                nWorst, static_cast<int>(std::lround(std::fabs(Sample(strScaled, i) - dWanted))));
        }
        EXPECT_LE(nWorst, 1);
    };
    expectScaled(Corvina({"--raw", "-", strFile, "--replaygain", "track"}));
    // The player applies it on every device: the wav device's samples.
    Corvina({"--play", strFile, "--output", "wav:" + dir.File("played.wav"), "--replaygain=track"});
    expectScaled(WavSamples(dir.File("played.wav"), strPcm.size()));
    Corvina({"--play", strFile, "--output", "wav:" + dir.File("plain.wav")});
    EXPECT_TRUE(WavSamples(dir.File("plain.wav"), strPcm.size()) == strPcm);
}

TEST(TrackTags, HostileTagsCostNoAudio) {
    CTempDir dir;
    const std::string strSample = CORVINA_SAMPLES_DIR "/corvina-sample.mp2";
    const std::string strPcm = Corvina({"--raw", "-", strSample});
    // A cover of 5 MB, and an ID3v2 tag that claims more bytes than the file
    // holds in front of the whole stream.
    WriteTaggedSample(dir.File("cover.mp2"), ETagKind::Id3v23, MakeCover(5 << 20));
    std::vector<uint8_t> bytes = {'I', 'D', '3', 3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F};
    const std::vector<uint8_t> sample = ReadFileBytes(strSample);
    bytes.insert(bytes.end(), sample.begin(), sample.end());
    const std::string strLong = dir.Write("long-tag.mp2", bytes);
    for (const std::string& strFile : {dir.File("cover.mp2"), strLong}) {
        EXPECT_TRUE(Corvina({"--raw", "-", strFile}) == strPcm) << strFile;
    }
    EXPECT_NE(Corvina({"--info", dir.File("cover.mp2")}).find("Title: "), std::string::npos);
}
