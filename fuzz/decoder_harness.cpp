// Fuzz harness: the whole decoder, from arbitrary bytes in memory to a sink in
// memory, with moves between frames. The input's first byte gives the number
// of moves (low two bits) and whether the bytes can be moved in at all (bit
// 2 clear) or only read on, as from a pipe; each move takes two more bytes:
// the frames decoded before it and the percentage it goes to. The rest is the
// stream.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "decoder/audio_decoder.h"
#include "decoder/memory_source.h"
#include "fuzz/fuzz_harness.h"
#include "fuzz/fuzz_support.h"
#include "synth/audio_sink.h"

using namespace corvina;

namespace {

// Checks what a decoded frame hands over: the channels the sink was made
// for, and a whole frame's count of samples, but for the first
// frame heard after a move (one of the next *pMayCut), which is cut to the
// place moved to.
class CCheckingSink : public CAudioSink {
  public:
    CCheckingSink(int nChannels, int* pMayCut) : m_nChannels(nChannels), m_pMayCut(pMayCut) {}

    void WriteFrame(std::span<const int16_t> samples, int nChannels) override {
        FuzzCheck(nChannels == m_nChannels, "a frame in channels not opened");
        FuzzCheck(samples.size() % static_cast<std::size_t>(nChannels) == 0,
                  "channels of unequal length");
        m_nCount += static_cast<int>(samples.size()) / nChannels;
        for (const int16_t nSample : samples) {
            m_nSum += nSample;
        }
    }

    int32_t EndFrame() override {
        FuzzCheck(m_nCount == 384 || m_nCount == 1152 ||
                      (*m_pMayCut > 0 && m_nCount > 0 && m_nCount < 1152),
                  "a frame of neither 384 nor 1152 samples");
        *m_pMayCut = std::max(*m_pMayCut - 1, 0);
        m_nCount = 0;
        return 1;
    }

  private:
    int m_nChannels;
    int* m_pMayCut;
    int m_nCount = 0;
    int64_t m_nSum = 0;
};

struct CMove {
    int nAfterFrames;
    int nPercent;
};

}  // namespace

int FuzzDecoder(const uint8_t* pData, std::size_t nSize) {
    if (nSize == 0) {
        return 0;
    }
    std::vector<CMove> moves;
    const int nMoves = pData[0] & 3;
    std::size_t nAt = 1;
    for (int i = 0; i < nMoves && nAt + 2 <= nSize; ++i, nAt += 2) {
        moves.push_back({pData[nAt] & 31, pData[nAt + 1] % 101});
    }
    const bool bCanSeek = (pData[0] & 4) == 0;

    CAudioDecoder::CHooks hooks;
    // Every warning is composed and handed over, as to a real caller.
    hooks.fnReportWarning = [](const std::string&) {};
    int nMayCut = 0;
    hooks.fnMakeSink = [&nMayCut](const CStreamFormat& format) {
        FuzzCheck(format.nChannels == 1 || format.nChannels == 2, "sink of a bad channel count");
        FuzzCheck(format.nSamplesPerFrame == 384 || format.nSamplesPerFrame == 1152,
                  "sink for another layer");
        FuzzCheck(format.nSampleRate > 0, "sink without a rate");
        return std::unique_ptr<CAudioSink>(new CCheckingSink(format.nChannels, &nMayCut));
    };
    CAudioDecoder decoder(std::make_unique<CMemorySource>(pData + nAt, nSize - nAt, bCanSeek),
                          "fuzz input", std::move(hooks));
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
            // The frame in hand is heard whole; the next may be cut.
            nMayCut = 2;
            ++nMove;
            nSinceMove = 0;
        }
        ++nSinceMove;
        const int nPercent = decoder.PositionPercent();
        FuzzCheck(nPercent >= 0 && nPercent <= 100, "position out of range");
    } while (decoder.DecodeFrame() != 0);
    return 0;
}
