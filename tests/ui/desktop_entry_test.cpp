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
    EXPECT_EQ(LineOf(strEntry, "MimeType"),
              "MimeType=audio/mpeg;audio/x-mp2;audio/x-mpeg;audio/mp2;");
}

TEST(DesktopEntry, UserEntryNamesTheRunningProgramAndLeavesTheDefaultsAlone) {
    CTempDir dir;
    const char* pszOld = getenv("XDG_DATA_HOME");
    const std::string strOld = pszOld != nullptr ? pszOld : "";
    setenv("XDG_DATA_HOME", dir.Path().c_str(), 1);
    ASSERT_TRUE(RefreshDesktopEntry("/opt/my player/corvina"));
    ASSERT_TRUE(RefreshDesktopEntry("/opt/my player/corvina"));
    setenv("XDG_DATA_HOME", strOld.c_str(), 1);

    const std::string strEntry = ReadText(dir.File("applications/corvina.desktop"));
    EXPECT_EQ(LineOf(strEntry, "Exec"), "Exec=\"/opt/my player/corvina\" %f");
    EXPECT_EQ(LineOf(strEntry, "MimeType"),
              "MimeType=audio/mpeg;audio/x-mp2;audio/x-mpeg;audio/mp2;");
    EXPECT_TRUE(std::filesystem::exists(dir.File("icons/hicolor/48x48/apps/corvina.png")));
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.Path())) {
        EXPECT_NE(entry.path().filename(), "mimeapps.list") << entry.path();
        EXPECT_NE(entry.path().extension(), ".new") << entry.path();
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
