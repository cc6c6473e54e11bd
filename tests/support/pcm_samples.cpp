// Reading and comparing PCM in the tests.
#include "tests/support/pcm_samples.h"

#include <corvina/frame_decoder.h>

#include <algorithm>

#include "tests/support/temp_dir.h"

using namespace corvina;

namespace {

uint32_t Le32(const std::vector<uint8_t>& bytes, std::size_t nAt) {
    return bytes[nAt] | bytes[nAt + 1] << 8 | bytes[nAt + 2] << 16 |
           static_cast<uint32_t>(bytes[nAt + 3]) << 24;
}

uint16_t Le16(const std::vector<uint8_t>& bytes, std::size_t nAt) {
    return static_cast<uint16_t>(bytes[nAt] | bytes[nAt + 1] << 8);
}

}  // namespace

std::vector<int16_t> Interleave(const CRecording& recording) {
    if (recording.nChannels != 2) {
        return recording.nSamples[0];
    }
    const std::size_t nFrames =
        std::min(recording.nSamples[0].size(), recording.nSamples[1].size());
    std::vector<int16_t> samples;
    samples.reserve(nFrames * 2);
    for (std::size_t i = 0; i < nFrames; ++i) {
        samples.push_back(recording.nSamples[0][i]);
        samples.push_back(recording.nSamples[1][i]);
    }
    return samples;
}

std::vector<int16_t> DecodedPcm(const std::string& strPath, int* pChannels) {
    const CDecodeResult result = DecodeFile(strPath);
    if (pChannels != nullptr) {
        *pChannels = result.nChannels;
    }
    return result.nInitialized != 0 ? Interleave(result) : std::vector<int16_t>{};
}

std::vector<int16_t> FrameDecodedPcm(const std::vector<uint8_t>& bytes, int* pChannels,
                                     int* pCrcErrors) {
    CFrameDecoder decoder;
    std::vector<int16_t> pcm(kMaxFrameSamples);
    std::vector<int16_t> samples;
    CFrameInfo info;
    int nCrcErrors = 0;
    for (std::span<const uint8_t> rest(bytes); !rest.empty(); rest = rest.subspan(info.nBytes)) {
        const EFrameResult eResult = decoder.DecodeFrame(rest, pcm, info);
        if (eResult == EFrameResult::NeedMoreBytes || info.nBytes == 0) {
            break;
        }
        nCrcErrors += eResult == EFrameResult::CrcError ? 1 : 0;
        if (info.nSamples > 0 && pChannels != nullptr) {
            *pChannels = info.nChannels;
        }
        const auto nValues = static_cast<std::size_t>(info.nSamples * info.nChannels);
        samples.insert(samples.end(), pcm.begin(), pcm.begin() + static_cast<long>(nValues));
    }
    if (pCrcErrors != nullptr) {
        *pCrcErrors = nCrcErrors;
    }
    return samples;
}

std::vector<int16_t> RawSamples(const std::vector<uint8_t>& bytes) {
    std::vector<int16_t> samples;
    samples.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        samples.push_back(static_cast<int16_t>(Le16(bytes, i)));
    }
    return samples;
}

CWavContents ReadWav(const std::string& strPath) {
    CWavContents wav;
    const std::vector<uint8_t> bytes = ReadFileBytes(strPath);
    if (bytes.size() < 12 || !std::equal(bytes.begin(), bytes.begin() + 4, "RIFF") ||
        !std::equal(bytes.begin() + 8, bytes.begin() + 12, "WAVE")) {
        return wav;
    }
    bool bFormat = false;
    std::size_t nAt = 12;
    while (nAt + 8 <= bytes.size()) {
        const uint32_t nSize = Le32(bytes, nAt + 4);
        const std::size_t nBody = nAt + 8;
        const std::size_t nEnd = std::min(bytes.size(), nBody + nSize);
        if (std::equal(bytes.begin() + static_cast<long>(nAt),
                       bytes.begin() + static_cast<long>(nAt) + 4, "fmt ") &&
            nSize >= 16 && nEnd == nBody + nSize) {
            wav.nChannels = Le16(bytes, nBody + 2);
            wav.nSampleRate = Le32(bytes, nBody + 4);
            bFormat = Le16(bytes, nBody) == 1 && Le16(bytes, nBody + 14) == 16;
        } else if (std::equal(bytes.begin() + static_cast<long>(nAt),
                              bytes.begin() + static_cast<long>(nAt) + 4, "data")) {
            wav.samples = RawSamples({bytes.begin() + static_cast<long>(nBody),
                                      bytes.begin() + static_cast<long>(nEnd)});
            // A data size that promises more than the file holds is a fault.
            wav.bValid = bFormat && nEnd == nBody + nSize;
            return wav;
        }
        nAt = nBody + nSize + (nSize & 1);
    }
    return wav;
}

std::size_t BufferSamples(int nChannels, int nLayer) {
    return static_cast<std::size_t>(nLayer == 1 ? 384 : 1152) * 10 *
           static_cast<std::size_t>(nChannels);
}

std::vector<int16_t> PaddedToBuffers(std::vector<int16_t> pcm, int nChannels, int nLayer) {
    const std::size_t nBuffer = BufferSamples(nChannels, nLayer);
    pcm.resize((pcm.size() + nBuffer - 1) / nBuffer * nBuffer, 0);
    return pcm;
}

long FirstDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
    const auto [itA, itB] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    if (itA == a.end() && itB == b.end()) {
        return -1;
    }
    return static_cast<long>(itA - a.begin());
}

bool IsPrefix(const std::vector<int16_t>& part, const std::vector<int16_t>& whole) {
    return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}
