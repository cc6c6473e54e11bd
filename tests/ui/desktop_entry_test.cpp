// The installed desktop entry and metainfo, as the desktop reads them.
#include "ui/desktop_entry.h"

#include <gtest/gtest.h>

#include <sstream>

#include "resources/command_table.h"
#include "tests/support/temp_dir.h"

namespace {

const std::string kResources = CORVINA_SOURCE_DIR "/resources/";

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
    const std::string strId = kDesktopId;
    const std::string strEntry = ReadText(kResources + strId + ".desktop");
    EXPECT_EQ(LineOf(strEntry, "Type"), "Type=Application");
    EXPECT_EQ(LineOf(strEntry, "Name"), "Name=Corvina");
    EXPECT_EQ(LineOf(strEntry, "Exec"), "Exec=corvina %f");
    EXPECT_EQ(LineOf(strEntry, "Icon"), "Icon=" + strId);
    // Layers I and II only: audio/mpeg is MP3's, which corvina does not play.
    EXPECT_EQ(LineOf(strEntry, "MimeType"),
              "MimeType=audio/mp2;audio/x-mp2;audio/x-mp1;audio/x-scpls;audio/x-mpegurl;"
              "application/vnd.apple.mpegurl;");
    EXPECT_EQ(GetHandledMimeTypes(),
              (std::vector<std::string>{"audio/mp2", "audio/x-mp2", "audio/x-mp1", "audio/x-scpls",
                                        "audio/x-mpegurl", "application/vnd.apple.mpegurl"}));
    // Every type claimed is one that the project's MIME package (or the
    // desktop's) defines, with the files it stands for, and one that the
    // software centres learn from the metainfo, which names this entry.
    const std::string strPackage = ReadText(kResources + "corvina-mime.xml");
    const std::string strMetainfo = ReadText(kResources + strId + ".metainfo.xml");
    for (const std::string& strType : GetHandledMimeTypes()) {
        EXPECT_NE(strPackage.find("type=\"" + strType + "\""), std::string::npos) << strType;
        EXPECT_NE(strMetainfo.find("<mediatype>" + strType + "</mediatype>"), std::string::npos)
            << strType;
    }
    EXPECT_NE(strPackage.find("<glob pattern=\"*.mp1\"/>"), std::string::npos);
    EXPECT_NE(strPackage.find("<glob pattern=\"*.mp2\"/>"), std::string::npos);
    EXPECT_EQ(strPackage.find("audio/mpeg"), std::string::npos);
    EXPECT_NE(strMetainfo.find("<id>" + strId + "</id>"), std::string::npos);
    EXPECT_NE(strMetainfo.find("<launchable type=\"desktop-id\">" + strId + ".desktop<"),
              std::string::npos);
}
