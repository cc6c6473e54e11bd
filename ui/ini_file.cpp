// The INI file, read and written as plain text: the values are paths and
// words, written as they stand.
#include "ui/ini_file.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

#include "ui/user_paths.h"

namespace {

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

}  // namespace

CIniEntries ReadIniSection(const std::string& strPath, const char* pszSection) {
    CIniEntries entries;
    bool bInSection = false;
    for (const std::string& strLine : ReadLines(strPath)) {
        std::string strName;
        if (IsSectionLine(strLine, strName)) {
            bInSection = EqualsNoCase(strName, pszSection);
            continue;
        }
        const auto nEquals = strLine.find('=');
        if (bInSection && nEquals != std::string::npos) {
            entries.emplace_back(Trim(strLine.substr(0, nEquals)),
                                 Trim(strLine.substr(nEquals + 1)));
        }
    }
    return entries;
}

const std::string* FindIniValue(const CIniEntries& entries, const std::string& strKey) {
    const auto it = std::find_if(entries.rbegin(), entries.rend(), [&](const auto& entry) {
        return EqualsNoCase(entry.first, strKey);
    });
    return it == entries.rend() ? nullptr : &it->second;
}

bool WriteIniSection(const std::string& strPath, const char* pszSection,
                     const CIniEntries& entries) {
    std::ostringstream out;
    bool bInSection = false;
    bool bWritten = false;
    auto WriteSection = [&] {
        out << '[' << pszSection << "]\n";
        for (const auto& [strKey, strValue] : entries) {
            out << strKey << '=' << strValue << '\n';
        }
        bWritten = true;
    };
    for (const std::string& strLine : ReadLines(strPath)) {
        std::string strName;
        if (IsSectionLine(strLine, strName)) {
            bInSection = EqualsNoCase(strName, pszSection);
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

    // Written whole, so a crash while it is written leaves the previous file.
    return ReplaceFile(strPath, out.str());
}

bool WriteIniValue(const std::string& strPath, const char* pszSection, const std::string& strKey,
                   const std::string& strValue) {
    CIniEntries entries = ReadIniSection(strPath, pszSection);
    std::erase_if(entries, [&](const auto& entry) { return EqualsNoCase(entry.first, strKey); });
    entries.emplace_back(strKey, strValue);
    return WriteIniSection(strPath, pszSection, entries);
}

bool IsIniStorable(const std::string& strValue) {
    return strValue.find_first_of("\r\n") == std::string::npos && strValue == Trim(strValue);
}

std::string GetDefaultIniPath() {
    return GetUserConfigFolder() + "/corvina/corvina.ini";
}
