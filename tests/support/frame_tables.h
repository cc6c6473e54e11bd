// The facts of MPEG audio Layers I and II that the test stream builder writes
// frames from, as ISO/IEC 11172-3 (and 13818-3 for the low sampling rates)
// lists them. They are typed in here apart from the decoder's on purpose: a
// wrong entry on either side makes the tests that build streams fail.
#pragma once

namespace frame_tables {

// kbit/s by version (0 the low sampling rates, 1 MPEG-1), layer - 1 and
// bitrate index; 0 for free format and for the forbidden index 15.
inline constexpr int kBitrateKbps[2][2][16] = {
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0}},
};

// Hz by version and sampling frequency index; 0 for the reserved index.
inline constexpr int kSamplingHz[2][4] = {{22050, 24000, 16000, 0}, {44100, 48000, 32000, 0}};

// By layer - 1: a frame is floor(kSlotsPerFrame * bit/s / Hz) slots of
// kSlotBytes bytes, one slot more when padded.
inline constexpr int kSlotsPerFrame[2] = {12, 144};
inline constexpr int kSlotBytes[2] = {4, 1};

// The first subband that joint stereo codes as one channel, by mode extension.
inline constexpr int kJointBound[4] = {4, 8, 12, 16};

// A Layer II quantisation class by its number of steps: three samples share
// one code in the grouped classes.
struct CQuantisation {
    int nSteps;
    bool bGrouped;
    int nCodeBits;
};
inline constexpr CQuantisation kQuantisations[] = {
    {3, true, 5},       {5, true, 7},      {7, false, 3},      {9, true, 10},
    {15, false, 4},     {31, false, 5},    {63, false, 6},     {127, false, 7},
    {255, false, 8},    {511, false, 9},   {1023, false, 10},  {2047, false, 11},
    {4095, false, 12},  {8191, false, 13}, {16383, false, 14}, {32767, false, 15},
    {65535, false, 16},
};

// A run of subbands of one Layer II allocation table, up to (not including)
// nEnd: the width of their allocation codes and the steps each code means.
struct CSubbandRun {
    int nEnd;
    int nAllocationBits;
    int nSteps[16];
};
// The runs, the last one ending at the table's sblimit.
struct CAllocationTable {
    CSubbandRun runs[4];
    int nRuns;
};

// MPEG-1, 27 and 30 subbands.
inline constexpr CSubbandRun kRunA0 = {
    3, 4, {0, 3, 7, 15, 31, 63, 127, 255, 511, 1023, 2047, 4095, 8191, 16383, 32767, 65535}};
inline constexpr CSubbandRun kRunA1 = {
    11, 4, {0, 3, 5, 7, 9, 15, 31, 63, 127, 255, 511, 1023, 2047, 4095, 8191, 65535}};
inline constexpr CSubbandRun kRunA2 = {23, 3, {0, 3, 5, 7, 9, 15, 31, 65535}};
inline constexpr CAllocationTable kTableA = {{kRunA0, kRunA1, kRunA2, {27, 2, {0, 3, 5, 65535}}},
                                             4};
inline constexpr CAllocationTable kTableB = {{kRunA0, kRunA1, kRunA2, {30, 2, {0, 3, 5, 65535}}},
                                             4};
// MPEG-1 at low bitrates, 8 and 12 subbands.
inline constexpr CSubbandRun kRunC0 = {
    2, 4, {0, 3, 5, 9, 15, 31, 63, 127, 255, 511, 1023, 2047, 4095, 8191, 16383, 32767}};
inline constexpr CAllocationTable kTableC = {{kRunC0, {8, 3, {0, 3, 5, 9, 15, 31, 63, 127}}}, 2};
inline constexpr CAllocationTable kTableD = {{kRunC0, {12, 3, {0, 3, 5, 9, 15, 31, 63, 127}}}, 2};
// The low sampling rates, 30 subbands at every bitrate.
inline constexpr CAllocationTable kTableLow = {
    {{4, 4, {0, 3, 5, 7, 9, 15, 31, 63, 127, 255, 511, 1023, 2047, 4095, 8191, 16383}},
     {11, 3, {0, 3, 5, 9, 15, 31, 63, 127}},
     {30, 2, {0, 3, 5, 9}}},
    3};

// The MPEG-1 table by sampling frequency index (44.1, 48, 32 kHz) and
// bitrate per channel: 32 or 48 kbit/s, 56 to 80, 96 and above or free
// format.
inline constexpr const CAllocationTable* kTableByRate[3][3] = {
    {&kTableC, &kTableA, &kTableB},
    {&kTableC, &kTableA, &kTableA},
    {&kTableD, &kTableA, &kTableB},
};

// The CRC-16 of protected frames: generator x^16 + x^15 + x^2 + 1, register
// preset to all ones.
inline constexpr unsigned kCrcPolynomial = 0x8005;
inline constexpr unsigned kCrcInitial = 0xFFFF;

}  // namespace frame_tables
