// Fuzz harness: the wave output on the recording device: frames of changing
// layers, channel patterns and sample values, outputs opened at every rate,
// layer and channel count, with and without smooth playback, a device that
// refuses, answers busy or holds buffers, and stops at any point. The device
// checks that every buffer it is handed lies inside its block and is left
// alone until it is given back.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_harness.h"
#include "fuzz/fuzz_support.h"
#include "output/wave_output.h"
#include "platform/wave_device.h"
#include "tests/support/recording_wave_device.h"

using namespace corvina;

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
constexpr int kDelayBudget = 3;

int DeviceResult(uint8_t bCode) {
    static const int kResults[] = {MMSYSERR_ERROR, MMSYSERR_ALLOCATED, WAVERR_BADFORMAT,
                                   MMSYSERR_HANDLEBUSY};
    return kResults[bCode & 3];
}

// Opens an output as the next input bytes say; it stops once bStop is set.
std::unique_ptr<CWaveOutput> OpenOutput(CInput& input, CDeviceScript& script, const bool& bStop) {
    const uint8_t bShape = input.Byte();
    const uint8_t bFaults = input.Byte();
    const bool bSmooth = ((bShape >> 4) & 1) != 0;
    script.nQueryResult = (bFaults & 1) != 0 ? DeviceResult(bFaults >> 4) : MMSYSERR_NOERROR;
    script.nOpenResult = (bFaults & 2) != 0 ? DeviceResult(bFaults >> 6) : MMSYSERR_NOERROR;
    // A failing reset or close is retried with sleeps: kept rare for speed.
    const int nEndFault = bShape >> 5;
    script.nResetResult = nEndFault == 7 ? MMSYSERR_ERROR : MMSYSERR_NOERROR;
    script.nCloseResult = nEndFault >= 6 ? WAVERR_STILLPLAYING : MMSYSERR_NOERROR;
    // The last rate is none at all: the output must still open something sound.
    static const int kRates[] = {44100, 48000, 32000, 0};
    CStreamFormat format;
    format.nChannels = (bShape & 1) + 1;
    format.nSamplesPerFrame = (bShape & 2) != 0 ? 1152 : 384;
    format.nSampleRate = kRates[(bShape >> 2) & 3];
    return std::make_unique<CWaveOutput>(
        format, bSmooth, [&bStop] { return bStop; }, WarningReporter());
}

// One frame's samples: Layer I or II length, in one or two channels (the
// output's or not), whole or cut at a seek's target, even within a pair.
void WriteFrame(CWaveOutput& output, CInput& input, uint8_t bOp) {
    const std::size_t nSamples = (bOp & 2) != 0 ? 1152 : 384;
    const int nChannels = (bOp & 4) != 0 ? 2 : 1;
    const auto nBase = static_cast<uint16_t>(input.Byte() << 8 | input.Byte());
    std::vector<int16_t> frame(nSamples * static_cast<std::size_t>(nChannels));
    for (std::size_t i = 0; i < frame.size(); ++i) {
        frame[i] = static_cast<int16_t>(nBase + i);
    }
    const std::size_t nCut = (bOp & 8) != 0 ? nBase % frame.size() : 0;
    output.WriteFrame(std::span<const int16_t>(frame).subspan(nCut), nChannels);
}

}  // namespace

int FuzzWaveOutput(const uint8_t* pData, std::size_t nSize) {
    CRecordingDeviceInstaller devices;
    CDeviceScript& script = devices.Log().script;
    script.nDelayBudget = kDelayBudget;
    CInput input(pData, nSize);
    bool bStopRequested = false;
    auto pOutput = OpenOutput(input, script, bStopRequested);
    bool bStopped = false;
    // Enough frames for several turns of the ring, whatever the input's length.
    for (int nOps = 0; nOps < 120 && !input.Empty(); ++nOps) {
        const uint8_t bOp = input.Byte();
        switch (bOp & 0xE1) {
            case 0x20:  // a new output: another rate, layer or channel count
                pOutput.reset();
                bStopRequested = false;
                pOutput = OpenOutput(input, script, bStopRequested);
                bStopped = false;
                break;
            case 0x40:  // the device turns busy or holds the buffers
                script.nBusyPrepares = bOp >> 1 & 3;
                script.nBusyWrites = bOp >> 3 & 3;
                script.nPlayPolls = input.Byte();
                break;
            case 0x80:  // a stop requested
                if ((bOp & 0x1E) == 0x1E) {
                    bStopRequested = true;
                }
                break;
            default:
                if (!bStopped) {
                    WriteFrame(*pOutput, input, bOp);
                    // After a given-up wait nothing more may be written.
                    bStopped = pOutput->EndFrame() == 0;
                    FuzzCheck(!bStopped || bStopRequested, "a wait given up without a stop");
                }
                break;
        }
    }
    pOutput.reset();
    const std::vector<std::string> faults = devices.Log().Faults();
    FuzzCheck(faults.empty(), faults.empty() ? "" : faults.front().c_str());
    return 0;
}
