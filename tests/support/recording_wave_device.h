// A wave device of the tests and the fuzz harness: answers as its script
// says, records every call and every buffer handed to it, and notes each
// thing the wave output did wrong by it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/wave_device.h"

struct CDeviceScript {
    int nQueryResult = MMSYSERR_NOERROR;
    int nOpenResult = MMSYSERR_NOERROR;
    int nBusyPrepares = 0;  // so many Prepare calls answer busy first; -1: every one
    int nBusyWrites = 0;
    // Unprepare answers still playing so many times per buffer; -1: until reset.
    int nPlayPolls = 0;
    // What GetTimeLeftMs answers for a buffer the device holds.
    int nTimeLeftMs = -1;
    int nResetResult = MMSYSERR_NOERROR;  // anything else: Reset drops nothing
    int nCloseResult = MMSYSERR_NOERROR;
    // Every busy or still-playing answer costs the output a sleep: so many
    // are given in all, then the device answers at once; -1: no bound.
    int nDelayBudget = -1;
};

struct CDeviceCall {
    std::string strName;
    const CWaveHeader* pHeader;
};

struct CSubmittedBuffer {
    const uint8_t* pData;
    std::vector<uint8_t> bytes;  // as handed over
};

// Shared by the caller and the device, which the wave output owns. The device
// takes the lock for every call, so a test may count calls while a worker
// plays; the fields themselves are read once the worker has ended.
struct CDeviceLog {
    mutable std::mutex lock;
    CDeviceScript script;
    CWaveFormat format;
    std::vector<CDeviceCall> calls;
    std::vector<CSubmittedBuffer> submitted;
    // What the output did wrong: a bad format, a buffer without data or of
    // part of a sample frame, a buffer written into while the device held it.
    std::vector<std::string> faults;
    std::size_t nMostHeld = 0;

    int Count(const std::string& strName) const;
    // The calls after the nth of that name (0: the first).
    std::vector<std::string> NamesFrom(std::size_t nFirst) const;
    std::vector<std::string> Faults() const;
};

class CRecordingWaveDevice : public CWaveDevice {
  public:
    explicit CRecordingWaveDevice(std::shared_ptr<CDeviceLog> pLog) : m_pLog(std::move(pLog)) {}

    int QueryFormat(const CWaveFormat& format) override;
    int Open(const CWaveFormat& format) override;
    int Prepare(CWaveHeader& header) override;
    int Write(CWaveHeader& header) override;
    int Unprepare(CWaveHeader& header) override;
    int GetTimeLeftMs(const CWaveHeader& header) override;
    int Reset() override;
    int Close() override;
    bool HasVolume() override { return false; }
    int GetVolume(uint32_t&) override { return MMSYSERR_NOTSUPPORTED; }
    int SetVolume(uint32_t) override { return MMSYSERR_NOTSUPPORTED; }

  private:
    struct CHeld {
        std::vector<uint8_t> bytes;
        int nPollsLeft;
    };
    void CheckFormat(const CWaveFormat& format);
    // Takes one answer that makes the output wait, while the budget lasts.
    bool SpendDelay();
    void Release(const CWaveHeader& header, const CHeld& held);

    std::shared_ptr<CDeviceLog> m_pLog;
    std::map<const CWaveHeader*, CHeld> m_held;
    uint32_t m_nFrameBytes = 4;
};

// Installs the recording device as every named device for its lifetime.
class CRecordingDeviceInstaller {
  public:
    CRecordingDeviceInstaller();
    ~CRecordingDeviceInstaller();
    CRecordingDeviceInstaller(const CRecordingDeviceInstaller&) = delete;
    CRecordingDeviceInstaller& operator=(const CRecordingDeviceInstaller&) = delete;

    CDeviceLog& Log() { return *m_pLog; }
    // Later devices come as null, as when no backend matches the name.
    void InstallNoDevice();

  private:
    std::shared_ptr<CDeviceLog> m_pLog = std::make_shared<CDeviceLog>();
};
