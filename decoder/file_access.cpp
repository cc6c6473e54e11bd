// Opening stream files for reading.
#include "decoder/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace corvina {

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

}  // namespace corvina
