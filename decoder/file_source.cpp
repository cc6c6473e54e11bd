// Reading a file descriptor as a byte source.
#include "decoder/file_source.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "decoder/address_opener.h"
#include "decoder/file_access.h"

namespace corvina {

CFileSource::~CFileSource() {
    if (m_fd >= 0 && m_bOwned) {
        close(m_fd);
    }
}

bool CFileSource::Open(const char* pszPath, std::string& strReason) {
    const int fd = OpenDescriptorForReading(pszPath, strReason);
    if (fd < 0) {
        return false;
    }
    Adopt(fd, true);
    return true;
}

void CFileSource::OpenStandardInput() {
    Adopt(STDIN_FILENO, false);
}

bool CFileSource::AwaitInput() {
    constexpr int kStopCheckMs = 20;
    for (;;) {
        if (IsStopRequested(m_fnStop)) {
            return false;
        }
        pollfd poller{m_fd, POLLIN, 0};
        const int nReady = poll(&poller, 1, kStopCheckMs);
        if (nReady > 0) {
            return true;
        }
        if (nReady < 0 && errno != EINTR) {
            return false;
        }
    }
}

void CFileSource::Adopt(int fd, bool bOwned) {
    m_fd = fd;
    m_bOwned = bOwned;
    struct stat info {};
    const off_t nStart = lseek(fd, 0, SEEK_CUR);
    m_bCanSeek = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && nStart >= 0;
    if (m_bCanSeek) {
        m_nSize = static_cast<int64_t>(info.st_size);
        m_nPosition = m_nStart = static_cast<int64_t>(nStart);
    }
}

std::size_t CFileSource::Read(uint8_t* pBuffer, std::size_t nBytes) {
    std::size_t nDone = 0;
    while (m_fd >= 0 && !m_bEnded && nDone < nBytes) {
        // A pipe is waited for in steps, so that a stop is never kept waiting.
        if (!m_bCanSeek && !AwaitInput()) {
            m_bEnded = true;
            break;
        }
        const ssize_t nRead = read(m_fd, pBuffer + nDone, nBytes - nDone);
        if (nRead < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (nRead <= 0) {
            // An error ends the source as its end does.
            m_bEnded = true;
            break;
        }
        nDone += static_cast<std::size_t>(nRead);
        // Hand over what came: the caller asks again for more.
        break;
    }
    m_nPosition += static_cast<int64_t>(nDone);
    return nDone;
}

bool CFileSource::Seek(int64_t nOffset) {
    if (!m_bCanSeek || nOffset < 0 || lseek(m_fd, static_cast<off_t>(nOffset), SEEK_SET) < 0) {
        return false;
    }
    m_nPosition = nOffset;
    m_bEnded = false;
    return true;
}

std::unique_ptr<CByteSource> CFileSource::ReopenFile() const {
    if (m_fd < 0 || !m_bCanSeek) {
        return nullptr;
    }
    const std::string strPath = "/proc/self/fd/" + std::to_string(m_fd);
    const int fd = open(strPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    struct stat mine {};
    struct stat other {};
    auto pFile = std::make_unique<CFileSource>();
    pFile->Adopt(fd, true);
    // Anything but the same regular file (a descriptor that the link does
    // not lead back to) is no second reading of it.
    if (fstat(m_fd, &mine) != 0 || fstat(fd, &other) != 0 || mine.st_dev != other.st_dev ||
        mine.st_ino != other.st_ino || !pFile->m_bCanSeek || !pFile->Seek(m_nStart)) {
        return nullptr;
    }
    return pFile;
}

std::unique_ptr<CByteSource> OpenStreamSource(const char* pszPath, const StopRequest& fnStop,
                                              const WarningReporter& fnReport,
                                              const CLiveHooks& live) {
    if (IsStreamAddress(pszPath)) {
        std::string strReason;
        auto pLive = OpenAddress(pszPath, fnStop, fnReport, live, strReason);
        if (pLive == nullptr) {
            ReportWarning(fnReport,
                          std::string("couldn't open \"") + pszPath + "\"! (" + strReason + ")");
        }
        return pLive;
    }
    auto pFile = std::make_unique<CFileSource>();
    pFile->SetStopRequest(fnStop);
    if (std::strcmp(pszPath, "-") == 0) {
        pFile->OpenStandardInput();
        return pFile;
    }
    std::string strReason;
    if (!pFile->Open(pszPath, strReason)) {
        ReportWarning(fnReport, std::string("couldn't open file \"") + pszPath +
                                    "\" for reading! (" + strReason + ")");
        return nullptr;
    }
    return pFile;
}

}  // namespace corvina
