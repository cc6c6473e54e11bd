// The Layer II allocation tables and degrouping tables, built at compile time.
#include "decoder/layer2_tables.h"

#include <array>

#include "decoder/frame_header.h"

namespace corvina {

namespace {

template <int N>
struct CGroupTable {
    float fRows[N][3];
};

// Row c of the L-level table holds (2 v_k - (L - 1)) / L for the base-L digits
// v_k of c, least significant first; codes of L^3 and above are not groups of
// three samples and give silence.
template <int L, int N>
constexpr CGroupTable<N> MakeGroups() {
    CGroupTable<N> table{};
    for (int nCode = 0; nCode < L * L * L; ++nCode) {
        int nRest = nCode;
        for (int k = 0; k < 3; ++k) {
            table.fRows[nCode][k] =
                static_cast<float>(2 * (nRest % L) - (L - 1)) / static_cast<float>(L);
            nRest /= L;
        }
    }
    return table;
}

constexpr CGroupTable<32> kGroups3 = MakeGroups<3, 32>();
constexpr CGroupTable<128> kGroups5 = MakeGroups<5, 128>();
constexpr CGroupTable<1024> kGroups9 = MakeGroups<9, 1024>();

constexpr const float (*GroupsOf(int nLevels))[3] {
    switch (nLevels) {
        case 3:
            return kGroups3.fRows;
        case 5:
            return kGroups5.fRows;
        case 9:
            return kGroups9.fRows;
        default:
            return nullptr;
    }
}

constexpr CQuantClass MakeClass(int nLevels) {
    if (nLevels == 0) {
        return {0, nullptr, 0.0f, 0.0f, 0.0f};
    }
    if (nLevels == 3 || nLevels == 5 || nLevels == 9) {
        const int nWidth = nLevels == 3 ? 5 : nLevels == 5 ? 7 : 10;
        const int nPower = nLevels == 3 ? 4 : nLevels == 5 ? 8 : 16;
        const float fC = static_cast<float>(nPower) / static_cast<float>(nLevels);
        return {nWidth, GroupsOf(nLevels), 0.0f, fC, 0.5f};
    }
    int nBits = 0;
    while ((1 << nBits) - 1 < nLevels) {
        ++nBits;
    }
    const float fStep = 2.0f / static_cast<float>(1 << nBits);
    const float fC = static_cast<float>(1 << nBits) / static_cast<float>(nLevels);
    return {nBits, nullptr, fStep, fC, fStep};
}

template <std::size_t N>
constexpr std::array<CQuantClass, N> MakeRow(const int (&nLevels)[N]) {
    std::array<CQuantClass, N> row{};
    for (std::size_t i = 0; i < N; ++i) {
        row[i] = MakeClass(nLevels[i]);
    }
    return row;
}

constexpr int kLevelsA[16] = {0,   3,    7,    15,   31,   63,    127,   255,
                              511, 1023, 2047, 4095, 8191, 16383, 32767, 65535};
constexpr int kLevelsB[16] = {0,   3,   5,   7,    9,    15,   31,   63,
                              127, 255, 511, 1023, 2047, 4095, 8191, 65535};
constexpr int kLevelsC[8] = {0, 3, 5, 7, 9, 15, 31, 65535};
constexpr int kLevelsD[4] = {0, 3, 5, 65535};
constexpr int kLevelsF[16] = {0,   3,   5,   7,    9,    15,   31,   63,
                              127, 255, 511, 1023, 2047, 4095, 8191, 16383};
constexpr int kLevelsE[16] = {0,   3,   5,    9,    15,   31,   63,    127,
                              255, 511, 1023, 2047, 4095, 8191, 16383, 32767};

constexpr std::array<CQuantClass, 16> kRowA = MakeRow(kLevelsA);
constexpr std::array<CQuantClass, 16> kRowB = MakeRow(kLevelsB);
constexpr std::array<CQuantClass, 8> kRowC = MakeRow(kLevelsC);
constexpr std::array<CQuantClass, 4> kRowD = MakeRow(kLevelsD);
constexpr std::array<CQuantClass, 16> kRowE = MakeRow(kLevelsE);
constexpr std::array<CQuantClass, 16> kRowF = MakeRow(kLevelsF);

// The tables of the standard: subbands up to nSblimit, allocation widths and
// class rows by subband ranges.
constexpr CLayer2Table MakeHighRateTable(int nSblimit) {
    CLayer2Table table{};
    table.nSblimit = nSblimit;
    for (int sb = 0; sb < 32; ++sb) {
        table.nAllocationBits[sb] = sb < 11 ? 4 : sb < 23 ? 3 : 2;
        table.pRows[sb] = sb < 3    ? kRowA.data()
                          : sb < 11 ? kRowB.data()
                          : sb < 23 ? kRowC.data()
                                    : kRowD.data();
    }
    return table;
}

constexpr CLayer2Table MakeLowRateTable(int nSblimit) {
    CLayer2Table table{};
    table.nSblimit = nSblimit;
    for (int sb = 0; sb < 32; ++sb) {
        table.nAllocationBits[sb] = sb < 2 ? 4 : 3;
        table.pRows[sb] = kRowE.data();
    }
    return table;
}

// The one table of the low sampling rates of MPEG-2.
constexpr CLayer2Table MakeLowSamplingRateTable() {
    CLayer2Table table{};
    table.nSblimit = 30;
    for (int sb = 0; sb < 32; ++sb) {
        table.nAllocationBits[sb] = sb < 4 ? 4 : sb < 11 ? 3 : 2;
        table.pRows[sb] = sb < 4 ? kRowF.data() : kRowE.data();
    }
    return table;
}

constexpr CLayer2Table kTableLsf = MakeLowSamplingRateTable();
constexpr CLayer2Table kTable27 = MakeHighRateTable(27);
constexpr CLayer2Table kTable30 = MakeHighRateTable(30);
constexpr CLayer2Table kTable8 = MakeLowRateTable(8);
constexpr CLayer2Table kTable12 = MakeLowRateTable(12);

}  // namespace

const CLayer2Table& Layer2TableOf(const CFrameHeader& header) {
    constexpr int kFrequency48 = 1;
    constexpr int kFrequency32 = 2;
    const int nChannels = header.IsSingleChannel() ? 1 : 2;
    const int nPerChannel = header.Bitrate() / nChannels;
    const int nFrequency = header.SampleFrequencyIndex();
    if (header.IsLowSamplingRate()) {
        return kTableLsf;
    }
    if (nPerChannel > 0 && nPerChannel <= 48000) {
        return nFrequency == kFrequency32 ? kTable12 : kTable8;
    }
    if (nFrequency == kFrequency48 || (nPerChannel > 0 && nPerChannel <= 80000)) {
        return kTable27;
    }
    return kTable30;
}

}  // namespace corvina
