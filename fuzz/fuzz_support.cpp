// Support for the fuzz targets.
#include "fuzz/fuzz_support.h"

#include "fuzz/fuzz_harness.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/message_presenter.h"

namespace {

class CQuietPresenter : public CMessagePresenter {
  public:
    void Present(int, const std::string&) override {}
};

}  // namespace

void InstallQuietPresenter() {
    static CQuietPresenter presenter;
    SetMessagePresenter(&presenter);
}

void PrepareFuzzHarnesses() {
    InstallQuietPresenter();
}

CFuzzFile::CFuzzFile() {
    m_fd = memfd_create("corvina-fuzz", MFD_CLOEXEC);
    if (m_fd >= 0) {
        m_strPath = "/proc/self/fd/" + std::to_string(m_fd);
        return;
    }
    char szPath[] = "/tmp/corvina-fuzz-XXXXXX";
    m_fd = mkstemp(szPath);
    if (m_fd < 0) {
        FuzzFail("no file for the input");
    }
    m_strPath = szPath;
    m_bUnlink = true;
}

CFuzzFile::~CFuzzFile() {
    if (m_bUnlink) {
        unlink(m_strPath.c_str());
    }
    close(m_fd);
}

const std::string& CFuzzFile::Write(const uint8_t* pData, std::size_t nSize) {
    if (ftruncate(m_fd, 0) != 0) {
        FuzzFail("cannot empty the input file");
    }
    std::size_t nDone = 0;
    while (nDone < nSize) {
        const ssize_t nWritten =
            pwrite(m_fd, pData + nDone, nSize - nDone, static_cast<off_t>(nDone));
        if (nWritten <= 0) {
            FuzzFail("cannot write the input file");
        }
        nDone += static_cast<std::size_t>(nWritten);
    }
    return m_strPath;
}

void FuzzFail(const char* pszWhat) {
    std::fprintf(stderr, "fuzz expectation failed: %s\n", pszWhat);
    std::abort();
}
