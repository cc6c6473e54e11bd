// The cover of the track in hand as a file.
#include "ui/cover_file.h"

#include <unistd.h>

#include <QUrl>
#include <cstdio>

#include "ui/qt_strings.h"
#include "ui/user_paths.h"

using namespace corvina;

namespace {

const char* ExtensionOf(const std::string& strMimeType) {
    if (strMimeType == "image/png") {
        return ".png";
    }
    if (strMimeType == "image/jpeg" || strMimeType == "image/jpg") {
        return ".jpg";
    }
    return "";
}

}  // namespace

CCoverFile::~CCoverFile() {
    Remove();
}

void CCoverFile::Remove() {
    if (!m_strPath.empty()) {
        std::remove(m_strPath.c_str());
    }
    m_strPath.clear();
    m_strUrl.clear();
}

void CCoverFile::Show(const std::shared_ptr<const CTrackInfo>& pInfo, int nTrack) {
    if (pInfo == m_pShown && nTrack == m_nTrack) {
        return;
    }
    // A loop round the same file tells the same picture again.
    const bool bSame = nTrack == m_nTrack && pInfo != nullptr && m_pShown != nullptr &&
                       pInfo->cover.bytes == m_pShown->cover.bytes;
    m_pShown = pInfo;
    m_nTrack = nTrack;
    if (bSame) {
        return;
    }
    Remove();
    if (pInfo == nullptr || pInfo->cover.bytes.empty()) {
        return;
    }
    const std::string strFolder = GetUserRuntimeFolder();
    if (strFolder.empty() || !MakeFolders(strFolder)) {
        return;
    }
    const std::string strPath = strFolder + "/corvina-cover-" + std::to_string(getpid()) + "-" +
                                std::to_string(++m_nWritten) +
                                ExtensionOf(pInfo->cover.strMimeType);
    const std::vector<uint8_t>& bytes = pInfo->cover.bytes;
    std::FILE* pFile = std::fopen(strPath.c_str(), "wb");
    if (pFile == nullptr) {
        return;
    }
    const bool bWritten = std::fwrite(bytes.data(), 1, bytes.size(), pFile) == bytes.size();
    if (std::fclose(pFile) != 0 || !bWritten) {
        std::remove(strPath.c_str());
        return;
    }
    m_strPath = strPath;
    m_strUrl = QUrl::fromLocalFile(FromFileName(strPath)).toString().toStdString();
}
