// A byte source over a file descriptor: a file opened by path, which can
// seek, or standard input or a pipe, which cannot.
#pragma once

#include <memory>
#include <string>

#include "decoder/byte_source.h"
#include "synth/caller_hooks.h"

namespace corvina {

class CFileSource : public CByteSource {
  public:
    CFileSource() = default;
    ~CFileSource() override;
    CFileSource(const CFileSource&) = delete;
    CFileSource& operator=(const CFileSource&) = delete;

    // Opens a regular file or a named pipe; false with the system's reason
    // when it cannot.
    bool Open(const char* pszPath, std::string& strReason);
    // Reads standard input (left open at the end).
    void OpenStandardInput();
    // A read that waits for a pipe gives up, as at the end, once fnStop says
    // so; it looks at least every 20 ms.
    void SetStopRequest(StopRequest fnStop) { m_fnStop = std::move(fnStop); }

    bool IsOpen() const { return m_fd >= 0; }
    std::size_t Read(uint8_t* pBuffer, std::size_t nBytes) override;
    bool CanSeek() const override { return m_bCanSeek; }
    int64_t Size() const override { return m_nSize; }
    int64_t Position() const override { return m_nPosition; }
    bool Seek(int64_t nOffset) override;
    // Opens the file again through /proc/self/fd, so that a file named by
    // standard input or since renamed or deleted still is the same file.
    std::unique_ptr<CByteSource> ReopenFile() const override;

  private:
    // Takes over fd (closed with the source unless bOwned is false).
    void Adopt(int fd, bool bOwned);
    // Waits until fd can be read; false once a stop is requested.
    bool AwaitInput();

    StopRequest m_fnStop;
    int m_fd = -1;
    bool m_bOwned = true;
    bool m_bCanSeek = false;
    bool m_bEnded = false;
    int64_t m_nSize = -1;
    int64_t m_nPosition = 0;
    // Where the descriptor stood when it was taken over.
    int64_t m_nStart = 0;
};

// The source that a path names: "-" is standard input, an address (see
// IsStreamAddress) the network reader's live stream, telling live, anything
// else a file or a named pipe. A path that cannot be opened is told as a
// warning and gives null.
std::unique_ptr<CByteSource> OpenStreamSource(const char* pszPath, const StopRequest& fnStop,
                                              const WarningReporter& fnReport,
                                              const CLiveHooks& live = {});

}  // namespace corvina
