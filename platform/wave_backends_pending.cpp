// Placeholder backends until the real ones are built.
#include "platform/wave_backends.h"

std::unique_ptr<CWaveDevice> CreateAlsaWaveDevice(const std::string&) {
    return nullptr;
}
std::unique_ptr<CWaveDevice> CreateNullWaveDevice() {
    return nullptr;
}
std::unique_ptr<CWaveDevice> CreateWavFileWaveDevice(const std::string&) {
    return nullptr;
}
