// PCM as the tests compare it: interleaved 16-bit samples from a decode, a
// WAV file or a raw file, and the padding that the wave output adds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/recording_sink.h"

struct CWavContents {
    bool bValid = false;
    int nChannels = 0;
    uint32_t nSampleRate = 0;
    std::vector<int16_t> samples;  // interleaved
};

// Channels interleaved left then right, as a device plays them.
std::vector<int16_t> Interleave(const CRecording& recording);
// The decoded PCM of a whole file, interleaved; empty when it does not decode.
std::vector<int16_t> DecodedPcm(const std::string& strPath, int* pChannels = nullptr);
// The same through the library's public frame decoder, frame by frame over
// the bytes; a frame that fails its check counts in *pCrcErrors.
std::vector<int16_t> FrameDecodedPcm(const std::vector<uint8_t>& bytes, int* pChannels = nullptr,
                                     int* pCrcErrors = nullptr);
// Little-endian 16-bit samples of raw bytes; an odd last byte is left out.
std::vector<int16_t> RawSamples(const std::vector<uint8_t>& bytes);
// The format and the data chunk of a WAV file.
CWavContents ReadWav(const std::string& strPath);
// What the wave output plays for the decoded PCM: the last buffer of ten
// frames is filled up with silence.
std::vector<int16_t> PaddedToBuffers(std::vector<int16_t> pcm, int nChannels, int nLayer = 2);
// Interleaved samples in one buffer of ten frames.
std::size_t BufferSamples(int nChannels, int nLayer = 2);
// Where two sample runs first differ (the shorter length when one is a
// prefix of the other), or -1 when they are equal; failures stay readable.
long FirstDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b);
// True when part is a prefix of whole.
bool IsPrefix(const std::vector<int16_t>& part, const std::vector<int16_t>& whole);
