// Scratch folders for tests.
#include "tests/support/temp_dir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

CTempDir::CTempDir() {
    std::string strTemplate =
        (std::filesystem::temp_directory_path() / "corvina-test-XXXXXX").string();
    if (mkdtemp(strTemplate.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    m_path = strTemplate;
}

CTempDir::~CTempDir() {
    std::error_code error;
    std::filesystem::remove_all(m_path, error);
}

std::string CTempDir::Write(const std::string& strName, const std::vector<uint8_t>& bytes) const {
    const std::string strPath = File(strName);
    std::ofstream out(strPath, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return strPath;
}

std::vector<uint8_t> ReadFileBytes(const std::string& strPath) {
    std::ifstream in(strPath, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool WriteSparseFile(const std::string& strPath, int64_t nBytes,
                     const std::vector<std::pair<int64_t, std::vector<uint8_t>>>& pieces) {
    const int fd = open(strPath.c_str(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    bool bGood = ftruncate(fd, nBytes) == 0;
    for (const auto& [nAt, bytes] : pieces) {
        bGood = bGood &&
                pwrite(fd, bytes.data(), bytes.size(), nAt) == static_cast<ssize_t>(bytes.size());
    }
    struct stat info {};
    bGood = bGood && fstat(fd, &info) == 0 && info.st_blocks * 512 < (int64_t{64} << 20);
    close(fd);
    return bGood;
}
