// The queue and what fills it: playlist files, the natural order of a
// folder's names, and the document going through its entries.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "platform/wave_device.h"
#include "player/corvina_doc.h"
#include "player/folder_listing.h"
#include "player/playlist_file.h"
#include "resources/resource_ids.h"
#include "tests/player/player_test_support.h"
#include "tests/support/recording_presenter.h"
#include "tests/support/temp_dir.h"

namespace {

std::vector<std::string> Paths(const std::vector<CQueueEntry>& entries) {
    std::vector<std::string> paths;
    for (const CQueueEntry& entry : entries) {
        paths.push_back(entry.strPath);
    }
    return paths;
}

}  // namespace

TEST(PlaylistFile, M3uTakesTitlesCommentsLineEndsAndEveryKindOfLocation) {
    const CPlaylist playlist = ParsePlaylist(
        "\xEF\xBB\xBF#EXTM3U\r\n"
        "#EXTINF:123,Artist - Song\r\n"
        "one.mp2\r\n"
        "\r\n"
        "# a comment, and no title for the next\n"
        "  sub/../two.mp2  \n"
        "/abs/three.mp2\r"
        "#EXTINF:-1 tvg-name=\"a,b\",Radio, with comma\n"
        "http://127.0.0.1:9/stream\n"
        "ftp://127.0.0.1:9/stream\n"
        "FILE:///music/f%C3%BCnf%20(live).mp2\n"
        "file://localhost/music/100%.mp2\n"
        "file://otherhost/music/x.mp2\n"
        "bad%00name.mp2\n"
        "file:///music/bad%0Aname.mp2\n",
        EPlaylistKind::M3u, "/lists");
    EXPECT_EQ(Paths(playlist.entries),
              (std::vector<std::string>{
                  "/lists/one.mp2", "/lists/two.mp2", "/abs/three.mp2", "http://127.0.0.1:9/stream",
                  "/music/f\xC3\xBCnf (live).mp2", "/music/100%.mp2", "/lists/bad%00name.mp2"}));
    EXPECT_EQ(playlist.entries[0].strTitle, "Artist - Song");
    EXPECT_EQ(playlist.entries[1].strTitle, "");
    EXPECT_EQ(playlist.entries[3].strTitle, "Radio, with comma");
    // An address that is played stays as it is; one of another kind and the
    // other computer's file are left out, each told, as is the name that
    // decodes to a line break.
    ASSERT_EQ(playlist.warnings.size(), 3u);
    EXPECT_NE(playlist.warnings[0].find("ftp://127.0.0.1:9/stream"), std::string::npos);
    EXPECT_NE(playlist.warnings[1].find("otherhost"), std::string::npos);
}

TEST(PlaylistFile, PlsPairsFilesWithTitlesByNumber) {
    const CPlaylist playlist = ParsePlaylist(
        "[playlist]\r\n"
        "NumberOfEntries=3\r\n"
        "Title2=Second\r\n"
        "File2=b.mp2\r\n"
        "file1 = a.mp2\r\n"
        "File10=c.mp2\r\n"
        "File=nonumber.mp2\n"
        "File99999999999999999999999=toolarge.mp2\n"
        "File3x=junk.mp2\n"
        "; comment\n"
        "Version=2\n",
        EPlaylistKind::Pls, "/pls");
    EXPECT_EQ(Paths(playlist.entries),
              (std::vector<std::string>{"/pls/a.mp2", "/pls/b.mp2", "/pls/c.mp2"}));
    EXPECT_EQ(playlist.entries[1].strTitle, "Second");
    EXPECT_TRUE(playlist.warnings.empty());
}

TEST(PlaylistFile, ListsWithinListsAreReadInTheirPlaces) {
    CTempDir dir;
    const auto Write = [&dir](const char* pszName, std::string_view text) {
        return dir.Write(pszName, std::vector<uint8_t>(text.begin(), text.end()));
    };
    const std::string strOuter = Write("outer.m3u", "a.mp2\nsub/inner.pls\nmissing.m3u\nz.mp2\n");
    std::filesystem::create_directories(dir.Path() / "sub");
    Write("sub/inner.pls", "[playlist]\nFile1=b.mp2\nTitle1=Bee\nFile2=../loop.m3u\n");
    // A list that names the one it is in, through another, is read once.
    Write("loop.m3u", "c.mp2\nsub/inner.pls\nouter.m3u\n");
    CPlaylist playlist;
    std::string strReason;
    ASSERT_TRUE(ReadPlaylistFile(strOuter, EPlaylistKind::M3u, playlist, strReason));
    const std::string strDir = dir.Path().lexically_normal().string();
    EXPECT_EQ(Paths(playlist.entries),
              (std::vector<std::string>{strDir + "/a.mp2", strDir + "/sub/b.mp2", strDir + "/c.mp2",
                                        strDir + "/z.mp2"}));
    EXPECT_EQ(playlist.entries[1].strTitle, "Bee");
    ASSERT_EQ(playlist.warnings.size(), 3u);
    EXPECT_NE(playlist.warnings[0].find("a list this one is within"), std::string::npos);
    EXPECT_NE(playlist.warnings[1].find("a list this one is within"), std::string::npos);
    EXPECT_NE(playlist.warnings[2].find("cannot open"), std::string::npos);
}

