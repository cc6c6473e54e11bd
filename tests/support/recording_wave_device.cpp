// The recording wave device of the tests and the fuzz harness.
#include "tests/support/recording_wave_device.h"

#include <algorithm>
#include <cstring>

int CDeviceLog::Count(const std::string& strName) const {
    std::lock_guard<std::mutex> guard(lock);
    return static_cast<int>(std::count_if(
        calls.begin(), calls.end(), [&](const auto& call) { return call.strName == strName; }));
}

std::vector<std::string> CDeviceLog::NamesFrom(std::size_t nFirst) const {
    std::lock_guard<std::mutex> guard(lock);
    std::vector<std::string> names;
    for (std::size_t i = nFirst; i < calls.size(); ++i) {
        names.push_back(calls[i].strName);
    }
    return names;
}

std::vector<std::string> CDeviceLog::Faults() const {
    std::lock_guard<std::mutex> guard(lock);
    return faults;
}

void CRecordingWaveDevice::CheckFormat(const CWaveFormat& format) {
    m_pLog->format = format;
    if (format.nChannels != 1 && format.nChannels != 2) {
        m_pLog->faults.push_back("format of a bad channel count");
    }
    if (format.wBitsPerSample != 16) {
        m_pLog->faults.push_back("format not 16-bit");
    }
}

bool CRecordingWaveDevice::SpendDelay() {
    int& nBudget = m_pLog->script.nDelayBudget;
    if (nBudget == 0) {
        return false;
    }
    if (nBudget > 0) {
        --nBudget;
    }
    return true;
}

int CRecordingWaveDevice::QueryFormat(const CWaveFormat& format) {
    std::lock_guard<std::mutex> guard(m_pLog->lock);
    m_pLog->calls.push_back({"QueryFormat", nullptr});
    CheckFormat(format);
    return m_pLog->script.nQueryResult;
}

int CRecordingWaveDevice::Open(const CWaveFormat& format) {
    std::lock_guard<std::mutex> guard(m_pLog->lock);
    m_pLog->calls.push_back({"Open", nullptr});
    CheckFormat(format);
    m_nFrameBytes = std::max(1u, format.nChannels * 2u);
    return m_pLog->script.nOpenResult;
}

int CRecordingWaveDevice::Prepare(CWaveHeader& header) {
    std::lock_guard<std::mutex> guard(m_pLog->lock);
    m_pLog->calls.push_back({"Prepare", &header});
    if (header.pData == nullptr) {
        m_pLog->faults.push_back("buffer without data");
    }
    if (m_pLog->script.nBusyPrepares != 0 && SpendDelay()) {
        if (m_pLog->script.nBusyPrepares > 0) {
            --m_pLog->script.nBusyPrepares;
        }
        return MMSYSERR_HANDLEBUSY;
    }
    return m_held.count(&header) != 0 ? WAVERR_STILLPLAYING : MMSYSERR_NOERROR;
}

int CRecordingWaveDevice::Write(CWaveHeader& header) {
    std::lock_guard<std::mutex> guard(m_pLog->lock);
    m_pLog->calls.push_back({"Write", &header});
    if (m_pLog->script.nBusyWrites != 0 && SpendDelay()) {
        if (m_pLog->script.nBusyWrites > 0) {
            --m_pLog->script.nBusyWrites;
        }
        return MMSYSERR_HANDLEBUSY;
    }
    if (m_held.count(&header) != 0) {
        return WAVERR_STILLPLAYING;
    }
    if (header.dwBufferLength % m_nFrameBytes != 0) {
        m_pLog->faults.push_back("buffer of part of a sample frame");
    }
    // Copying the whole buffer lets the address checker see its bounds.
    std::vector<uint8_t> bytes(header.pData, header.pData + header.dwBufferLength);
    m_pLog->submitted.push_back({header.pData, bytes});
    m_held[&header] = {std::move(bytes), m_pLog->script.nPlayPolls};
    m_pLog->nMostHeld = std::max(m_pLog->nMostHeld, m_held.size());
    return MMSYSERR_NOERROR;
}

void CRecordingWaveDevice::Release(const CWaveHeader& header, const CHeld& held) {
    if (header.dwBufferLength != held.bytes.size() ||
        (!held.bytes.empty() &&
         std::memcmp(header.pData, held.bytes.data(), held.bytes.size()) != 0)) {
        m_pLog->faults.push_back("buffer changed while the device held it");
    }
}

int CRecordingWaveDevice::GetTimeLeftMs(const CWaveHeader&) {
    std::lock_guard<std::mutex> lock(m_pLog->lock);
    return m_pLog->script.nTimeLeftMs;
}

int CRecordingWaveDevice::Unprepare(CWaveHeader& header) {
    std::lock_guard<std::mutex> guard(m_pLog->lock);
    m_pLog->calls.push_back({"Unprepare", &header});
    auto it = m_held.find(&header);
    if (it == m_held.end()) {
        return MMSYSERR_NOERROR;
    }
    if (it->second.nPollsLeft != 0 && SpendDelay()) {
        if (it->second.nPollsLeft > 0) {
            --it->second.nPollsLeft;
        }
        return WAVERR_STILLPLAYING;
    }
    Release(header, it->second);
    m_held.erase(it);
    return MMSYSERR_NOERROR;
}

int CRecordingWaveDevice::Reset() {
    std::lock_guard<std::mutex> guard(m_pLog->lock);
    m_pLog->calls.push_back({"Reset", nullptr});
    if (m_pLog->script.nResetResult != MMSYSERR_NOERROR) {
        return m_pLog->script.nResetResult;
    }
    for (const auto& [pHeader, held] : m_held) {
        Release(*pHeader, held);
    }
    m_held.clear();
    return MMSYSERR_NOERROR;
}

int CRecordingWaveDevice::Close() {
    std::lock_guard<std::mutex> guard(m_pLog->lock);
    m_pLog->calls.push_back({"Close", nullptr});
    if (m_pLog->script.nCloseResult != MMSYSERR_NOERROR) {
        return m_pLog->script.nCloseResult;
    }
    return m_held.empty() ? MMSYSERR_NOERROR : WAVERR_STILLPLAYING;
}

CRecordingDeviceInstaller::CRecordingDeviceInstaller() {
    SetWaveDeviceFactory([pLog = m_pLog](std::string_view) -> std::unique_ptr<CWaveDevice> {
        return std::make_unique<CRecordingWaveDevice>(pLog);
    });
}

CRecordingDeviceInstaller::~CRecordingDeviceInstaller() {
    SetWaveDeviceFactory({});
}

void CRecordingDeviceInstaller::InstallNoDevice() {
    SetWaveDeviceFactory([](std::string_view) -> std::unique_ptr<CWaveDevice> { return nullptr; });
}
