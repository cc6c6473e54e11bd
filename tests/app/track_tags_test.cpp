// The tags of each kind of file as --info and --raw meet them: the stream's
// text stays as it was and the tag lines follow it; hostile tags cost no
// audio.
#include <gtest/gtest.h>

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
        EXPECT_EQ(Corvina({"--info", strFile}),
                  strBefore + "\n" + Lines(TaggedTitle(eKind), TaggedArtist(eKind)))
            << static_cast<int>(eKind);
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
