// Wave-output devices: the operations that the wave output and the volume
// commands need, with the result codes that their retry rules test.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

enum : int {
    MMSYSERR_NOERROR = 0,
    MMSYSERR_ERROR = 1,
    MMSYSERR_ALLOCATED = 4,  // the device is taken by another program
    MMSYSERR_INVALHANDLE = 5,
    MMSYSERR_NOTSUPPORTED = 8,
    MMSYSERR_INVALPARAM = 11,
    MMSYSERR_HANDLEBUSY = 12,
    WAVERR_BADFORMAT = 32,
    WAVERR_STILLPLAYING = 33,
    WAVERR_UNPREPARED = 34,
};

struct CWaveFormat {
    uint16_t nChannels = 2;
    uint32_t nSamplesPerSec = 44100;
    uint16_t wBitsPerSample = 16;
};

// One buffer handed to a device; the owner keeps the data block alive until
// the device has given the buffer back (Unprepare answered 0) or was reset.
struct CWaveHeader {
    uint8_t* pData = nullptr;
    uint32_t dwBufferLength = 0;
    uint32_t dwBytesRecorded = 0;
    uint32_t dwFlags = 0;  // device bookkeeping: prepared, queued, done
    uint32_t dwLoops = 0;
    uint32_t dwUser = 0;  // the owner's own word
};

class CWaveDevice {
  public:
    virtual ~CWaveDevice() = default;
    // 0 when the device can play the format.
    virtual int QueryFormat(const CWaveFormat& format) = 0;
    virtual int Open(const CWaveFormat& format) = 0;
    // Why the last open failed, in the backend's own words; empty where it
    // has none.
    virtual std::string GetOpenErrorText() const { return {}; }
    virtual int Prepare(CWaveHeader& header) = 0;
    // Queues a prepared buffer; buffers play in the order written.
    virtual int Write(CWaveHeader& header) = 0;
    // WAVERR_STILLPLAYING until the device has finished with the buffer.
    virtual int Unprepare(CWaveHeader& header) = 0;
    // How many milliseconds a written buffer has left to play, where the
    // device can tell; -1 where it cannot.
    virtual int GetTimeLeftMs(const CWaveHeader&) { return -1; }
    // Drops everything queued; every buffer counts as finished afterwards.
    // A paused device stays paused.
    virtual int Reset() = 0;
    virtual int Close() = 0;
    // Pause stops the sound at once and keeps what is queued; Restart goes on
    // from the sample where it stopped. Both may be called from any thread
    // while another one plays through the device.
    virtual int Pause() { return MMSYSERR_NOTSUPPORTED; }
    virtual int Restart() { return MMSYSERR_NOTSUPPORTED; }
    // Why the device stopped working for good, in the sound system's own
    // words; empty while it works. Once failed, writes are refused and every
    // queued buffer counts as finished.
    virtual std::string GetFailureReason() { return {}; }
    // What the desktop's mixer shows for the stream; given before Open.
    virtual void SetStreamTitle(const std::string&) {}
    // True when the device has a volume of the stream's own (the sound
    // server's stream volume), which may be set and read from any thread
    // while another plays; elsewhere the wave output scales the samples. No
    // device ever moves the card's or the desktop's master volume.
    virtual bool HasVolume() = 0;
    // The volume as one word: low half left, high half right, 0 to 0xFFFF each.
    virtual int GetVolume(uint32_t& dwVolume) = 0;
    virtual int SetVolume(uint32_t dwVolume) = 0;
    // Silences the stream's own volume, which is kept for the unmute; may be
    // called before Open. Only where HasVolume.
    virtual int SetMute(bool) { return MMSYSERR_NOTSUPPORTED; }
};

// "pulse[:SINK]", "alsa[:PCM]", "null" or "wav:PATH"; null for any other name.
std::unique_ptr<CWaveDevice> CreateWaveDevice(std::string_view name);
bool IsValidWaveDeviceName(std::string_view name);

// The device that playback uses: the --output option when given, else the
// CORVINA_OUTPUT environment variable, else "pulse" when a sound server
// answers, else "alsa".
void SetWaveDeviceName(std::string name);
std::string GetWaveDeviceName();
std::unique_ptr<CWaveDevice> CreateDefaultWaveDevice();

// Tests put their own backends in place of the named ones; an empty function
// restores them.
using WaveDeviceFactory = std::function<std::unique_ptr<CWaveDevice>(std::string_view name)>;
void SetWaveDeviceFactory(WaveDeviceFactory factory);
