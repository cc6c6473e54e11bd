// Picking a wave device by name.
#include "platform/wave_device.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>

#include "platform/wave_backends.h"

namespace {

std::mutex g_deviceLock;
std::string g_strDeviceName;
WaveDeviceFactory g_fnFactory;

constexpr std::string_view kPulse = "pulse";
constexpr std::string_view kAlsa = "alsa";
constexpr std::string_view kNull = "null";
constexpr std::string_view kWav = "wav:";

}  // namespace

bool IsValidWaveDeviceName(std::string_view name) {
    if (name == kPulse || name == kAlsa || name == kNull) {
        return true;
    }
    if (name.starts_with("pulse:")) {
        return name.size() > 6;
    }
    if (name.starts_with("alsa:")) {
        return name.size() > 5;
    }
    return name.starts_with(kWav) && name.size() > kWav.size();
}

std::unique_ptr<CWaveDevice> CreateWaveDevice(std::string_view name) {
    WaveDeviceFactory fnFactory;
    {
        std::lock_guard<std::mutex> lock(g_deviceLock);
        fnFactory = g_fnFactory;
    }
    if (fnFactory) {
        return fnFactory(name);
    }
    if (!IsValidWaveDeviceName(name)) {
        return nullptr;
    }
    if (name == kNull) {
        return CreateNullWaveDevice();
    }
    if (name.starts_with(kWav)) {
        return CreateWavFileWaveDevice(std::string(name.substr(kWav.size())));
    }
    if (name.starts_with(kPulse)) {
        return CreatePulseWaveDevice(
            std::string(name.substr(std::min(name.size(), kPulse.size() + 1))));
    }
    const std::string_view pcm = name == kAlsa ? std::string_view("default") : name.substr(5);
    return CreateAlsaWaveDevice(std::string(pcm));
}

void SetWaveDeviceName(std::string name) {
    std::lock_guard<std::mutex> lock(g_deviceLock);
    g_strDeviceName = std::move(name);
}

std::string GetWaveDeviceName() {
    {
        std::lock_guard<std::mutex> lock(g_deviceLock);
        if (!g_strDeviceName.empty()) {
            return g_strDeviceName;
        }
    }
    const char* pszEnvironment = std::getenv("CORVINA_OUTPUT");
    if (pszEnvironment != nullptr && *pszEnvironment != '\0') {
        return pszEnvironment;
    }
    return std::string(IsSoundServerAnswering() ? kPulse : kAlsa);
}

std::unique_ptr<CWaveDevice> CreateDefaultWaveDevice() {
    return CreateWaveDevice(GetWaveDeviceName());
}

void SetWaveDeviceFactory(WaveDeviceFactory factory) {
    std::lock_guard<std::mutex> lock(g_deviceLock);
    g_fnFactory = std::move(factory);
}
