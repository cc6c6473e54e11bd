// The recent-file list and its INI file. The file is read and written here
// as plain text: the values are paths, written as they stand.
#include "ui/recent_file_list.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

#include "ui/user_paths.h"

namespace {

constexpr const char* kSection = "Recent File List";

std::string Trim(const std::string& strText) {
    const auto nFirst = strText.find_first_not_of(" \t\r");
    if (nFirst == std::string::npos) {
        return {};
    }
    const auto nLast = strText.find_last_not_of(" \t\r");
    return strText.substr(nFirst, nLast - nFirst + 1);
}

bool EqualsNoCase(const std::string& strA, const std::string& strB) {
    return strA.size() == strB.size() &&
           std::equal(strA.begin(), strA.end(), strB.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

// The section name of a "[name]" line, or false for any other line.
bool IsSectionLine(const std::string& strLine, std::string& strName) {
    const std::string strTrimmed = Trim(strLine);
    if (strTrimmed.size() < 2 || strTrimmed.front() != '[' || strTrimmed.back() != ']') {
        return false;
    }
    strName = Trim(strTrimmed.substr(1, strTrimmed.size() - 2));
    return true;
}

std::vector<std::string> ReadLines(const std::string& strPath) {
    std::vector<std::string> lines;
    std::ifstream in(strPath, std::ios::binary);
    std::string strLine;
    while (std::getline(in, strLine)) {
        if (!strLine.empty() && strLine.back() == '\r') {
            strLine.pop_back();
        }
        lines.push_back(strLine);
    }
    return lines;
}

// A path that the INI form cannot hold literally.
bool IsStorable(const std::string& strPath) {
    return !strPath.empty() && strPath.find_first_of("\r\n") == std::string::npos &&
           strPath == Trim(strPath);
}

}  // namespace

CRecentFileList::CRecentFileList(std::string strIniPath) : m_strIniPath(std::move(strIniPath)) {}

void CRecentFileList::Load() {
    m_files.clear();
    std::string strFiles[kSize];
    bool bInSection = false;
    for (const std::string& strLine : ReadLines(m_strIniPath)) {
        std::string strName;
        if (IsSectionLine(strLine, strName)) {
            bInSection = EqualsNoCase(strName, kSection);
            continue;
        }
        const auto nEquals = strLine.find('=');
        if (!bInSection || nEquals == std::string::npos) {
            continue;
        }
        const std::string strKey = Trim(strLine.substr(0, nEquals));
        for (int i = 0; i < kSize; ++i) {
            if (EqualsNoCase(strKey, "File" + std::to_string(i + 1))) {
                strFiles[i] = Trim(strLine.substr(nEquals + 1));
            }
        }
    }
    for (const std::string& strFile : strFiles) {
        if (!strFile.empty() &&
            std::find(m_files.begin(), m_files.end(), strFile) == m_files.end()) {
            m_files.push_back(strFile);
        }
    }
}

void CRecentFileList::Add(const std::string& strPath) {
    if (!IsStorable(strPath)) {
        return;
    }
    m_files.erase(std::remove(m_files.begin(), m_files.end(), strPath), m_files.end());
    m_files.insert(m_files.begin(), strPath);
    if (m_files.size() > static_cast<std::size_t>(kSize)) {
        m_files.resize(kSize);
    }
    Save();
}

void CRecentFileList::Remove(int nIndex) {
    if (nIndex < 0 || nIndex >= static_cast<int>(m_files.size())) {
        return;
    }
    m_files.erase(m_files.begin() + nIndex);
    Save();
}

bool CRecentFileList::Save() const {
    // The section is written where it stood, everything else as it was.
    std::ostringstream out;
    bool bInSection = false;
    bool bWritten = false;
    auto WriteSection = [&] {
        out << '[' << kSection << "]\n";
        for (std::size_t i = 0; i < m_files.size(); ++i) {
            out << "File" << i + 1 << '=' << m_files[i] << '\n';
        }
        bWritten = true;
    };
    for (const std::string& strLine : ReadLines(m_strIniPath)) {
        std::string strName;
        if (IsSectionLine(strLine, strName)) {
            bInSection = EqualsNoCase(strName, kSection);
            if (bInSection) {
                if (!bWritten) {
                    WriteSection();
                }
                continue;
            }
        }
        if (!bInSection) {
            out << strLine << '\n';
        }
    }
    if (!bWritten) {
        WriteSection();
    }

    // Written whole, so a crash while it is written leaves the previous list.
    return ReplaceFile(m_strIniPath, out.str());
}

std::string GetDefaultIniPath() {
    return GetUserConfigFolder() + "/corvina/corvina.ini";
}
