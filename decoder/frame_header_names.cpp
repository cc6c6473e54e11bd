// The texts that name a header's layer, mode, sampling frequency and bitrate.
#include "decoder/frame_header.h"

namespace corvina {

namespace {

const char* const kLayerNames[] = {"I", "II", "III (not implemented!)"};
const char* const kModeNames[] = {"stereo", "joint stereo", "dual channel", "single channel"};
const char* const kSampleRateNames[2][3] = {{"22.05 kHz", "24 kHz", "16 kHz"},
                                            {"44.1 kHz", "48 kHz", "32 kHz"}};
const char* const kLowRateBitrateNames[2][16] = {
    {"free format", "32 kbit/s", "48 kbit/s", "56 kbit/s", "64 kbit/s", "80 kbit/s", "96 kbit/s",
     "112 kbit/s", "128 kbit/s", "144 kbit/s", "160 kbit/s", "176 kbit/s", "192 kbit/s",
     "224 kbit/s", "256 kbit/s", "forbidden"},
    {"free format", "8 kbit/s", "16 kbit/s", "24 kbit/s", "32 kbit/s", "40 kbit/s", "48 kbit/s",
     "56 kbit/s", "64 kbit/s", "80 kbit/s", "96 kbit/s", "112 kbit/s", "128 kbit/s", "144 kbit/s",
     "160 kbit/s", "forbidden"},
};
const char* const kBitrateNames[2][16] = {
    {"free format", "32 kbis/s", "64 kbit/s", "96 kbit/s", "128 kbit/s", "160 kbit/s", "192 kbit/s",
     "224 kbit/s", "256 kbit/s", "288 kbit/s", "320 kbit/s", "352 kbit/s", "384 kbit/s",
     "416 kbit/s", "448 kbit/s", "forbidden"},
    {"free format", "32 kbis/s", "48 kbit/s", "56 kbit/s", "64 kbit/s", "80 kbit/s", "96 kbit/s",
     "112 kbit/s", "128 kbit/s", "160 kbit/s", "192 kbit/s", "224 kbit/s", "256 kbit/s",
     "320 kbit/s", "384 kbit/s", "forbidden"},
};

template <typename T, int N>
const char* Lookup(const T (&table)[N], int nIndex) {
    return nIndex >= 0 && nIndex < N ? table[nIndex] : nullptr;
}

}  // namespace

const char* CFrameHeader::LayerName() const {
    return Lookup(kLayerNames, m_nLayer - 1);
}

const char* CFrameHeader::ModeName() const {
    return Lookup(kModeNames, m_nMode);
}

const char* CFrameHeader::SampleRateName() const {
    return Lookup(kSampleRateNames[m_nIdBit & 1], m_nSampleFrequencyIndex);
}

const char* CFrameHeader::BitrateName() const {
    const auto& names = IsLowSamplingRate() ? kLowRateBitrateNames : kBitrateNames;
    return Lookup(names[m_nLayer == 1 ? 0 : 1], m_nBitrateIndex);
}

}  // namespace corvina