TEST(PlaylistFile, KindsByNameAndHostileTextStaysBounded) {
    EXPECT_EQ(GetPlaylistKind("/a/List.M3U8"), EPlaylistKind::M3u);
    EXPECT_EQ(GetPlaylistKind("x.m3u"), EPlaylistKind::M3u);
    EXPECT_EQ(GetPlaylistKind("x.PLS"), EPlaylistKind::Pls);
    EXPECT_EQ(GetPlaylistKind("x.mp2"), EPlaylistKind::None);
    EXPECT_EQ(GetPlaylistKind("m3u"), EPlaylistKind::None);

    // Random bytes of either kind: no crash, no entry with a control byte.
    std::mt19937 random(7);
    for (int nRound = 0; nRound < 50; ++nRound) {
        std::string strText(4096, '\0');
        for (char& c : strText) {
            c = static_cast<char>(random() % 6 == 0 ? '\n' : random() % 256);
        }
        for (EPlaylistKind kind : {EPlaylistKind::M3u, EPlaylistKind::Pls}) {
            for (const CQueueEntry& entry : ParsePlaylist(strText, kind, "/r").entries) {
                for (char c : entry.strPath) {
                    EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 && c != '\t');
                }
            }
        }
    }
    // A flood of addresses is told in a few lines.
    std::string strFlood;
    for (int i = 0; i < 1000; ++i) {
        strFlood += "ftp://127.0.0.1/" + std::to_string(i) + "\n";
    }
    const CPlaylist flood = ParsePlaylist(strFlood, EPlaylistKind::M3u, "/");
    EXPECT_TRUE(flood.entries.empty());
    ASSERT_LE(flood.warnings.size(), 21u);
    EXPECT_NE(flood.warnings.back().find("980 more"), std::string::npos);

    CPlaylist missing;
    std::string strReason;
    EXPECT_FALSE(ReadPlaylistFile("/nonexistent/list.m3u", EPlaylistKind::M3u, missing, strReason));
    EXPECT_FALSE(strReason.empty());
}

TEST(FolderListing, NaturalOrderAndPlayableNames) {
    std::vector<std::string> names{"10.mp2",      "b.mp1",      "2.mp2", "A.mp2", "1.mp2",
                                   "track02.mp2", "Track1.mp2", "a.mp2", "01.mp2"};
    std::sort(names.begin(), names.end(), IsNaturallyBefore);
    EXPECT_EQ(names, (std::vector<std::string>{"01.mp2", "1.mp2", "2.mp2", "10.mp2", "A.mp2",
                                               "a.mp2", "b.mp1", "Track1.mp2", "track02.mp2"}));
    for (const char* pszName : {"a.mp2", "B.MP1", "c.mpa", "d.mpg", "e.m2a", "f.wav", "g.ts"}) {
        EXPECT_TRUE(IsPlayableName(pszName)) << pszName;
    }
    for (const char* pszName : {"a.txt", "mp2", ".mp2", "a.mp2.part", "a.m3u", "noext"}) {
        EXPECT_FALSE(IsPlayableName(pszName)) << pszName;
    }
}

class PlayQueueTest : public testing::Test {
  protected:
    void SetUp() override { ResetControlBlock(); }
    void TearDown() override { SetWaveDeviceName(""); }
    static bool Run(CCorvinaDoc& document, int nID) { return document.ExecuteCommand(nID); }

    CRecordingPresenter m_presenter;
    CTempDir m_dir;
};

// One file opened alone: the rest of its folder, playable names only, in
// natural order, with the opened one in hand; opened, not played.
TEST_F(PlayQueueTest, NextGoesThroughTheFolderOfAFileOpenedAlone) {
    for (const char* pszName : {"1.mp2", "2.mp2", "10.mp2", "a.txt", "b.mp1", ".hidden.mp2"}) {
        m_dir.Write(pszName, {0xFF, 0xFD});
    }
    CCorvinaDoc document;
    ASSERT_TRUE(document.OpenFile(m_dir.File("2.mp2")));
    EXPECT_EQ(document.GetQueue().GetCount(), 4u);
    EXPECT_EQ(document.GetQueue().GetIndex(), 1u);
    ASSERT_TRUE(Run(document, ID_PLAY_NEXT_FILE));
    EXPECT_EQ(document.GetPathName(), m_dir.File("10.mp2"));
    ASSERT_TRUE(Run(document, ID_PLAY_NEXT_FILE));
    EXPECT_EQ(document.GetPathName(), m_dir.File("b.mp1"));
    EXPECT_FALSE(Run(document, ID_PLAY_NEXT_FILE));
    EXPECT_EQ(g_nPlayState.load(), PLAY_IDLE);
    // Stopped, Previous goes to the entry before; Loop the list goes round.
    ASSERT_TRUE(Run(document, ID_PLAY_PREVIOUS_FILE));
    EXPECT_EQ(document.GetPathName(), m_dir.File("10.mp2"));
    ASSERT_TRUE(Run(document, ID_PLAY_TOGGLE_LOOP));
    ASSERT_TRUE(Run(document, ID_PLAY_NEXT_FILE));
    ASSERT_TRUE(Run(document, ID_PLAY_NEXT_FILE));
    EXPECT_EQ(document.GetPathName(), m_dir.File("1.mp2"));

    // A file removed meanwhile is passed over, on standard error only.
    std::remove(m_dir.File("2.mp2").c_str());
    ASSERT_TRUE(Run(document, ID_PLAY_NEXT_FILE));
    EXPECT_EQ(document.GetPathName(), m_dir.File("10.mp2"));
    EXPECT_TRUE(m_presenter.Messages().empty());
}

