// Fuzz harness: the whole decoder, from a file of arbitrary bytes to a sink in
// memory, with moves of the file between frames. The input's first byte gives
// the number of moves (low two bits); each move takes two more bytes: the
// frames decoded before it and the percentage it goes to. The rest is the file.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "decoder/audio_decoder.h"
#include "fuzz/fuzz_harness.h"
#include "fuzz/fuzz_support.h"
#include "player/control_block.h"
#include "synth/audio_sink.h"

namespace {

// Checks what a decoded frame hands over: samples only for the channels the
// sink was made for, and a whole frame's count per channel.
class CCheckingSink : public CAudioSink {
  public:
    explicit CCheckingSink(int16_t nChannels) : m_nChannels(nChannels) {}

    void WriteSample(int16_t nChannel, int16_t nSample) override {
        FuzzCheck(nChannel >= 0 && nChannel < m_nChannels, "sample for a channel not opened");
        ++m_nCount[nChannel];
        m_nSum += nSample;
    }

    int32_t EndFrame() override {
        const int nFirst = m_nCount[0];
        FuzzCheck(nFirst == 384 || nFirst == 1152, "a frame of neither 384 nor 1152 samples");
        FuzzCheck(m_nCount[1] == 0 || m_nCount[1] == nFirst, "channels of unequal length");
        m_nCount[0] = m_nCount[1] = 0;
        return 1;
    }

  private:
    int16_t m_nChannels;
    int m_nCount[2] = {0, 0};
    int64_t m_nSum = 0;
};

struct CMove {
    int nAfterFrames;
    int nPercent;
};

}  // namespace

int FuzzDecoder(const uint8_t* pData, std::size_t nSize) {
    static CFuzzFile file;
    if (nSize == 0) {
        return 0;
    }
    std::vector<CMove> moves;
    const int nMoves = pData[0] & 3;
    std::size_t nAt = 1;
    for (int i = 0; i < nMoves && nAt + 2 <= nSize; ++i, nAt += 2) {
        moves.push_back({pData[nAt] & 31, pData[nAt + 1] % 101});
    }
    ResetControlBlock();
    const std::string& strPath = file.Write(pData + nAt, nSize - nAt);

    CAudioDecoder decoder(strPath.c_str(), [](int16_t nChannels, const CFrameHeader& header) {
        FuzzCheck(nChannels == 1 || nChannels == 2, "sink of a bad channel count");
        FuzzCheck(header.Layer() == 1 || header.Layer() == 2, "sink for another layer");
        return std::unique_ptr<CAudioSink>(new CCheckingSink(nChannels));
    });
    if (decoder.Initialize() == 0) {
        return 0;
    }
    FuzzCheck(decoder.PlayingTime() >= 0.0f, "negative playing time");
    (void)decoder.FormatStreamInfo();
    // A move can go back to the start, so each one may replay the file.
    const std::size_t nMostFrames = (moves.size() + 1) * ((nSize - nAt) / 32 + 2);
    std::size_t nFrames = 0;
    std::size_t nMove = 0;
    int nSinceMove = 0;
    do {
        FuzzCheck(++nFrames <= nMostFrames, "more frames than the file can hold");
        if (nMove < moves.size() && nSinceMove == moves[nMove].nAfterFrames) {
            decoder.SeekPercent(moves[nMove].nPercent);
            ++nMove;
            nSinceMove = 0;
        }
        ++nSinceMove;
        const int nPercent = decoder.Stream().PositionPercent();
        FuzzCheck(nPercent >= 0 && nPercent <= 100, "position out of range");
    } while (decoder.DecodeFrame() != 0);
    ResetControlBlock();
    return 0;
}
