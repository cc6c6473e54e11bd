// The wave output: priming, steady play with polling, play-out and smooth playback.
#include "output/wave_output.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <string>

#include "output/replay_gain.h"
#include "output/sound_control.h"
#include "platform/worker_thread.h"

using namespace corvina;

namespace {

constexpr int kGaveUp = -1;   // a retry loop left because a stop was requested
constexpr int kDropped = -2;  // a retry loop left because the queued sound is to go
constexpr int kPollMs = 10;
// The longest sleep of a wait, so that a move of the stream is looked at
// soon even when nobody wakes the sleep.
constexpr int kMaxSleepMs = 40;
constexpr uint32_t kFullVolume = 0xFFFFFFFF;

constexpr const char* kDeviceWarning = "Wave device open failed!";
constexpr const char* kBusyWarning =
    "Wave device open failed! Check if it is being used by another application!";
constexpr int kPrimingRetries = 3;
constexpr int kRetries = 50;
constexpr int kCloseRetries = 3;

bool IsStillHeld(int nResult) {
    return nResult == WAVERR_STILLPLAYING || nResult == MMSYSERR_HANDLEBUSY;
}

bool IsCutShort(int nResult) {
    return nResult == kGaveUp || nResult == kDropped;
}

// One 16-bit little-endian sample scaled by a volume half (0..0xFFFF).
void ScaleSample(uint8_t* pSample, uint32_t dwGain) {
    const auto nSample = static_cast<int16_t>(static_cast<uint16_t>(pSample[0] | pSample[1] << 8));
    const auto wScaled = static_cast<uint16_t>(static_cast<int16_t>(
        static_cast<int32_t>(nSample) * static_cast<int32_t>(dwGain) / 0xFFFF));
    pSample[0] = static_cast<uint8_t>(wScaled & 0xFF);
    pSample[1] = static_cast<uint8_t>(wScaled >> 8);
}

}  // namespace

CWaveOutput::CWaveOutput(const CStreamFormat& streamFormat, bool bSmooth, StopRequest fnStop,
                         WarningReporter fnReport, CWaveOutputLinks links)
    : m_fnStop(std::move(fnStop)), m_fnReport(std::move(fnReport)), m_links(std::move(links)) {
    m_bSmooth = bSmooth;
    OpenDevice(streamFormat);
}

void CWaveOutput::OpenDevice(const CStreamFormat& streamFormat) {
    m_nChannels = streamFormat.nChannels >= 2 ? 2 : 1;
    m_nSamplesPerFrame = streamFormat.nSamplesPerFrame == 384 ? 384 : 1152;
    m_nBufferSize =
        static_cast<uint32_t>(m_nSamplesPerFrame * m_nChannels * 2 * m_nFramesPerBuffer);
    if (m_bSmooth) {
        m_nBufferSize /= 2;
    }

    CWaveFormat format;
    format.nChannels = static_cast<uint16_t>(m_nChannels);
    format.nSamplesPerSec =
        static_cast<uint32_t>(streamFormat.nSampleRate > 0 ? streamFormat.nSampleRate : 44100);
    m_dFrameSeconds = static_cast<double>(m_nSamplesPerFrame) / format.nSamplesPerSec;
    if (m_bSmooth) {
        format.nSamplesPerSec /= 2;
    }
    format.wBitsPerSample = 16;

    m_pDevice = CreateDefaultWaveDevice();
    // A device that cannot be opened at all cannot be asked about formats
    // either: only a refusal of the format itself is told as one.
    if (m_pDevice != nullptr && m_pDevice->QueryFormat(format) == WAVERR_BADFORMAT) {
        ReportWarning(m_fnReport, "PCM waveformt not supported!");
    }
    if (m_pDevice != nullptr) {
        m_pDevice->SetStreamTitle(m_links.strTitle);
        m_bDeviceVolume = m_pDevice->HasVolume();
        if (m_bDeviceVolume) {
            (void)m_pDevice->SetVolume(CSoundControl::StoredVolume());
            (void)m_pDevice->SetMute(CSoundControl::IsMuted());
        }
    }
    const int nOpen = m_pDevice != nullptr ? m_pDevice->Open(format) : MMSYSERR_ERROR;
    if (nOpen != MMSYSERR_NOERROR) {
        // The device's own reason, unless it only said it is busy.
        m_strDeviceError = m_pDevice != nullptr ? m_pDevice->GetOpenErrorText() : "";
        if (m_strDeviceError.empty() && m_pDevice != nullptr) {
            m_strDeviceError = m_pDevice->GetFailureReason();
        }
        // The device's own reason (no such device, no permission) comes
        // first; only a device taken by another program is said to be busy.
        ReportDeviceFailure(m_strDeviceError, nOpen == MMSYSERR_ALLOCATED);
        // Never used again: nothing plays.
        m_pDevice.reset();
    } else {
        CSoundControl::Attach(this);
        m_bAttached = true;
    }

    for (auto& pBuffer : m_ring) {
        pBuffer = NewBuffer();
    }
    ResetWritePositions();
}

