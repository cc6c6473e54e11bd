// The texts that name a header's layer, mode, sampling frequency and bitrate.
#include <array>

#include "decoder/frame_header.h"
#include "decoder/frame_header_tables.h"

namespace corvina {

namespace {

const char* const kLayerNames[] = {"I", "II", "III (not implemented!)"};
const char* const kModeNames[] = {"stereo", "joint stereo", "dual channel", "single channel"};
const char* const kSampleRateNames[2][3] = {{"22.05 kHz", "24 kHz", "16 kHz"},
                                            {"44.1 kHz", "48 kHz", "32 kHz"}};

// "N kbit/s", with the two special indices named.
using CRateText = std::array<char, 12>;

constexpr CRateText RateText(int nKbits, int nIndex) {
    CRateText text{};
    const char* pszFixed = nIndex == 0 ? "free format" : nIndex == 15 ? "forbidden" : nullptr;
    std::size_t n = 0;
    if (pszFixed != nullptr) {
        for (; pszFixed[n] != '\0'; ++n) {
            text[n] = pszFixed[n];
        }
        return text;
    }
    char bDigits[4] = {};
    int nDigits = 0;
    for (int nLeft = nKbits; nLeft > 0; nLeft /= 10) {
        bDigits[nDigits++] = static_cast<char>('0' + nLeft % 10);
    }
    while (nDigits > 0) {
        text[n++] = bDigits[--nDigits];
    }
    for (const char c : {' ', 'k', 'b', 'i', 't', '/', 's'}) {
        text[n++] = c;
    }
    return text;
}

// By version, layer and bitrate index.
constexpr auto kBitrateNames = [] {
    std::array<std::array<std::array<CRateText, 16>, 3>, 2> names{};
    for (int nId = 0; nId < 2; ++nId) {
        for (int nRow = 0; nRow < 3; ++nRow) {
            for (int nIndex = 0; nIndex < 16; ++nIndex) {
                names[nId][nRow][nIndex] = RateText(kBitrateKbits[nId][nRow][nIndex], nIndex);
            }
        }
    }
    // The player has always named MPEG-1's lowest bitrate so.
    names[1][0][1] = names[1][1][1] = CRateText{"32 kbis/s"};
    return names;
}();

template <typename T, int N>
const char* Lookup(const T (&table)[N], int nIndex) {
    return nIndex >= 0 && nIndex < N ? table[nIndex] : nullptr;
}

}  // namespace

const char* CFrameHeader::LayerName() const {
    return Lookup(kLayerNames, m_nLayer - 1);
}

const char* CFrameHeader::ModeName() const {
    return Lookup(kModeNames, Mode());
}

const char* CFrameHeader::SampleRateName() const {
    return Lookup(kSampleRateNames[IdBit()], SampleFrequencyIndex());
}

const char* CFrameHeader::BitrateName() const {
    // A layer outside 1..3 reads as Layer II, as its bitrate does.
    const int nRow = m_nLayer >= 1 && m_nLayer <= 3 ? m_nLayer - 1 : 1;
    return kBitrateNames[IdBit()][nRow][BitrateIndex()].data();
}

}  // namespace corvina
