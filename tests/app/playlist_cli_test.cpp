// corvina --play with playlist files: their entries play in order into one
// WAV file, whatever the names hold, and what cannot be played is told.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/child_process.h"
#include "tests/support/pcm_samples.h"
#include "tests/support/temp_dir.h"

namespace {

const std::string kCorvina = CORVINA_BINARY;

class PlaylistCliTest : public testing::Test {
  protected:
    // The sample's first bytes as a stream of its own, named strName.
    std::string Cut(std::size_t nBytes, const std::string& strName) {
        std::vector<uint8_t> bytes =
            ReadFileBytes(std::string(CORVINA_SAMPLES_DIR) + "/corvina-sample.mp2");
        bytes.resize(nBytes);
        return m_dir.Write(strName, bytes);
    }
    std::string WriteText(const std::string& strName, const std::string& strText) {
        std::ofstream(m_dir.File(strName), std::ios::binary) << strText;
        return m_dir.File(strName);
    }
    // What the streams give, one after the other, as the WAV device holds it.
    static std::vector<int16_t> Expected(const std::vector<std::string>& streams) {
        std::vector<int16_t> expected;
        for (const std::string& strStream : streams) {
            const std::vector<int16_t> pcm = PaddedToBuffers(DecodedPcm(strStream), 2);
            expected.insert(expected.end(), pcm.begin(), pcm.end());
        }
        return expected;
    }
    CChildResult Play(const std::vector<std::string>& args) {
        std::vector<std::string> all{kCorvina, "--output=wav:" + m_dir.File("out.wav")};
        all.insert(all.end(), args.begin(), args.end());
        return RunChild(all, 60000);
    }

    CTempDir m_dir;
};

}  // namespace

TEST_F(PlaylistCliTest, RelativeEntriesPlayInOrderAndAMissingOneIsNamedWithStatusOne) {
    std::filesystem::create_directories(m_dir.Path() / "disc");
    const std::string strFirst = Cut(9000, "disc/b.mp2");
    const std::string strSecond = Cut(5000, "a.mp2");
    WriteText("list.m3u", "#EXTM3U\r\n#EXTINF:2,B\r\ndisc/b.mp2\r\nnot-there.mp2\r\n\r\na.mp2\r\n");
    const CChildResult result = Play({"--play", m_dir.File("list.m3u")});
    EXPECT_EQ(result.nExitStatus, 1);
    EXPECT_NE(result.strErr.find("not-there.mp2"), std::string::npos) << result.strErr;
    EXPECT_EQ(
        FirstDifference(ReadWav(m_dir.File("out.wav")).samples, Expected({strFirst, strSecond})),
        -1);
}

TEST_F(PlaylistCliTest, PlsAndM3u8WithNonAsciiNamesPlayAndSoDoListsOfAnyName) {
    const std::string strFirst = Cut(6000, "Dvořák – Largo.mp2");
    const std::string strSecond = Cut(4000, "日本語.mp2");
    WriteText("Ünïcode.pls",
              "[playlist]\nFile1=Dvořák – Largo.mp2\nTitle1=Largo\nFile2=" +
                  ("file://" + m_dir.Path().string() + "/%E6%97%A5%E6%9C%AC%E8%AA%9E.mp2") +
                  "\nNumberOfEntries=2\n");
    WriteText("liste.m3u8", "日本語.mp2\n");
    WriteText("songs.txt", "Dvořák – Largo.mp2\n");
    const CChildResult result = Play({"--play", m_dir.File("Ünïcode.pls"), m_dir.File("liste.m3u8"),
                                      "-@", m_dir.File("songs.txt")});
    EXPECT_EQ(result.nExitStatus, 0) << result.strErr;
    EXPECT_EQ(result.strErr, "");
    EXPECT_EQ(FirstDifference(ReadWav(m_dir.File("out.wav")).samples,
                              Expected({strFirst, strSecond, strSecond, strFirst})),
              -1);

    // An address that does not answer is told, with the reason, and counts as
    // unplayed.
    WriteText("radio.m3u", "http://127.0.0.1:9/stream\n日本語.mp2\n");
    const CChildResult radio = Play({"--play", m_dir.File("radio.m3u")});
    EXPECT_EQ(radio.nExitStatus, 1);
    EXPECT_NE(radio.strErr.find("http://127.0.0.1:9/stream"), std::string::npos) << radio.strErr;
    EXPECT_NE(radio.strErr.find("Connection refused"), std::string::npos) << radio.strErr;
}
