// The desktop entry in the user's applications folder.
#include "ui/desktop_entry.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <fstream>
#include <iterator>
#include <sstream>

#include "ui/user_paths.h"

namespace {

std::string ReadResource(const char* pszName) {
    QFile file(QString::fromUtf8(pszName));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray data = file.readAll();
    return std::string(data.constData(), static_cast<std::size_t>(data.size()));
}

std::string ReadFile(const std::string& strPath) {
    std::ifstream in(strPath, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Writes the file only when its contents differ; true when they are in
// place afterwards, and bChanged tells whether anything was written.
bool WriteIfChanged(const std::string& strPath, const std::string& strContents, bool& bChanged) {
    if (ReadFile(strPath) == strContents) {
        return true;
    }
    if (!ReplaceFile(strPath, strContents)) {
        return false;
    }
    bChanged = true;
    return true;
}

// Starts an installed tool on a folder, without waiting; a tool that is not
// installed is no fault.
void RunTool(const char* pszTool, const std::string& strFolder) {
    const QString strTool = QStandardPaths::findExecutable(QString::fromUtf8(pszTool));
    if (!strTool.isEmpty()) {
        QProcess::startDetached(strTool, {QString::fromStdString(strFolder)});
    }
}

}  // namespace

std::string QuoteExecArgument(const std::string& strArgument) {
    const bool bPlain = !strArgument.empty() &&
                        strArgument.find_first_of(" \t\n\"'\\><~|&;$*?#()`%") == std::string::npos;
    if (bPlain) {
        return strArgument;
    }
    // Inside double quotes ", `, $ and \ take a backslash; a literal % is
    // doubled, since field codes start with one.
    std::string strQuoted = "\"";
    for (char c : strArgument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            strQuoted += '\\';
        } else if (c == '%') {
            strQuoted += '%';
        }
        strQuoted += c;
    }
    strQuoted += '"';
    // The entry's value form escapes each backslash once more.
    std::string strValue;
    for (char c : strQuoted) {
        if (c == '\\') {
            strValue += '\\';
        }
        strValue += c;
    }
    return strValue;
}

std::string MakeDesktopEntry(const std::string& strTemplate, const std::string& strExecutable) {
    std::istringstream in(strTemplate);
    std::ostringstream out;
    std::string strLine;
    while (std::getline(in, strLine)) {
        if (strLine.rfind("Exec=", 0) == 0) {
            strLine = "Exec=" + QuoteExecArgument(strExecutable) + " %f";
        }
        out << strLine << '\n';
    }
    return out.str();
}

std::vector<std::string> GetHandledMimeTypes() {
    std::istringstream in(ReadResource(":/corvina.desktop"));
    std::vector<std::string> types;
    std::string strLine;
    while (std::getline(in, strLine)) {
        if (strLine.rfind("MimeType=", 0) != 0) {
            continue;
        }
        std::istringstream list(strLine.substr(9));
        std::string strType;
        while (std::getline(list, strType, ';')) {
            if (!strType.empty()) {
                types.push_back(strType);
            }
        }
    }
    return types;
}

bool RefreshDesktopEntry(const std::string& strExecutable) {
    const std::string strTemplate = ReadResource(":/corvina.desktop");
    // A path with a line break cannot stand in an entry.
    if (strTemplate.empty() || strExecutable.empty() ||
        strExecutable.find_first_of("\r\n") != std::string::npos) {
        return false;
    }
    const std::string strDataFolder = GetUserDataFolder();
    const std::string strApplications = strDataFolder + "/applications";
    bool bEntryChanged = false;
    if (!WriteIfChanged(strApplications + "/corvina.desktop",
                        MakeDesktopEntry(strTemplate, strExecutable), bEntryChanged)) {
        return false;
    }
    for (int nSize : {16, 32, 48, 64, 128}) {
        const std::string strSize = std::to_string(nSize);
        const std::string strIcon = ReadResource((":/icons/corvina-" + strSize + ".png").c_str());
        bool bIconChanged = false;
        if (!strIcon.empty()) {
            WriteIfChanged(
                strDataFolder + "/icons/hicolor/" + strSize + "x" + strSize + "/apps/corvina.png",
                strIcon, bIconChanged);
        }
    }
    if (bEntryChanged) {
        RunTool("update-desktop-database", strApplications);
    }
    // The .mp1 type is no common one: without it the entry's claim on it
    // would find no files.
    bool bTypesChanged = false;
    const std::string strMime = strDataFolder + "/mime";
    const std::string strTypes = ReadResource(":/corvina-mime.xml");
    if (!strTypes.empty() &&
        WriteIfChanged(strMime + "/packages/corvina.xml", strTypes, bTypesChanged) &&
        bTypesChanged) {
        RunTool("update-mime-database", strMime);
    }
    return true;
}
