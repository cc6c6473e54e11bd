// Opening stream files for reading.
#include "platform/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// False, with the reason, for a kind of file that is not read.
bool IsReadableKind(const struct stat& info, std::string& strReason) {
    if (S_ISREG(info.st_mode) || S_ISFIFO(info.st_mode)) {
        return true;
    }
    strReason = S_ISDIR(info.st_mode) ? std::strerror(EISDIR) : "Not a regular file";
    return false;
}

}  // namespace

int OpenDescriptorForReading(const char* pszPath, std::string& strReason) {
    // O_NONBLOCK keeps a FIFO without a writer from hanging the open.
    const int fd = open(pszPath, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        strReason = std::strerror(errno);
        return -1;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        strReason = std::strerror(errno);
        close(fd);
        return -1;
    }
    if (!IsReadableKind(info, strReason)) {
        close(fd);
        return -1;
    }
    if (S_ISREG(info.st_mode)) {
        const int nFlags = fcntl(fd, F_GETFL);
        if (nFlags != -1) {
            (void)fcntl(fd, F_SETFL, nFlags & ~O_NONBLOCK);
        }
    }
    return fd;
}

std::FILE* OpenFileForReading(const char* pszPath, std::string& strReason) {
    const int fd = OpenDescriptorForReading(pszPath, strReason);
    if (fd < 0) {
        return nullptr;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        strReason = "Not a regular file";
        close(fd);
        return nullptr;
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
    const int fd = OpenDescriptorForReading(pszPath, strReason);
    if (fd < 0) {
        return false;
    }
    close(fd);
    return true;
}
