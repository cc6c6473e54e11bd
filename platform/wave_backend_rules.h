// What every wave-device backend does alike: the buffer flags and the format check.
#pragma once

#include <cstdint>

#include "platform/wave_device.h"

enum : uint32_t {
    WHDR_DONE = 0x01,
    WHDR_PREPARED = 0x02,
    WHDR_INQUEUE = 0x10,
};

// The device side of Prepare, Write and Unprepare, alike for every backend.
// Each answers the result code for the owner; 0 means the step may go on.
int MarkWaveHeaderPrepared(CWaveHeader& header);
int MarkWaveHeaderQueued(CWaveHeader& header);
// For a buffer that the device has finished with (played, written or reset).
void MarkWaveHeaderDone(CWaveHeader& header);
// Call only once the device no longer holds the buffer.
int MarkWaveHeaderUnprepared(CWaveHeader& header);

// 16-bit PCM with one or two channels at a rate the backends can describe.
bool IsPcm16Format(const CWaveFormat& format);
// Bytes of one sample frame (every channel) of that format.
uint32_t WaveFrameBytes(const CWaveFormat& format);