CWaveOutput::~CWaveOutput() {
    CloseDevice(true);
}

void CWaveOutput::ChangeFormat(const CStreamFormat& format) {
    // What the device holds plays out at its own rate first; the time
    // written goes on from where it stands.
    CloseDevice(false);
    m_dSecondsBefore = WrittenSeconds();
    m_nFramesEnded = 0;
    m_nPrimed = 0;
    m_nFramesInBuffer = 0;
    m_bDiscarding = false;
    m_held.clear();
    OpenDevice(format);
}

void CWaveOutput::CloseDevice(bool bPad) {
    if (m_pDevice != nullptr) {
        if (!m_bStopped && !IsStopRequested(m_fnStop)) {
            PlayOut(bPad);
            HasDeviceFailed();
        }
        if (m_bAttached) {
            CSoundControl::Detach(this);
        }
        // Failures here are retried a few times, but never waited on longer.
        for (int i = 0; i <= kCloseRetries && m_pDevice->Reset() != MMSYSERR_NOERROR; ++i) {
            CWorkerThread::Sleep(kPollMs);
        }
        for (int i = 0; i <= kCloseRetries && m_pDevice->Close() != MMSYSERR_NOERROR; ++i) {
            CWorkerThread::Sleep(kPollMs);
        }
        // Gone before the data blocks, so nothing can refer to them afterwards.
        m_pDevice.reset();
        m_bAttached = false;
    }
}

std::unique_ptr<CWaveBuffer> CWaveOutput::NewBuffer() const {
    auto pBuffer = std::make_unique<CWaveBuffer>();
    pBuffer->data.assign(m_nBufferSize, 0);
    pBuffer->header.pData = pBuffer->data.data();
    pBuffer->header.dwBufferLength = m_nBufferSize;
    return pBuffer;
}

// Calls the device until it answers something other than busy (or, with a
// buffer awaited, other than still playing), up to nRetries more times,
// 10 ms apart. kGaveUp as soon as a stop is requested, kDropped as soon as
// the queued sound is to go. A device that knows how long the awaited buffer
// has left lets the wait sleep through that time in steps of up to 40 ms;
// each sleep counts as the 10 ms steps it replaces, and a stop still cuts it
// short.
template <typename FnCall>
int CWaveOutput::CallDevice(FnCall fnCall, int nRetries, const CWaveHeader* pAwaited) {
    int nResult = fnCall();
    for (int i = 0; i < nRetries;) {
        const bool bStillPlaying = pAwaited != nullptr && nResult == WAVERR_STILLPLAYING;
        if (nResult != MMSYSERR_HANDLEBUSY && !bStillPlaying) {
            break;
        }
        if (IsStopRequested(m_fnStop)) {
            return kGaveUp;
        }
        if (IsDropRequested()) {
            return kDropped;
        }
        int nSteps = 1;
        if (bStillPlaying) {
            const int nLeftMs = m_pDevice->GetTimeLeftMs(*pAwaited);
            nSteps =
                std::clamp(nLeftMs / kPollMs, 1, std::min(nRetries - i, kMaxSleepMs / kPollMs));
        }
        CWorkerThread::Sleep(nSteps * kPollMs);
        // A stop wakes the sleep, which may have been the last one.
        if (IsStopRequested(m_fnStop)) {
            return kGaveUp;
        }
        if (IsDropRequested()) {
            return kDropped;
        }
        i += nSteps;
        nResult = fnCall();
    }
    return nResult;
}

// Hands one buffer to the device. A buffer the device refuses is lost (a gap
// in the sound), and the ring goes on.
int CWaveOutput::Submit(CWaveBuffer& buffer, int nRetries) {
    CWaveHeader& header = buffer.header;
    ApplyGain(buffer);
    int nResult = CallDevice([&] { return m_pDevice->Prepare(header); }, nRetries, nullptr);
    if (IsCutShort(nResult)) {
        return nResult;
    }
    nResult = CallDevice([&] { return m_pDevice->Write(header); }, nRetries, nullptr);
    if (IsCutShort(nResult)) {
        return nResult;
    }
    header.dwUser = 1;
    return MMSYSERR_NOERROR;
}

