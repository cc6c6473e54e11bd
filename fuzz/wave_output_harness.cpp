// Fuzz harness: the wave output on an in-memory device: frames of changing layers,
// channel patterns and sample values, outputs opened at every rate, layer and
// channel count, smooth playback switched on the way, a device that refuses,
// answers busy or holds buffers, and stops at any point. The device checks
// that every buffer it is handed lies inside its block and is left alone
// until it is given back.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "fuzz/fuzz_harness.h"
#include "fuzz/fuzz_support.h"
#include "output/wave_output.h"
#include "platform/wave_device.h"
#include "player/control_block.h"

namespace {

// Reads the input front to back; zeros once it runs out.
class CInput {
  public:
    CInput(const uint8_t* pData, std::size_t nSize) : m_pData(pData), m_nSize(nSize) {}
    bool Empty() const { return m_nAt >= m_nSize; }
    uint8_t Byte() { return m_nAt < m_nSize ? m_pData[m_nAt++] : 0; }

  private:
    const uint8_t* m_pData;
    std::size_t m_nSize;
    std::size_t m_nAt = 0;
};

// Every busy or still-playing answer costs the output a 10 ms sleep; the
// budget keeps one input short; the long waits are the device tests' work.
struct CDeviceScript {
    int nQueryResult = MMSYSERR_NOERROR;
    int nOpenResult = MMSYSERR_NOERROR;
    int nResetResult = MMSYSERR_NOERROR;
    int nCloseResult = MMSYSERR_NOERROR;
    int nBusyAnswers = 0;  // the next Prepare or Write calls answer busy
    int nHoldPolls = 0;    // the next buffer written answers still playing so often
    int nDelayBudget = 3;
};

class CMemoryDevice : public CWaveDevice {
  public:
    explicit CMemoryDevice(CDeviceScript& script) : m_script(script) {}
    ~CMemoryDevice() override = default;

    int QueryFormat(const CWaveFormat& format) override {
        FuzzCheck(format.nChannels == 1 || format.nChannels == 2, "format of a bad channel count");
        FuzzCheck(format.wBitsPerSample == 16, "format not 16-bit");
        return m_script.nQueryResult;
    }
    int Open(const CWaveFormat& format) override {
        m_nFrameBytes = format.nChannels * 2u;
        return m_script.nOpenResult;
    }
    int Prepare(CWaveHeader& header) override {
        FuzzCheck(header.pData != nullptr, "buffer without data");
        return Busy() ? MMSYSERR_HANDLEBUSY : MMSYSERR_NOERROR;
    }
    int Write(CWaveHeader& header) override {
        if (Busy()) {
            return MMSYSERR_HANDLEBUSY;
        }
        if (m_held.count(&header) != 0) {
            return WAVERR_STILLPLAYING;
        }
        FuzzCheck(header.dwBufferLength % m_nFrameBytes == 0, "buffer of part of a sample frame");
        // Reading the whole buffer lets the address checker see its bounds.
        CHeld held{std::vector<uint8_t>(header.pData, header.pData + header.dwBufferLength), 0};
        const int nPolls = std::min(m_script.nHoldPolls, m_script.nDelayBudget);
        held.nPollsLeft = nPolls;
        m_script.nDelayBudget -= nPolls;
        m_script.nHoldPolls = 0;
        m_held.emplace(&header, std::move(held));
        return MMSYSERR_NOERROR;
    }
    int Unprepare(CWaveHeader& header) override {
        auto it = m_held.find(&header);
        if (it == m_held.end()) {
            return MMSYSERR_NOERROR;
        }
        if (it->second.nPollsLeft > 0) {
            --it->second.nPollsLeft;
            return WAVERR_STILLPLAYING;
        }
        Release(header, it->second);
        m_held.erase(it);
        return MMSYSERR_NOERROR;
    }
    int Reset() override {
        if (m_script.nResetResult != MMSYSERR_NOERROR) {
            return m_script.nResetResult;
        }
        for (const auto& [pHeader, held] : m_held) {
            Release(*pHeader, held);
        }
        m_held.clear();
        return MMSYSERR_NOERROR;
    }
    int Close() override { return m_script.nCloseResult; }
    bool HasVolume() override { return false; }
    int GetVolume(uint32_t&) override { return MMSYSERR_NOTSUPPORTED; }
    int SetVolume(uint32_t) override { return MMSYSERR_NOTSUPPORTED; }

  private:
    struct CHeld {
        std::vector<uint8_t> bytes;
        int nPollsLeft;
    };

    bool Busy() {
        if (m_script.nBusyAnswers <= 0 || m_script.nDelayBudget <= 0) {
            return false;
        }
        --m_script.nBusyAnswers;
        --m_script.nDelayBudget;
        return true;
    }
    static void Release(const CWaveHeader& header, const CHeld& held) {
        FuzzCheck(header.dwBufferLength == held.bytes.size() &&
                      (held.bytes.empty() ||
                       std::memcmp(header.pData, held.bytes.data(), held.bytes.size()) == 0),
                  "buffer changed while the device held it");
    }

