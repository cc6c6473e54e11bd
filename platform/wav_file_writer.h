// Writes 16-bit PCM into a RIFF WAVE file; the sizes in the header are filled
// in when the file is closed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// The name of the file that goes on where strPath changes its format: -N
// before the extension (out.wav, 2: out-2.wav).
std::string NumberedPath(const std::string& strPath, int nNumber);

class CWavFileWriter {
  public:
    CWavFileWriter() = default;
    ~CWavFileWriter();
    CWavFileWriter(const CWavFileWriter&) = delete;
    CWavFileWriter& operator=(const CWavFileWriter&) = delete;

    // "-" writes to standard output (the sizes then stay as written at the
    // start, since a pipe cannot be rewound). False with the reason on failure.
    // bHeader false writes the bare samples, with no RIFF header at all.
    bool Open(const std::string& strPath, int nChannels, uint32_t nSampleRate,
              std::string& strReason, bool bHeader = true);
    // Little-endian 16-bit samples, channels interleaved.
    bool Write(const void* pData, std::size_t nBytes);
    // Fills in the sizes of what has been written so far and hands it to the
    // system, keeping the file open for more: the file is complete as it
    // stands. False when anything could not be written.
    bool Flush();
    // Fills in the sizes and closes; false when anything could not be written.
    bool Close();
    bool IsOpen() const { return m_pFile != nullptr; }
    uint64_t DataBytes() const { return m_nDataBytes; }
    // Why the first write that failed failed, in the system's words.
    std::string FailureReason() const;

  private:
    void NoteFailure();
    bool WriteHeader(uint32_t nDataBytes);
    bool WriteSizes();

    std::FILE* m_pFile = nullptr;
    bool m_bOwnsFile = false;
    bool m_bHeader = true;
    bool m_bFailed = false;
    int m_nErrno = 0;  // of the first failure
    int m_nChannels = 0;
    uint32_t m_nSampleRate = 0;
    uint64_t m_nDataBytes = 0;
};
