// The desktop entry that lets file managers offer corvina for MPEG audio.
#include "ui/desktop_entry.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/temp_dir.h"

namespace {

std::string ReadText(const std::string& strPath) {
    const std::vector<uint8_t> bytes = ReadFileBytes(strPath);
    return std::string(bytes.begin(), bytes.end());
}

std::string LineOf(const std::string& strEntry, const std::string& strKey) {
    std::istringstream in(strEntry);
    std::string strLine;
    while (std::getline(in, strLine)) {
        if (strLine.rfind(strKey + "=", 0) == 0) {
            return strLine;
        }
    }
    return {};
}

}  // namespace

TEST(DesktopEntry, InstalledEntryOpensMpegAudioOnly) {
    const std::string strEntry = ReadText(CORVINA_SOURCE_DIR "/resources/corvina.desktop");
    EXPECT_EQ(LineOf(strEntry, "Type"), "Type=Application");
    EXPECT_EQ(LineOf(strEntry, "Name"), "Name=Corvina");
    EXPECT_EQ(LineOf(strEntry, "Exec"), "Exec=corvina %f");
    // Layers I and II only: audio/mpeg is MP3's, which corvina does not play.
    EXPECT_EQ(LineOf(strEntry, "MimeType"), "MimeType=audio/mp2;audio/x-mp2;audio/x-mp1;");
    EXPECT_EQ(GetHandledMimeTypes(),
              (std::vector<std::string>{"audio/mp2", "audio/x-mp2", "audio/x-mp1"}));
    // Every type claimed is one that the project's MIME package (or the
    // desktop's) defines, with the files it stands for.
    const std::string strPackage = ReadText(CORVINA_SOURCE_DIR "/resources/corvina-mime.xml");
    for (const std::string& strType : GetHandledMimeTypes()) {
        EXPECT_NE(strPackage.find("type=\"" + strType + "\""), std::string::npos) << strType;
    }
    EXPECT_NE(strPackage.find("<glob pattern=\"*.mp1\"/>"), std::string::npos);
    EXPECT_NE(strPackage.find("<glob pattern=\"*.mp2\"/>"), std::string::npos);
    EXPECT_EQ(strPackage.find("audio/mpeg"), std::string::npos);
}

TEST(DesktopEntry, UserEntryNamesTheRunningProgramAndLeavesTheDefaultsAlone) {
    CTempDir dir;
    const char* pszOld = getenv("XDG_DATA_HOME");
    const std::string strOld = pszOld != nullptr ? pszOld : "";
    const std::string strPath = getenv("PATH") != nullptr ? getenv("PATH") : "";
    setenv("XDG_DATA_HOME", dir.Path().c_str(), 1);
    // The desktop's database tools stay out of the test's folder.
    setenv("PATH", "", 1);
    const bool bWritten = RefreshDesktopEntry("/opt/my player/corvina") &&
                          RefreshDesktopEntry("/opt/my player/corvina");
    setenv("PATH", strPath.c_str(), 1);
    setenv("XDG_DATA_HOME", strOld.c_str(), 1);
    ASSERT_TRUE(bWritten);

    const std::string strEntry = ReadText(dir.File("applications/corvina.desktop"));
    EXPECT_EQ(LineOf(strEntry, "Exec"), "Exec=\"/opt/my player/corvina\" %f");
    EXPECT_EQ(LineOf(strEntry, "MimeType"), "MimeType=audio/mp2;audio/x-mp2;audio/x-mp1;");
    EXPECT_TRUE(std::filesystem::exists(dir.File("icons/hicolor/48x48/apps/corvina.png")));
    EXPECT_EQ(ReadText(dir.File("mime/packages/corvina.xml")),
              ReadText(CORVINA_SOURCE_DIR "/resources/corvina-mime.xml"));
    // The files written are whole (the MIME database that the desktop's tool
    // builds beside the package, maybe still at work, is its own affair).
    for (const char* pszFolder : {"applications", "icons", "mime/packages"}) {
        for (const auto& entry :
             std::filesystem::recursive_directory_iterator(dir.Path() / pszFolder)) {
            EXPECT_NE(entry.path().extension(), ".new") << entry.path();
        }
    }
    for (const char* pszChoices : {"mimeapps.list", "applications/mimeapps.list"}) {
        EXPECT_FALSE(std::filesystem::exists(dir.File(pszChoices))) << pszChoices;
    }
}

TEST(DesktopEntry, ExecArgumentsAreQuotedWhereTheyMustBe) {
    EXPECT_EQ(QuoteExecArgument("/usr/bin/corvina"), "/usr/bin/corvina");
    EXPECT_EQ(QuoteExecArgument("/a b/corvina"), "\"/a b/corvina\"");
    // $ and " take a backslash inside the quotes, and the backslash itself is
    // escaped once more in the entry's value; a % is doubled.
    EXPECT_EQ(QuoteExecArgument("/a$b\"c/100%"), "\"/a\\\\$b\\\\\"c/100%%\"");
    EXPECT_EQ(MakeDesktopEntry("[Desktop Entry]\nExec=corvina %f\nName=Corvina\n", "/x/corvina"),
              "[Desktop Entry]\nExec=/x/corvina %f\nName=Corvina\n");
}
