// Buffer flags and the format check of the wave devices.
#include "platform/wave_backend_rules.h"

int MarkWaveHeaderPrepared(CWaveHeader& header) {
    if (header.pData == nullptr && header.dwBufferLength != 0) {
        return MMSYSERR_INVALPARAM;
    }
    if ((header.dwFlags & WHDR_INQUEUE) != 0) {
        return WAVERR_STILLPLAYING;
    }
    header.dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

int MarkWaveHeaderQueued(CWaveHeader& header) {
    if ((header.dwFlags & WHDR_INQUEUE) != 0) {
        return WAVERR_STILLPLAYING;
    }
    if ((header.dwFlags & WHDR_PREPARED) == 0) {
        return WAVERR_UNPREPARED;
    }
    header.dwFlags = (header.dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
    return MMSYSERR_NOERROR;
}

void MarkWaveHeaderDone(CWaveHeader& header) {
    header.dwFlags = (header.dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
}

int MarkWaveHeaderUnprepared(CWaveHeader& header) {
    MarkWaveHeaderDone(header);
    header.dwFlags &= ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

bool IsPcm16Format(const CWaveFormat& format) {
    return format.wBitsPerSample == 16 && (format.nChannels == 1 || format.nChannels == 2) &&
           format.nSamplesPerSec >= 1000 && format.nSamplesPerSec <= 192000;
}

uint32_t WaveFrameBytes(const CWaveFormat& format) {
    return static_cast<uint32_t>(format.nChannels) * (format.wBitsPerSample / 8);
}
