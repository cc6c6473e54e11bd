// What the fuzz targets share: a presenter that swallows messages, and the
// input turned into a file that the decoder can open by name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Messages are counted, not printed, so the fuzzer's output stays readable.
void InstallQuietPresenter();

// One file for the whole run, rewritten with every input; kept in memory
// where the system allows it.
class CFuzzFile {
  public:
    CFuzzFile();
    ~CFuzzFile();
    CFuzzFile(const CFuzzFile&) = delete;
    CFuzzFile& operator=(const CFuzzFile&) = delete;

    // Replaces the file's contents; returns the name to open it by.
    const std::string& Write(const uint8_t* pData, std::size_t nSize);

  private:
    int m_fd = -1;
    std::string m_strPath;
    bool m_bUnlink = false;
};

// Stops the run with a message when an expectation of the target fails, so
// libFuzzer keeps the input as a crash.
[[noreturn]] void FuzzFail(const char* pszWhat);
inline void FuzzCheck(bool bHolds, const char* pszWhat) {
    if (!bHolds) {
        FuzzFail(pszWhat);
    }
}