// The end of an entry plays the next; one that proves unplayable is skipped
// without a box; the end of the last ends playback, unless the list loops.
TEST_F(PlayQueueTest, TheEndOfAnEntryPlaysTheNextAndSkipsTheUnplayable) {
    SetWaveDeviceName("wav:" + m_dir.File("out.wav"));
    const std::string strFirst = SampleCut(m_dir, 8000, "1.mp2");
    m_dir.Write("2.mp2", std::vector<uint8_t>(3000, 0x55));
    const std::string strThird = SampleCut(m_dir, 8000, "3.mp2");
    const std::string strList = m_dir.File("list.m3u");
    {
        std::FILE* pFile = std::fopen(strList.c_str(), "w");
        std::fputs("1.mp2\n2.mp2\nmissing.mp2\n3.mp2\n", pFile);
        std::fclose(pFile);
    }
    CCorvinaDoc document;
    ASSERT_TRUE(document.OpenFiles({strList}));
    EXPECT_EQ(document.GetQueue().GetCount(), 4u);
    EXPECT_EQ(document.GetPathName(), strFirst);
    EXPECT_EQ(document.GetQueue().GetCurrent().strPlaylist, strList);

    auto PlayOnToNext = [&] {
        if (!WaitUntil([] {
                return g_nPlayState.load() == PLAY_ENDED || g_nPlayState.load() == PLAY_INVALID;
            })) {
            return false;
        }
        return document.ContinueQueue();
    };
    ASSERT_TRUE(Run(document, ID_PLAY_PLAYBACK));
    ASSERT_TRUE(PlayOnToNext());
    EXPECT_EQ(document.GetPathName(), m_dir.File("2.mp2"));
    ASSERT_TRUE(PlayOnToNext());
    EXPECT_EQ(document.GetPathName(), strThird);
    EXPECT_FALSE(PlayOnToNext());
    EXPECT_EQ(g_nPlayState.load(), PLAY_ENDED);
    EXPECT_TRUE(m_presenter.Messages().empty());

    // Looping, the last goes on to the first; Stop ends it there.
    ASSERT_TRUE(Run(document, ID_PLAY_TOGGLE_LOOP));
    ASSERT_TRUE(Run(document, ID_PLAY_PLAYBACK));
    ASSERT_TRUE(PlayOnToNext());
    EXPECT_EQ(document.GetPathName(), strFirst);
    // (Unpaced, the entry may have ended already; Stop still holds the
    // queue where it is.)
    document.OnCommand(ID_PLAY_STOP);
    ASSERT_TRUE(WaitForWorkerEnd());
    EXPECT_FALSE(document.ContinueQueue());
    EXPECT_EQ(document.GetPathName(), strFirst);

    // The user's own Play of an unplayable entry is told in a box and stays.
    ASSERT_TRUE(Run(document, ID_PLAY_NEXT_FILE));
    ASSERT_TRUE(Run(document, ID_PLAY_PLAYBACK));
    ASSERT_TRUE(WaitUntil([&] { return m_presenter.Messages().size() == 1; }));
    EXPECT_FALSE(document.ContinueQueue());
    EXPECT_EQ(document.GetPathName(), m_dir.File("2.mp2"));
}

// Nothing playable to open is one message, and the document stays as it was.
TEST_F(PlayQueueTest, APlaylistOfNothingIsToldOnceAndChangesNothing) {
    CCorvinaDoc document;
    ASSERT_TRUE(document.OpenFile(SampleCut(m_dir, 4000, "kept.mp2")));
    const std::string strList = m_dir.File("radio.pls");
    {
        std::FILE* pFile = std::fopen(strList.c_str(), "w");
        std::fputs("[playlist]\nFile1=ftp://127.0.0.1:9/live\nFile2=gone.mp2\n", pFile);
        std::fclose(pFile);
    }
    EXPECT_FALSE(document.OpenFile(strList));
    ASSERT_EQ(m_presenter.Messages().size(), 1u);
    EXPECT_NE(m_presenter.Messages()[0].strText.find("127.0.0.1:9/live"), std::string::npos);
    EXPECT_EQ(document.GetPathName(), m_dir.File("kept.mp2"));
    EXPECT_EQ(document.GetQueue().GetCount(), 1u);
}
