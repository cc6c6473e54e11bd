// The wave-device backends behind CreateWaveDevice.
#pragma once

#include <memory>
#include <string>

#include "platform/wave_device.h"

// SINK is a sink name of the sound server; empty for the server's default.
std::unique_ptr<CWaveDevice> CreatePulseWaveDevice(const std::string& strSink);
// True when a sound server takes a connection; asked once per process.
bool IsSoundServerAnswering();
// PCM is an ALSA device name such as "default", "hw:0,0" or "file:'out.raw',raw".
std::unique_ptr<CWaveDevice> CreateAlsaWaveDevice(const std::string& strPcm);
std::unique_ptr<CWaveDevice> CreateNullWaveDevice();
std::unique_ptr<CWaveDevice> CreateWavFileWaveDevice(const std::string& strPath);