// The player's volume as a gain on the samples, for a device without a
// volume of its own; the left half for a single channel.
void CWaveOutput::ApplyGain(CWaveBuffer& buffer) const {
    if (m_dReplayGain != 1.0) {
        const uint32_t nBytes = std::min<uint32_t>(buffer.header.dwBufferLength, m_nBufferSize);
        for (uint32_t nOffset = 0; nOffset + 2 <= nBytes; nOffset += 2) {
            uint8_t* pSample = buffer.data.data() + nOffset;
            const auto wScaled = static_cast<uint16_t>(ApplyReplayGain(
                static_cast<int16_t>(static_cast<uint16_t>(pSample[0] | pSample[1] << 8)),
                m_dReplayGain));
            pSample[0] = static_cast<uint8_t>(wScaled & 0xFF);
            pSample[1] = static_cast<uint8_t>(wScaled >> 8);
        }
    }
    const uint32_t dwVolume = CSoundControl::GetGain();
    if (m_bDeviceVolume || dwVolume == kFullVolume) {
        return;
    }
    const uint32_t adwGain[2] = {dwVolume & 0xFFFF, dwVolume >> 16};
    const uint32_t nLength = std::min<uint32_t>(buffer.header.dwBufferLength, m_nBufferSize);
    for (uint32_t nOffset = 0; nOffset + 2 <= nLength; nOffset += 2) {
        const uint32_t nChannel = m_nChannels == 2 ? (nOffset / 2) % 2 : 0;
        ScaleSample(buffer.data.data() + nOffset, adwGain[nChannel]);
    }
}

bool CWaveOutput::IsDropRequested() const {
    return IsStopRequested(m_links.fnDropRequested);
}

void CWaveOutput::DropQueued() {
    if (m_pDevice != nullptr) {
        (void)m_pDevice->Reset();
        for (auto& pBuffer : m_ring) {
            if (pBuffer->header.dwUser != 0 &&
                !IsStillHeld(m_pDevice->Unprepare(pBuffer->header))) {
                pBuffer->header.dwUser = 0;
            }
        }
        ReclaimHeldBuffers();
        // A buffer that the device still holds after its reset is left with it.
        for (auto& pBuffer : m_ring) {
            if (pBuffer->header.dwUser != 0 && m_held.size() < kMaxHeldBuffers) {
                m_held.push_back(std::move(pBuffer));
                pBuffer = NewBuffer();
            }
        }
    }
    m_nPrimed = 0;
    m_nFramesInBuffer = 0;
    m_bDiscarding = false;
    ResetWritePositions();
}

// Tells a failure of the device once, with the sound system's own reason.
bool CWaveOutput::HasDeviceFailed() {
    if (!m_bFailed && m_pDevice != nullptr) {
        const std::string strReason = m_pDevice->GetFailureReason();
        if (!strReason.empty()) {
            ReportDeviceFailure(strReason, false);
        }
    }
    return m_bFailed;
}

void CWaveOutput::ReportDeviceFailure(const std::string& strReason, bool bBusy) {
    m_bFailed = true;
    const std::string strWarning = bBusy ? kBusyWarning : kDeviceWarning;
    const std::string strDevice = "sound device " + GetWaveDeviceName() + ": ";
    ReportWarning(m_fnReport, strReason.empty() ? strDevice + strWarning
                                                : strDevice + strReason + " (" + strWarning + ")");
    if (m_links.fnDeviceFailed) {
        m_links.fnDeviceFailed();
    }
}

// Waits until the device has finished with a submitted buffer; the device's
// last answer, or kGaveUp.
int CWaveOutput::AwaitBuffer(CWaveBuffer& buffer) {
    if (buffer.header.dwUser == 0) {
        return MMSYSERR_NOERROR;
    }
    return CallDevice([&] { return m_pDevice->Unprepare(buffer.header); }, kRetries,
                      &buffer.header);
}

// Makes the filling buffer one that the device does not hold. When the
// oldest buffer is still playing after the bounded wait, it stays with the
// device and the ring takes a fresh one; once kMaxHeldBuffers are held that
// way, the sound is dropped until the device gives one back.
int CWaveOutput::AwaitFillingBuffer() {
    const int nResult = AwaitBuffer(*m_ring[kLast]);
    if (IsCutShort(nResult)) {
        return nResult;
    }
    if (!IsStillHeld(nResult)) {
        m_bDiscarding = false;
        return MMSYSERR_NOERROR;
    }
    ReclaimHeldBuffers();
    if (m_held.size() < kMaxHeldBuffers) {
        m_held.push_back(std::move(m_ring[kLast]));
        m_ring[kLast] = NewBuffer();
        m_bDiscarding = false;
    } else {
        m_bDiscarding = true;
    }
    return MMSYSERR_NOERROR;
}

