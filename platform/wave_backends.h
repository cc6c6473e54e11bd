// The wave-device backends behind CreateWaveDevice.
#pragma once

#include <memory>
#include <string>

#include "platform/wave_device.h"

// PCM is an ALSA device name such as "default", "hw:0,0" or "file:'out.raw',raw".
std::unique_ptr<CWaveDevice> CreateAlsaWaveDevice(const std::string& strPcm);
std::unique_ptr<CWaveDevice> CreateNullWaveDevice();
std::unique_ptr<CWaveDevice> CreateWavFileWaveDevice(const std::string& strPath);
