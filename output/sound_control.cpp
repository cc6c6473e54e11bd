// The playing stream's pause and volume, reached from the interface thread.
#include "output/sound_control.h"

#include <atomic>

#include "output/wave_output.h"

using namespace corvina;

namespace {

// Guards the attached output: it cannot leave while a call is in it.
std::mutex g_outputLock;
CWaveOutput* g_pOutput = nullptr;
std::atomic<uint32_t> g_dwVolume{0xFFFFFFFF};
std::atomic<bool> g_bMuted{false};

}  // namespace

void CSoundControl::Pause() {
    std::lock_guard<std::mutex> lock(g_outputLock);
    if (g_pOutput != nullptr) {
        g_pOutput->PauseDevice();
    }
}

void CSoundControl::Resume() {
    std::lock_guard<std::mutex> lock(g_outputLock);
    if (g_pOutput != nullptr) {
        g_pOutput->RestartDevice();
    }
}

uint32_t CSoundControl::GetVolume() {
    std::lock_guard<std::mutex> lock(g_outputLock);
    uint32_t dwVolume = 0;
    if (g_pOutput != nullptr && g_pOutput->HasDeviceVolume() &&
        g_pOutput->GetDeviceVolume(dwVolume) == 0) {
        g_dwVolume = dwVolume;
    }
    return g_dwVolume;
}

void CSoundControl::SetVolume(uint32_t dwVolume) {
    std::lock_guard<std::mutex> lock(g_outputLock);
    g_dwVolume = dwVolume;
    if (g_pOutput != nullptr && g_pOutput->HasDeviceVolume()) {
        g_pOutput->SetDeviceVolume(dwVolume);
    }
}

uint32_t CSoundControl::GetGain() {
    return g_bMuted ? 0 : g_dwVolume.load();
}

void CSoundControl::SetMuted(bool bMuted) {
    std::lock_guard<std::mutex> lock(g_outputLock);
    g_bMuted = bMuted;
    if (g_pOutput != nullptr && g_pOutput->HasDeviceVolume()) {
        g_pOutput->SetDeviceMute(bMuted);
    }
}

uint32_t CSoundControl::StoredVolume() {
    return g_dwVolume;
}

bool CSoundControl::IsMuted() {
    return g_bMuted;
}

void CSoundControl::Attach(CWaveOutput* pOutput) {
    std::lock_guard<std::mutex> lock(g_outputLock);
    g_pOutput = pOutput;
}

// The stream's volume as the desktop's mixer left it carries over to the next.
void CSoundControl::Detach(CWaveOutput* pOutput) {
    std::lock_guard<std::mutex> lock(g_outputLock);
    if (g_pOutput != pOutput) {
        return;
    }
    uint32_t dwVolume = 0;
    if (pOutput->HasDeviceVolume() && pOutput->GetDeviceVolume(dwVolume) == 0) {
        g_dwVolume = dwVolume;
    }
    g_pOutput = nullptr;
}
