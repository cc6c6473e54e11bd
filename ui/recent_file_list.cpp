// The recent-file list, one section of the INI file.
#include "ui/recent_file_list.h"

#include <algorithm>

#include "ui/ini_file.h"

namespace {

constexpr const char* kSection = "Recent File List";

std::string FileKey(int nIndex) {
    return "File" + std::to_string(nIndex + 1);
}

}  // namespace

CRecentFileList::CRecentFileList(std::string strIniPath) : m_strIniPath(std::move(strIniPath)) {}

void CRecentFileList::Load() {
    m_files.clear();
    const CIniEntries entries = ReadIniSection(m_strIniPath, kSection);
    for (int i = 0; i < kSize; ++i) {
        const std::string* pFile = FindIniValue(entries, FileKey(i));
        if (pFile != nullptr && !pFile->empty() &&
            std::find(m_files.begin(), m_files.end(), *pFile) == m_files.end()) {
            m_files.push_back(*pFile);
        }
    }
}

void CRecentFileList::Add(const std::string& strPath) {
    if (strPath.empty() || !IsIniStorable(strPath)) {
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
    CIniEntries entries;
    for (std::size_t i = 0; i < m_files.size(); ++i) {
        entries.emplace_back(FileKey(static_cast<int>(i)), m_files[i]);
    }
    return WriteIniSection(m_strIniPath, kSection, entries);
}
