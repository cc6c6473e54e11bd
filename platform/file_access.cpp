// Opening stream files for reading.
#include "platform/file_access.h"

#include "decoder/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

using corvina::OpenDescriptorForReading;

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