void CWaveOutput::ReclaimHeldBuffers() {
    std::erase_if(m_held, [this](const std::unique_ptr<CWaveBuffer>& pBuffer) {
        return !IsStillHeld(m_pDevice->Unprepare(pBuffer->header));
    });
}

// The last entry moves to the front: the newest submitted buffer is then the
// first, and the oldest is the last, which is filled next.
void CWaveOutput::RotateRing() {
    std::rotate(m_ring.begin(), m_ring.end() - 1, m_ring.end());
}

void CWaveOutput::ResetWritePositions() {
    m_nWritePosition[0] = 0;
    m_nWritePosition[1] = 2;
    m_pFill = m_ring[kLast]->data.data();
}

// After a frame that brought samples for one channel only, the other
// channel's part of the frame is silence, not what an earlier use of the
// buffer left there.
void CWaveOutput::EvenOutChannels() {
    if (m_nChannels != 2 || m_bDiscarding) {
        return;
    }
    uint32_t& nLeft = m_nWritePosition[0];
    uint32_t& nRight = m_nWritePosition[1];
    while (nRight - 2 < nLeft && nRight + 2 <= m_nBufferSize) {
        m_pFill[nRight] = 0;
        m_pFill[nRight + 1] = 0;
        nRight += 4;
    }
    while (nLeft < nRight - 2 && nLeft + 2 <= m_nBufferSize) {
        m_pFill[nLeft] = 0;
        m_pFill[nLeft + 1] = 0;
        nLeft += 4;
    }
}

// Bytes of whole sample frames written into the filling buffer.
uint32_t CWaveOutput::FilledBytes() const {
    return std::min(m_nWritePosition[0], m_nBufferSize);
}

int32_t CWaveOutput::GiveUp() {
    m_bStopped = true;
    m_bDiscarding = true;
    return 0;
}

void CWaveOutput::StoreSample(int nChannel, int16_t nSample) {
    if (m_bSmooth) {
        if (m_nDropToggle[nChannel] != 0) {
            m_nDropToggle[nChannel] = 0;
            return;
        }
        m_nDropToggle[nChannel] = 1;
    }
    uint32_t& nPosition = m_nWritePosition[nChannel];
    // A frame longer than the first frame's layer does not reach past the buffer.
    if (nPosition + 2 > m_nBufferSize) {
        return;
    }
    const auto wSample = static_cast<uint16_t>(nSample);
    m_pFill[nPosition] = static_cast<uint8_t>(wSample & 0xFF);
    m_pFill[nPosition + 1] = static_cast<uint8_t>(wSample >> 8);
    nPosition += static_cast<uint32_t>(m_nChannels) * 2;
}

// A channel the output does not have is not heard.
void CWaveOutput::WriteFrame(std::span<const int16_t> samples, int nChannels) {
    if (m_bDiscarding) {
        return;
    }
    uint32_t& nLeft = m_nWritePosition[0];
    uint32_t& nRight = m_nWritePosition[1];
    // Where the frame has the output's channels and they stand side by side
    // in the buffer, the frame's bytes go in as they are, as far as they fit.
    const bool bInStep = m_nChannels == 1 || nRight == nLeft + 2;
    if (nChannels == m_nChannels && bInStep && !m_bSmooth &&
        std::endian::native == std::endian::little) {
        const uint32_t nRoom = nLeft < m_nBufferSize ? (m_nBufferSize - nLeft) / 2 : 0;
        const auto nFit = static_cast<uint32_t>(std::min<std::size_t>(samples.size(), nRoom));
        std::memcpy(m_pFill + nLeft, samples.data(), 2 * static_cast<std::size_t>(nFit));
        if (m_nChannels == 1) {
            nLeft += 2 * nFit;
        } else {
            nLeft += 4 * ((nFit + 1) / 2);
            nRight += 4 * (nFit / 2);
        }
        return;
    }
    const auto nStride = static_cast<std::size_t>(nChannels);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto nChannel = static_cast<int>(i % nStride);
        if (nChannel < m_nChannels) {
            StoreSample(nChannel, samples[i]);
        }
    }
}

