// A byte source over a file descriptor: a file opened by path, which can
// seek, or standard input or a pipe, which cannot.
#pragma once

#include <string>

#include "decoder/byte_source.h"

class CFileSource : public CByteSource {
  public:
    CFileSource() = default;
    ~CFileSource() override;
    CFileSource(const CFileSource&) = delete;
    CFileSource& operator=(const CFileSource&) = delete;

    // Opens a regular file; false with the system's reason when it cannot.
    bool Open(const char* pszPath, std::string& strReason);

    bool IsOpen() const { return m_fd >= 0; }
    std::size_t Read(uint8_t* pBuffer, std::size_t nBytes) override;
    bool CanSeek() const override { return m_bCanSeek; }
    int64_t Size() const override { return m_nSize; }
    int64_t Position() const override { return m_nPosition; }
    bool Seek(int64_t nOffset) override;

  protected:
    // Takes over fd (closed with the source unless bOwned is false).
    void Adopt(int fd, bool bOwned);

  private:
    int m_fd = -1;
    bool m_bOwned = true;
    bool m_bCanSeek = false;
    bool m_bEnded = false;
    int64_t m_nSize = -1;
    int64_t m_nPosition = 0;
};
