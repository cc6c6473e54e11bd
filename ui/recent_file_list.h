// The recent-file list of the File menu, kept in the INI file
// corvina/corvina.ini of the user's configuration folder, section
// [Recent File List], keys File1 to File4, most recent first.
#pragma once

#include <string>
#include <vector>

#include "ui/ini_file.h"

class CRecentFileList {
  public:
    static constexpr int kSize = 4;

    explicit CRecentFileList(std::string strIniPath);

    // Reads the list from the INI file; a missing file is an empty list.
    void Load();
    // Puts the path first (moving it up when it is listed already) and saves.
    void Add(const std::string& strPath);
    void Remove(int nIndex);
    // Writes the list into the INI file, keeping whatever else it holds;
    // false when the file cannot be written.
    bool Save() const;

    const std::vector<std::string>& GetFiles() const { return m_files; }
    const std::string& GetIniPath() const { return m_strIniPath; }

  private:
    std::string m_strIniPath;
    std::vector<std::string> m_files;
};