    CDeviceScript& m_script;
    uint32_t m_nFrameBytes = 4;
    std::map<const CWaveHeader*, CHeld> m_held;
};

CDeviceScript g_script;

int DeviceResult(uint8_t bCode) {
    static const int kResults[] = {MMSYSERR_ERROR, MMSYSERR_ALLOCATED, WAVERR_BADFORMAT,
                                   MMSYSERR_HANDLEBUSY};
    return kResults[bCode & 3];
}

// Opens an output as the next input byte says.
std::unique_ptr<CWaveOutput> OpenOutput(CInput& input) {
    const uint8_t bShape = input.Byte();
    const uint8_t bFaults = input.Byte();
    g_bSmoothPlay = (bShape >> 4) & 1;
    g_script.nQueryResult = (bFaults & 1) != 0 ? DeviceResult(bFaults >> 4) : MMSYSERR_NOERROR;
    g_script.nOpenResult = (bFaults & 2) != 0 ? DeviceResult(bFaults >> 6) : MMSYSERR_NOERROR;
    // A failing reset or close is retried with sleeps: kept rare for speed.
    const int nEndFault = bShape >> 5;
    g_script.nResetResult = nEndFault == 7 ? MMSYSERR_ERROR : MMSYSERR_NOERROR;
    g_script.nCloseResult = nEndFault >= 6 ? WAVERR_STILLPLAYING : MMSYSERR_NOERROR;
    const auto nChannels = static_cast<int16_t>((bShape & 1) + 1);
    const int nLayer = (bShape & 2) != 0 ? 2 : 1;
    // Index 3 is not a rate: the output must still open something sound.
    const int nRate = (bShape >> 2) & 3;
    return std::make_unique<CWaveOutput>(nChannels, nLayer, nRate);
}

// One frame's samples: Layer I or II length, for both channels, one of them,
// or a channel the output does not have.
void WriteFrame(CWaveOutput& output, CInput& input, uint8_t bOp) {
    const int nSamples = (bOp & 2) != 0 ? 1152 : 384;
    const int nPattern = (bOp >> 2) & 3;
    const auto nBase = static_cast<int16_t>(input.Byte() << 8 | input.Byte());
    for (int nSlot = 0; nSlot < nSamples / 32; ++nSlot) {
        for (int16_t nChannel = 0; nChannel < 2; ++nChannel) {
            if ((nPattern == 1 && nChannel == 1) || (nPattern == 2 && nChannel == 0)) {
                continue;
            }
            const int16_t nTarget =
                nPattern == 3 ? static_cast<int16_t>(nChannel * 3 - 1) : nChannel;
            for (int i = 0; i < 32; ++i) {
                output.WriteSample(nTarget, static_cast<int16_t>(nBase + nSlot * 32 + i));
            }
        }
    }
}

}  // namespace

int FuzzWaveOutput(const uint8_t* pData, std::size_t nSize) {
    SetWaveDeviceFactory([](std::string_view) -> std::unique_ptr<CWaveDevice> {
        return std::make_unique<CMemoryDevice>(g_script);
    });
    ResetControlBlock();
    g_script = CDeviceScript();
    CInput input(pData, nSize);
    auto pOutput = OpenOutput(input);
    bool bStopped = false;
    // Enough frames for several turns of the ring, whatever the input's length.
    for (int nOps = 0; nOps < 120 && !input.Empty(); ++nOps) {
        const uint8_t bOp = input.Byte();
        switch (bOp & 0xE1) {
            case 0x20:  // a new output: another rate, layer or channel count
                pOutput.reset();
                g_nPlayState = PLAY_STARTED;
                pOutput = OpenOutput(input);
                bStopped = false;
                break;
            case 0x40:  // the device turns busy or holds the next buffer
                g_script.nBusyAnswers = bOp >> 1 & 15;
                g_script.nHoldPolls = input.Byte();
                break;
            case 0x60:  // smooth playback switched while the output plays
                g_bSmoothPlay = g_bSmoothPlay.load() ^ 1;
                break;
            case 0x80:  // a stop requested
                if ((bOp & 0x1E) == 0x1E) {
                    g_nPlayState = PLAY_STOPPING;
                }
                break;
            default:
                if (!bStopped) {
                    WriteFrame(*pOutput, input, bOp);
                    // After a given-up wait nothing more may be written.
                    bStopped = pOutput->EndFrame() == 0;
                    FuzzCheck(!bStopped || g_nPlayState.load() == PLAY_STOPPING,
                              "a wait given up without a stop");
                }
                break;
        }
    }
    pOutput.reset();
    SetWaveDeviceFactory({});
    ResetControlBlock();
    return 0;
}
