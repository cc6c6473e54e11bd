// The document base: opening, titles and routing through update rules.
#include "platform/document.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "tests/support/recording_presenter.h"
#include "tests/support/temp_dir.h"

using namespace corvina;

namespace {

class CTestDocument : public CDocument {
  public:
    void OnUpdateCommand(CCmdUI& cmdUI) override {
        if (cmdUI.m_nID == 2) {
            cmdUI.Enable(false);
        }
    }
    bool OnCommand(int nID) override {
        m_nLast = nID;
        return nID == 1 || nID == 2;
    }
    int m_nLast = 0;
};

}  // namespace

TEST(Document, DisabledCommandIsNotCarriedOut) {
    CTestDocument document;
    EXPECT_TRUE(document.ExecuteCommand(1));
    EXPECT_EQ(document.m_nLast, 1);
    EXPECT_FALSE(document.ExecuteCommand(2));
    EXPECT_EQ(document.m_nLast, 1);
    EXPECT_FALSE(document.IsCommandEnabled(2));
}

TEST(Document, TitleIsUntitledThenTheFileName) {
    CRecordingPresenter presenter;
    CTempDir dir;
    const std::string strPath = dir.Write("song.mp2", {1, 2, 3});
    CTestDocument document;
    EXPECT_TRUE(document.NewDocument());
    EXPECT_EQ(document.GetTitle(), "Untitled");
    EXPECT_TRUE(document.OpenDocument(strPath));
    EXPECT_EQ(document.GetPathName(), strPath);
    EXPECT_EQ(document.GetTitle(), "song.mp2");
    EXPECT_TRUE(presenter.Messages().empty());
}

TEST(Document, FilesThatCannotBeReadAreRefusedAndThePathStays) {
    CRecordingPresenter presenter;
    CTempDir dir;
    const std::string strGood = dir.Write("good.mp2", {1});
    CTestDocument document;
    // A named pipe and standard input are streams to play; opening the
    // document neither opens the pipe nor waits for its writer.
    const std::string strFifo = dir.File("fifo.mp2");
    ASSERT_EQ(mkfifo(strFifo.c_str(), 0600), 0);
    EXPECT_TRUE(document.OpenDocument(strFifo));
    EXPECT_TRUE(document.OpenDocument("-"));
    ASSERT_TRUE(document.OpenDocument(strGood));
    for (const std::string& strBad :
         {dir.File("missing.mp2"), dir.Path().string(), std::string("/dev/zero")}) {
        EXPECT_FALSE(document.OpenDocument(strBad)) << strBad;
        EXPECT_EQ(document.GetPathName(), strGood);
    }
    const auto texts = presenter.Texts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_NE(texts[0].find("No such file or directory"), std::string::npos);
    EXPECT_NE(texts[1].find("Is a directory"), std::string::npos);
    EXPECT_NE(texts[2].find("Not a regular file"), std::string::npos);
}
