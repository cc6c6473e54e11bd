// The standard's tables of the header fields, for the parse and for the
// texts that name them.
#pragma once

#include <cstdint>

namespace corvina {

constexpr uint32_t kSyncMask = 0xFFF00000;

// By version (the ID bit: 1 for MPEG-1, 0 for the low sampling rates of
// MPEG-2), layer and bitrate index, in kbit/s; 0 for free format and the
// forbidden index. Layer III is here only so that a Layer III stream can be
// told from junk.
constexpr int kBitrateKbits[2][3][16] = {
    {
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
    },
    {
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
    },
};

// Bit/s of the bitrate index; a layer outside 1..3 reads as Layer II.
constexpr int BitrateOf(int nIdBit, int nLayer, int nIndex) {
    const int nRow = nLayer >= 1 && nLayer <= 3 ? nLayer - 1 : 1;
    return kBitrateKbits[nIdBit & 1][nRow][nIndex & 15] * 1000;
}

constexpr int kSampleFrequencies[2][4] = {{22050, 24000, 16000, 0}, {44100, 48000, 32000, 0}};

}  // namespace corvina
