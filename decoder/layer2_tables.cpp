// The Layer II allocation tables and degrouping tables, built at compile time.
#include "decoder/layer2_tables.h"

#include <array>

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
constexpr int kLevelsE[16] = {0,   3,   5,    9,    15,   31,   63,    127,
                              255, 511, 1023, 2047, 4095, 8191, 16383, 32767};

constexpr std::array<CQuantClass, 16> kRowA = MakeRow(kLevelsA);
constexpr std::array<CQuantClass, 16> kRowB = MakeRow(kLevelsB);
constexpr std::array<CQuantClass, 8> kRowC = MakeRow(kLevelsC);
constexpr std::array<CQuantClass, 4> kRowD = MakeRow(kLevelsD);
constexpr std::array<CQuantClass, 16> kRowE = MakeRow(kLevelsE);

bool IsLowRate(int nPerChannel) {
    return nPerChannel == 1 || nPerChannel == 2;
}

}  // namespace

int BitrateIndexPerChannel(int nBitrateIndex, int nMode) {
    constexpr int kSingleChannel = 3;
    if (nMode == kSingleChannel) {
        return nBitrateIndex;
    }
    return nBitrateIndex == 4 ? 1 : nBitrateIndex - 4;
}

int AllocationBits(int nPerChannel, int nSubband) {
    if (IsLowRate(nPerChannel)) {
        return nSubband < 2 ? 4 : 3;
    }
    return nSubband < 11 ? 4 : nSubband < 23 ? 3 : 2;
}

const CQuantClass* QuantClassRow(int nPerChannel, int nSubband) {
    if (IsLowRate(nPerChannel)) {
        return kRowE.data();
    }
    if (nSubband < 3) {
        return kRowA.data();
    }
    if (nSubband < 11) {
        return kRowB.data();
    }
    if (nSubband < 23) {
        return kRowC.data();
    }
    return kRowD.data();
}
