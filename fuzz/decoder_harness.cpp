// Fuzz harness: the whole decoder, from arbitrary bytes in memory to a sink in
// memory, with moves between frames. The input's first byte gives the number
// of moves (low two bits) and whether the bytes can be moved in at all (bit
// 2 clear) or only read on, as from a pipe; each move takes two more bytes:
// the frames decoded before it and the percentage it goes to. The rest is the
// stream, decoded through CAudioDecoder and again through the stream handle.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include <corvina/stream.h>

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

// The bytes through the stream handle: over memory, each move a seek to its
// share of the length after as many reads, or fed in pieces as from a pipe.
// Every format told is one a sink could be made for, and the samples of
// each come in whole pairs for two channels.
void FuzzStream(std::span<const uint8_t> bytes, const std::vector<CMove>& moves, bool bCanSeek) {
    CStream stream;
    stream.SetWarningHandler([](EDecoderWarning eWarning, const std::string& strText) {
        FuzzCheck(eWarning >= WARN_ILLEGAL_ALLOCATION && eWarning <= WARN_INPUT,
                  "a warning without its code");
        FuzzCheck(strText.find('\n') == std::string::npos, "a warning of two lines");
    });
    if ((bCanSeek ? stream.OpenMemory(bytes) : stream.OpenFeed()) != EStreamResult::Ok) {
        return;
    }
    constexpr std::size_t kPiece = 512;
    std::size_t nFed = 0;
    const std::size_t nMostReads =
        (moves.size() + 2) * (bytes.size() / 32 + 2) * 6 + bytes.size() / kPiece + 8;
    std::size_t nMove = 0;
    int nSinceMove = 0;
    int nChannels = 0;
    std::size_t nSinceFormat = 0;
    int16_t pcm[1000];
    for (std::size_t nReads = 0;; ++nReads) {
        FuzzCheck(nReads <= nMostReads, "more reads than the stream can fill");
        if (bCanSeek && nMove < moves.size() && nSinceMove == moves[nMove].nAfterFrames) {
            const int64_t nLength = std::max<int64_t>(stream.Length(), 0);
            const EStreamResult eMoved = stream.Seek(nLength * moves[nMove++].nPercent / 100);
            FuzzCheck(eMoved == EStreamResult::Ok || eMoved == EStreamResult::ErrSeek,
                      "a move that failed otherwise");
            nSinceMove = 0;
            nSinceFormat = 0;
        }
        ++nSinceMove;
        std::size_t nRead = 0;
        switch (stream.Read(pcm, nRead)) {
            case EStreamResult::NewFormat: {
                FuzzCheck(nChannels == 0 || nSinceFormat % static_cast<std::size_t>(nChannels) == 0,
                          "a format changed between the channels of a sample");
                CPcmFormat format;
                FuzzCheck(stream.Format(format) == EStreamResult::Ok, "a new format not told");
                FuzzCheck((format.nChannels == 1 || format.nChannels == 2) && format.nRate > 0,
                          "a bad format");
                nChannels = format.nChannels;
                nSinceFormat = 0;
                break;
            }
            case EStreamResult::Ok:
                FuzzCheck(nRead > 0 && nChannels > 0, "a read without samples or format");
                nSinceFormat += nRead;
                break;
            case EStreamResult::NeedMore:
                FuzzCheck(!bCanSeek, "a stream in memory that needs more");
                if (nFed == bytes.size()) {
                    stream.EndFeed();
                } else {
                    const std::size_t nPiece = std::min(kPiece, bytes.size() - nFed);
                    stream.Feed(bytes.subspan(nFed, nPiece));
                    nFed += nPiece;
                }
                break;
            default:
                return;
        }
    }
}

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
    FuzzStream(std::span(pData + nAt, nSize - nAt), moves, bCanSeek);
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