double CWaveOutput::PlayedSeconds() const {
    const double dWritten = WrittenSeconds();
    if (m_pDevice == nullptr) {
        return dWritten;
    }
    // Not yet handed over: the filling buffer and those held back while priming.
    const int nPrimedWaiting = m_nPrimed < m_nPrimingCount ? m_nPrimed : 0;
    double dQueued = (m_nFramesInBuffer + nPrimedWaiting * m_nFramesPerBuffer) * m_dFrameSeconds;
    // The device tells each buffer's time left up to that buffer's end, so
    // the longest of them covers the whole queue.
    int nLeftMs = 0;
    const auto Consider = [&](const std::unique_ptr<CWaveBuffer>& pBuffer) {
        if (pBuffer != nullptr && pBuffer->header.dwUser != 0) {
            nLeftMs = std::max(nLeftMs, m_pDevice->GetTimeLeftMs(pBuffer->header));
        }
    };
    std::for_each(m_ring.begin(), m_ring.end(), Consider);
    std::for_each(m_held.begin(), m_held.end(), Consider);
    dQueued += nLeftMs / 1000.0;
    return std::max(0.0, dWritten - dQueued);
}

int32_t CWaveOutput::EndFrame() {
    if (m_bStopped) {
        return 0;
    }
    // What was decoded before the move is not heard either.
    if (IsDropRequested()) {
        DropQueued();
        return 1;
    }
    ++m_nFramesEnded;
    EvenOutChannels();
    ++m_nFramesInBuffer;
    // A buffer also counts as full when frames of a longer layer than the
    // first frame's have filled it early.
    if (m_nFramesInBuffer < m_nFramesPerBuffer && FilledBytes() < m_nBufferSize) {
        return 1;
    }
    m_nFramesInBuffer = 0;
    if (m_bDiscarding) {
        // The filling buffer is still the device's: ask for it once more.
        return GoOn(AwaitFillingBuffer());
    }
    // Frames of a shorter layer leave the buffer part filled: only what was
    // written is played.
    m_ring[kLast]->header.dwBufferLength = FilledBytes();
    return GoOn(HandOverBuffer());
}

// The filled buffer goes on: held back while priming (the primed ones
// submitted once there are enough of them), else submitted, and the next one
// to fill awaited. kGaveUp when a stop cut it short or the device failed,
// kDropped when the queued sound is to go.
int CWaveOutput::HandOverBuffer() {
    if (m_nPrimed < m_nPrimingCount) {
        ++m_nPrimed;
        RotateRing();
        if (m_nPrimed == m_nPrimingCount && m_pDevice != nullptr) {
            for (int i = m_nPrimingCount - 1; i >= 0; --i) {
                const int nResult = OrFailure(Submit(*m_ring[i], kPrimingRetries));
                if (IsCutShort(nResult)) {
                    return nResult;
                }
            }
        }
        return MMSYSERR_NOERROR;
    }
    if (m_pDevice == nullptr) {
        RotateRing();
        return MMSYSERR_NOERROR;
    }
    int nResult = Submit(*m_ring[kLast], kRetries);
    if (nResult == MMSYSERR_NOERROR) {
        RotateRing();
        nResult = AwaitFillingBuffer();
    }
    return OrFailure(nResult);
}

int CWaveOutput::OrFailure(int nResult) {
    return nResult == kGaveUp || HasDeviceFailed() ? kGaveUp : nResult;
}

// The end of a frame after the device calls that answered nResult: a stop
// gives up, a move drops what is queued, and anything else goes on into the
// next buffer.
int32_t CWaveOutput::GoOn(int nResult) {
    if (nResult == kGaveUp) {
        return GiveUp();
    }
    if (nResult == kDropped) {
        DropQueued();
        return 1;
    }
    ResetWritePositions();
    return 1;
}

// Hands over what is still held back, pads the last buffer with silence and
// waits for everything to be played. False when a stop cut it short.
bool CWaveOutput::PlayOut(bool bPad) {
    if (m_bFailed) {
        return false;
    }
    if (m_nPrimed < m_nPrimingCount && m_nPrimed > 0) {
        // At most one completed buffer while priming: the first entry.
        if (IsCutShort(Submit(*m_ring[0], kRetries))) {
            return false;
        }
    }
    if (m_nFramesInBuffer > 0 && !m_bDiscarding) {
        EvenOutChannels();
        CWaveBuffer& filling = *m_ring[kLast];
        const uint32_t nFilled = FilledBytes();
        if (bPad) {
            std::memset(filling.data.data() + nFilled, 0, m_nBufferSize - nFilled);
        }
        filling.header.dwBufferLength = bPad ? m_nBufferSize : nFilled;
        if (IsCutShort(Submit(filling, kRetries))) {
            return false;
        }
        RotateRing();
    }
    for (int i = kLast; i >= 0; --i) {
        if (IsCutShort(AwaitBuffer(*m_ring[i]))) {
            return false;
        }
    }
    return true;
}
