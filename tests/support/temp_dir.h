// A scratch folder for one test, removed with everything in it afterwards.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

class CTempDir {
  public:
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::string File(const std::string& strName) const { return (m_path / strName).string(); }
    // Writes the bytes into a new file of that name and returns its path.
    std::string Write(const std::string& strName, const std::vector<uint8_t>& bytes) const;

  private:
    std::filesystem::path m_path;
};

std::vector<uint8_t> ReadFileBytes(const std::string& strPath);

// Makes a file of nBytes that holds pieces (offset, bytes) and zeros
// elsewhere, without storing the zeros; false when the file system cannot
// keep it sparse (the caller then skips).
bool WriteSparseFile(const std::string& strPath, int64_t nBytes,
                     const std::vector<std::pair<int64_t, std::vector<uint8_t>>>& pieces = {});
