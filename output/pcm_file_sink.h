// A PCM sink that writes the decoded samples, channels interleaved, into a
// WAV file or a headerless little-endian 16-bit file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/wav_file_writer.h"
#include "synth/audio_sink.h"

class CPcmFileSink : public corvina::CAudioSink {
  public:
    CPcmFileSink() = default;
    ~CPcmFileSink() override;

    // "-" is standard output. bWav false writes the bare samples.
    bool Open(const std::string& strPath, bool bWav, int nChannels, uint32_t nSampleRate,
              std::string& strReason);
    // Writes what is still buffered and closes; false if anything was lost.
    bool Close();
    bool Failed() const { return m_bFailed; }
    // The sink usually dies with its decoder: this flag, when given, learns
    // whether the last writes and the close went through.
    void ReportFailureTo(bool* pFailed, std::string* pReason = nullptr) {
        m_pFailed = pFailed;
        m_pReason = pReason;
    }
    std::string FailureReason() const { return m_Writer.FailureReason(); }
    // Scales every sample by dFactor (ReplayGain, where asked for).
    void SetReplayGain(double dFactor) { m_dReplayGain = dFactor; }

    void WriteFrame(std::span<const int16_t> samples, int nChannels) override;
    // Writes whole frames' samples at once where they are in the file's
    // order as they stand (the file's channels, no gain, a little-endian
    // machine): what WriteFrame and EndFrame would write for each. False,
    // having written nothing, where they need WriteFrame's conversion.
    bool WriteFrames(std::span<const int16_t> samples, int nChannels);
    int32_t EndFrame() override;
    // A raw file writes the samples on as they come; a WAV file is finished
    // and the rest goes into OUT-2.wav (then -3 ...), as standard error
    // says. A WAV file on standard output keeps its first format.
    bool FollowsFormat() const override { return !m_bWav || m_strPath != "-"; }
    void ChangeFormat(const corvina::CStreamFormat& format) override;

  private:
    static constexpr int kMaxFiles = 99;

    void Flush();
    bool InFileOrder(int nChannels) const;
    void WriteOut(const void* pBytes, std::size_t nBytes);

    CWavFileWriter m_Writer;
    std::string m_strPath;
    bool m_bWav = false;
    int m_nFileNumber = 1;
    int m_nChannels = 0;
    double m_dReplayGain = 1.0;
    bool m_bFailed = false;
    bool* m_pFailed = nullptr;
    std::string* m_pReason = nullptr;
    std::vector<uint8_t> m_bPending;
};
