// Opening stream files for reading.
#include "platform/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

std::FILE* OpenFileForReading(const char* pszPath, std::string& strReason) {
    // O_NONBLOCK keeps a FIFO without a writer from hanging the open; only
    // regular files are read from here, and those read blocking.
    const int fd = open(pszPath, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        strReason = std::strerror(errno);
        return nullptr;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        strReason = S_ISDIR(info.st_mode) ? std::strerror(EISDIR) : "Not a regular file";
        close(fd);
        return nullptr;
    }
    const int nFlags = fcntl(fd, F_GETFL);
    if (nFlags != -1) {
        (void)fcntl(fd, F_SETFL, nFlags & ~O_NONBLOCK);
    }
    std::FILE* pFile = fdopen(fd, "rb");
    if (pFile == nullptr) {
        strReason = std::strerror(errno);
        close(fd);
    }
    return pFile;
}

bool CanReadStream(const char* pszPath, std::string& strReason) {
    if (std::strcmp(pszPath, "-") == 0) {
        return true;
    }
    struct stat info {};
    if (stat(pszPath, &info) != 0) {
        strReason = std::strerror(errno);
        return false;
    }
    if (S_ISFIFO(info.st_mode)) {
        if (access(pszPath, R_OK) != 0) {
            strReason = std::strerror(errno);
            return false;
        }
        return true;
    }
    std::FILE* pFile = OpenFileForReading(pszPath, strReason);
    if (pFile == nullptr) {
        return false;
    }
    std::fclose(pFile);
    return true;
}
