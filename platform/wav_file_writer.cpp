// RIFF WAVE output.
#include "platform/wav_file_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

namespace {

void PutLe16(uint8_t* p, uint32_t nValue) {
    p[0] = static_cast<uint8_t>(nValue);
    p[1] = static_cast<uint8_t>(nValue >> 8);
}

void PutLe32(uint8_t* p, uint32_t nValue) {
    PutLe16(p, nValue & 0xFFFF);
    PutLe16(p + 2, nValue >> 16);
}

// The largest data size that the 32-bit RIFF sizes can describe.
constexpr uint64_t kMaxDataBytes = std::numeric_limits<uint32_t>::max() - 36;

}  // namespace

CWavFileWriter::~CWavFileWriter() {
    Close();
}

bool CWavFileWriter::Open(const std::string& strPath, int nChannels, uint32_t nSampleRate,
                          std::string& strReason, bool bHeader) {
    Close();
    m_bHeader = bHeader;
    m_nChannels = nChannels;
    m_nSampleRate = nSampleRate;
    m_nDataBytes = 0;
    m_bFailed = false;
    if (strPath == "-") {
        m_pFile = stdout;
        m_bOwnsFile = false;
    } else {
        m_pFile = std::fopen(strPath.c_str(), "wb");
        m_bOwnsFile = true;
        if (m_pFile == nullptr) {
            strReason = std::strerror(errno);
            return false;
        }
    }
    // A pipe never gets its sizes filled in, so it announces the largest.
    if (m_bHeader && !WriteHeader(m_bOwnsFile ? 0 : static_cast<uint32_t>(kMaxDataBytes))) {
        strReason = std::strerror(errno);
        Close();
        return false;
    }
    return true;
}

bool CWavFileWriter::WriteHeader(uint32_t nDataBytes) {
    uint8_t header[44];
    const uint32_t nBlockAlign = static_cast<uint32_t>(m_nChannels) * 2;
    std::memcpy(header, "RIFF", 4);
    PutLe32(header + 4, 36 + nDataBytes);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    PutLe32(header + 16, 16);
    PutLe16(header + 20, 1);  // PCM
    PutLe16(header + 22, static_cast<uint32_t>(m_nChannels));
    PutLe32(header + 24, m_nSampleRate);
    PutLe32(header + 28, m_nSampleRate * nBlockAlign);
    PutLe16(header + 32, nBlockAlign);
    PutLe16(header + 34, 16);
    std::memcpy(header + 36, "data", 4);
    PutLe32(header + 40, nDataBytes);
    return std::fwrite(header, sizeof header, 1, m_pFile) == 1;
}

void CWavFileWriter::NoteFailure() {
    if (!m_bFailed) {
        m_nErrno = errno;
    }
    m_bFailed = true;
}

std::string CWavFileWriter::FailureReason() const {
    return m_nErrno != 0 ? std::strerror(m_nErrno) : "write error";
}

bool CWavFileWriter::Write(const void* pData, std::size_t nBytes) {
    if (m_pFile == nullptr) {
        return false;
    }
    if (nBytes > 0 && std::fwrite(pData, 1, nBytes, m_pFile) != nBytes) {
        NoteFailure();
    }
    m_nDataBytes += nBytes;
    return !m_bFailed;
}

bool CWavFileWriter::WriteSizes() {
    if (!m_bHeader) {
        return true;
    }
    // Longer data than the header can describe keeps the largest size.
    const auto nSize = static_cast<uint32_t>(std::min(m_nDataBytes, kMaxDataBytes));
    return std::fseek(m_pFile, 0, SEEK_SET) == 0 && WriteHeader(nSize);
}

bool CWavFileWriter::Flush() {
    if (m_pFile == nullptr) {
        return false;
    }
    if (m_bOwnsFile && (!WriteSizes() || std::fseek(m_pFile, 0, SEEK_END) != 0)) {
        NoteFailure();
    }
    if (std::fflush(m_pFile) != 0) {
        NoteFailure();
    }
    return !m_bFailed;
}

bool CWavFileWriter::Close() {
    if (m_pFile == nullptr) {
        return !m_bFailed;
    }
    if (m_bOwnsFile) {
        if (!WriteSizes()) {
            NoteFailure();
        }
        if (std::fclose(m_pFile) != 0) {
            NoteFailure();
        }
    } else if (std::fflush(m_pFile) != 0) {
        NoteFailure();
    }
    m_pFile = nullptr;
    return !m_bFailed;
}

std::string NumberedPath(const std::string& strPath, int nNumber) {
    const std::size_t nName = strPath.rfind('/') == std::string::npos ? 0 : strPath.rfind('/') + 1;
    std::size_t nDot = strPath.rfind('.');
    // A name's leading dot starts no extension.
    if (nDot == std::string::npos || nDot <= nName) {
        nDot = strPath.size();
    }
    return strPath.substr(0, nDot) + "-" + std::to_string(nNumber) + strPath.substr(nDot);
}
