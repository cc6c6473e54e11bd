// The recent-file list and its INI file.
#include "ui/recent_file_list.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>

#include "tests/support/temp_dir.h"

namespace {

std::string ReadText(const std::string& strPath) {
    const std::vector<uint8_t> bytes = ReadFileBytes(strPath);
    return std::string(bytes.begin(), bytes.end());
}

void WriteText(const std::string& strPath, const std::string& strText) {
    std::ofstream(strPath, std::ios::binary) << strText;
}

}  // namespace

TEST(RecentFileList, KeepsTheFourMostRecentFirstAndSavesEachChange) {
    CTempDir dir;
    CRecentFileList list(dir.File("sub/corvina.ini"));
    for (const char* pszName : {"/a.mp2", "/b.mp2", "/c.mp2", "/d.mp2", "/e.mp2"}) {
        list.Add(pszName);
    }
    EXPECT_EQ(ReadText(dir.File("sub/corvina.ini")),
              "[Recent File List]\nFile1=/e.mp2\nFile2=/d.mp2\nFile3=/c.mp2\nFile4=/b.mp2\n");
    list.Add("/c.mp2");
    EXPECT_EQ(list.GetFiles(), (std::vector<std::string>{"/c.mp2", "/e.mp2", "/d.mp2", "/b.mp2"}));
    list.Remove(1);
    EXPECT_EQ(ReadText(dir.File("sub/corvina.ini")),
              "[Recent File List]\nFile1=/c.mp2\nFile2=/d.mp2\nFile3=/b.mp2\n");
}

TEST(RecentFileList, WritesPathsLiterallyAndReadsThemBack) {
    CTempDir dir;
    const std::string strIni = dir.File("corvina.ini");
    const std::string strOdd = "/music/100% = \"live\"; caf\xc3\xa9 [1].mp2";
    CRecentFileList list(strIni);
    list.Add(strOdd);
    EXPECT_EQ(ReadText(strIni), "[Recent File List]\nFile1=" + strOdd + "\n");
    CRecentFileList again(strIni);
    again.Load();
    EXPECT_EQ(again.GetFiles(), std::vector<std::string>{strOdd});
}

TEST(RecentFileList, KeepsTheRestOfTheFileAndToleratesItsForm) {
    CTempDir dir;
    const std::string strIni = dir.File("corvina.ini");
    WriteText(strIni,
              "; written by hand\r\n[Other]\r\nkey=value\r\n[recent file list]\r\n"
              "file2 = /two.mp2\r\nFile1=/one.mp2\r\nFile9=/ignored.mp2\r\njunk\r\n"
              "[Last]\r\nx=1\r\n");
    CRecentFileList list(strIni);
    list.Load();
    EXPECT_EQ(list.GetFiles(), (std::vector<std::string>{"/one.mp2", "/two.mp2"}));
    list.Add("/three.mp2");
    EXPECT_EQ(ReadText(strIni),
              "; written by hand\n[Other]\nkey=value\n[Recent File List]\nFile1=/three.mp2\n"
              "File2=/one.mp2\nFile3=/two.mp2\n[Last]\nx=1\n");
}

TEST(RecentFileList, MissingOrBrokenFilesGiveAnEmptyList) {
    CTempDir dir;
    CRecentFileList missing(dir.File("none.ini"));
    missing.Load();
    EXPECT_TRUE(missing.GetFiles().empty());

    const std::string strIni = dir.Write("random.ini", {0x00, 0xFF, '=', '\n', '[', 0x01});
    CRecentFileList broken(strIni);
    broken.Load();
    EXPECT_TRUE(broken.GetFiles().empty());
}

TEST(RecentFileList, PathsThatTheFormCannotHoldAreNotListed) {
    CTempDir dir;
    CRecentFileList list(dir.File("corvina.ini"));
    list.Add("/line\nbreak.mp2");
    list.Add("");
    EXPECT_TRUE(list.GetFiles().empty());
}

TEST(RecentFileList, AnUnwritableFileIsReportedAndTheListStillWorks) {
    CTempDir dir;
    dir.Write("blocker", {'x'});
    CRecentFileList list(dir.File("blocker/corvina.ini"));
    list.Add("/a.mp2");
    EXPECT_EQ(list.GetFiles(), std::vector<std::string>{"/a.mp2"});
    EXPECT_FALSE(list.Save());
}

TEST(RecentFileList, LivesInTheUsersConfigurationFolder) {
    const char* pszOld = getenv("XDG_CONFIG_HOME");
    const std::string strOld = pszOld != nullptr ? pszOld : "";
    setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(GetDefaultIniPath(), "/cfg/corvina/corvina.ini");
    setenv("XDG_CONFIG_HOME", "relative", 1);
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(GetDefaultIniPath(), "/home/someone/.config/corvina/corvina.ini");
    setenv("XDG_CONFIG_HOME", strOld.c_str(), 1);
}
