// The wave output: plays the decoded PCM of one stream on the wave device
// through a ring of four ten-frame buffers, pacing the decoder by waiting
// for the oldest buffer before it is filled again.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/wave_device.h"
#include "synth/audio_sink.h"
#include "synth/caller_hooks.h"

// One buffer of the ring: the header record that the device sees, with the
// data block it owns.
struct CWaveBuffer {
    CWaveHeader header;
    std::vector<uint8_t> data;
};

// What the player hands the wave output besides the stop and the warnings.
struct CWaveOutputLinks {
    // The stream's name in the desktop's mixer.
    std::string strTitle = "Corvina";
    // True while the queued sound is to be dropped because the stream moves
    // elsewhere: every wait is given up and nothing queued is heard.
    corvina::StopRequest fnDropRequested;
    // Called once when the device could not be opened or failed for good;
    // the warning has been reported by then.
    std::function<void()> fnDeviceFailed;
};

class CWaveOutput : public corvina::CAudioSink {
  public:
    // Opens the default device for the stream's format; with bSmooth the
    // stream is played at half its rate from half-size buffers. Every wait is
    // given up once fnStop says so; warnings go to fnReport.
    CWaveOutput(const corvina::CStreamFormat& format, bool bSmooth, corvina::StopRequest fnStop,
                corvina::WarningReporter fnReport, CWaveOutputLinks links = {});
    // Plays out what was written (or cuts it off after a stop), closes, frees.
    ~CWaveOutput() override;
    CWaveOutput(const CWaveOutput&) = delete;
    CWaveOutput& operator=(const CWaveOutput&) = delete;

    void WriteFrame(std::span<const int16_t> samples, int nChannels) override;
    int32_t EndFrame() override;
    // Plays out what the device holds, then opens it again for the new
    // format.
    bool FollowsFormat() const override { return true; }
    void ChangeFormat(const corvina::CStreamFormat& format) override;

    uint32_t BufferSize() const { return m_nBufferSize; }

    // False when no device could be opened: nothing is heard, and why is in
    // GetDeviceError (empty when the device did not say).
    bool HasDevice() const { return m_pDevice != nullptr; }
    const std::string& GetDeviceError() const { return m_strDeviceError; }
    // Seconds of stream ended into the output since it was made, and of
    // those the seconds the device has played; the rest is queued or still
    // being filled. Smooth playback lasts as long as the stream, so both
    // are stream time. Asked on the thread that writes.
    double WrittenSeconds() const {
        return m_dSecondsBefore + static_cast<double>(m_nFramesEnded) * m_dFrameSeconds;
    }
    double PlayedSeconds() const;
    // For CSoundControl, on the interface thread while the output is attached.
    void PauseDevice() { (void)m_pDevice->Pause(); }
    void RestartDevice() { (void)m_pDevice->Restart(); }
    // Only a device with a volume of its own is asked; elsewhere the output
    // scales the samples itself.
    bool HasDeviceVolume() const { return m_bDeviceVolume; }
    // Scales the samples from the next buffer on by dFactor (ReplayGain), on
    // every device; 1 leaves them as decoded.
    void SetReplayGain(double dFactor) { m_dReplayGain = dFactor; }
    int GetDeviceVolume(uint32_t& dwVolume) { return m_pDevice->GetVolume(dwVolume); }
    void SetDeviceVolume(uint32_t dwVolume) { (void)m_pDevice->SetVolume(dwVolume); }
    void SetDeviceMute(bool bMuted) { (void)m_pDevice->SetMute(bMuted); }

    // Everything queued at the device goes, and the ring starts over with
    // priming, so that the sound of the new place follows at once. On the
    // thread that writes.
    void DropQueued();

    // Buffers left with a device that did not give them back in time; beyond
    // this many the sound is dropped instead of queued.
    static constexpr std::size_t kMaxHeldBuffers = 4;

  private:
    static constexpr int kLast = 3;

    // Opens the default device for the format and makes the ring.
    void OpenDevice(const corvina::CStreamFormat& format);
    // Plays out what was written (with bPad the last buffer filled up with
    // silence), unless stopped, and closes the device.
    void CloseDevice(bool bPad);
    std::unique_ptr<CWaveBuffer> NewBuffer() const;
    int Submit(CWaveBuffer& buffer, int nRetries);
    int AwaitBuffer(CWaveBuffer& buffer);
    int AwaitFillingBuffer();
    void ReclaimHeldBuffers();
    void RotateRing();
    void ResetWritePositions();
    void EvenOutChannels();
    uint32_t FilledBytes() const;
    int32_t GiveUp();
    // One sample into the filling buffer, as smooth playback and the room
    // left allow.
    void StoreSample(int nChannel, int16_t nSample);
    int HandOverBuffer();
    // nResult, or kGaveUp where the device has failed.
    int OrFailure(int nResult);
    int32_t GoOn(int nResult);
    bool PlayOut(bool bPad = true);
    bool IsDropRequested() const;
    bool HasDeviceFailed();
    void ReportDeviceFailure(const std::string& strReason, bool bBusy);
    void ApplyGain(CWaveBuffer& buffer) const;
    // The ReplayGain factor, applied before the volume.
    double m_dReplayGain = 1.0;
    // pAwaited: the buffer whose end is awaited through still-playing
    // answers; null when only busy answers are retried.
    template <typename FnCall>
    int CallDevice(FnCall fnCall, int nRetries, const CWaveHeader* pAwaited);

    uint32_t m_nWritePosition[2] = {0, 2};
    int16_t m_nChannels = 2;
    std::unique_ptr<CWaveDevice> m_pDevice;  // null when opening failed
    uint32_t m_nBufferSize = 0;
    std::array<std::unique_ptr<CWaveBuffer>, 4> m_ring;  // the last one is being filled
    int m_nPrimed = 0;                                   // buffers completed while priming
    int m_nPrimingCount = 2;
    int m_nFramesInBuffer = 0;
    int m_nBufferCount = 4;
    int m_nSamplesPerFrame = 1152;
    int m_nFramesPerBuffer = 10;

    // Smooth playback as it was when the output was created: the buffer size
    // and the dropping of samples always agree.
    bool m_bSmooth = false;
    int m_nDropToggle[2] = {0, 0};
    uint8_t* m_pFill = nullptr;  // the data block of the filling buffer
    // A wait was given up for a stop: no more device calls or samples.
    bool m_bStopped = false;
    // The filling buffer is still the device's: samples are dropped until
    // the device gives it back.
    bool m_bDiscarding = false;
    std::vector<std::unique_ptr<CWaveBuffer>> m_held;
    int64_t m_nFramesEnded = 0;
    // Seconds written at the formats before the current one.
    double m_dSecondsBefore = 0.0;
    double m_dFrameSeconds = 0.0;
    std::string m_strDeviceError;
    // The device keeps the volume of its stream itself.
    bool m_bDeviceVolume = false;
    // The device failed: told once, no more device calls but the last reset
    // and close.
    bool m_bFailed = false;
    bool m_bAttached = false;
    corvina::StopRequest m_fnStop;
    corvina::WarningReporter m_fnReport;
    CWaveOutputLinks m_links;
};
