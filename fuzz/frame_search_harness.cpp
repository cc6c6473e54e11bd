// Fuzz harness: the frame search and the header parse: every frame the search
// accepts must be one the decoder can take, and no read of its payload may
// leave the buffer. The first input byte picks a move of the file halfway.
// Then the same search in the library's frame decoder, over the bytes given
// in pieces whose size the third byte picks.
#include <corvina/frame_decoder.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "decoder/bit_stream.h"
#include "decoder/crc16.h"
#include "decoder/frame_header.h"
#include "decoder/frame_sync.h"
#include "decoder/memory_source.h"
#include "fuzz/fuzz_harness.h"
#include "fuzz/fuzz_support.h"

using namespace corvina;

namespace {

bool IsKnownSblimit(int nSblimit) {
    return nSblimit == 8 || nSblimit == 12 || nSblimit == 27 || nSblimit == 30 || nSblimit == 32;
}

// Any header word at all: the derived values and the texts stay in range.
void CheckAnyWord(uint32_t dwWord) {
    const CFrameHeader header(dwWord);
    FuzzCheck(header.Bound() <= header.Sblimit(), "bound above sblimit");
    FuzzCheck(header.FrameBytes() <= static_cast<int>(CBitStream::kBufferBytes),
              "frame longer than the buffer");
    (void)header.Bitrate();
    (void)header.LayerName();
    (void)header.ModeName();
    (void)header.SampleRateName();
    (void)header.BitrateName();
}

// The bytes through the frame decoder as a caller with a buffer of its own
// gives them: nPiece at a time, the rest of what it has given again after
// what a call consumed. Every call moves on or waits, and a decoded frame
// fills the PCM with a whole frame of its layer.
void FuzzFrameDecoder(std::span<const uint8_t> bytes, std::size_t nPiece) {
    CFrameDecoder decoder;
    std::vector<int16_t> pcm(kMaxFrameSamples);
    std::vector<uint8_t> buffer;
    CFrameInfo info;
    for (std::size_t nFed = 0;;) {
        const std::size_t nTake = std::min(nPiece, bytes.size() - nFed);
        buffer.insert(buffer.end(), bytes.begin() + static_cast<long>(nFed),
                      bytes.begin() + static_cast<long>(nFed + nTake));
        nFed += nTake;
        EFrameResult eResult;
        while ((eResult = decoder.DecodeFrame(buffer, pcm, info)) != EFrameResult::NeedMoreBytes) {
            FuzzCheck(info.nBytes > 0 && info.nBytes <= buffer.size(),
                      "a call that does not move on");
            if (eResult == EFrameResult::Decoded || eResult == EFrameResult::CrcError) {
                FuzzCheck(info.nLayer == 1 || info.nLayer == 2, "a frame of another layer decoded");
                FuzzCheck(info.nChannels == 1 || info.nChannels == 2, "a bad channel count");
                FuzzCheck(info.nSamples == (info.nLayer == 1 ? 384 : 1152),
                          "a frame of neither 384 nor 1152 samples");
                FuzzCheck(info.nSampleRate > 0 && info.nBitrate > 0, "a frame without its rates");
            }
            buffer.erase(buffer.begin(), buffer.begin() + static_cast<long>(info.nBytes));
        }
        FuzzCheck(info.nBytes == 0, "bytes consumed by a call that waits");
        if (nTake == 0) {
            return;
        }
    }
}

}  // namespace

int FuzzFrameSearch(const uint8_t* pData, std::size_t nSize) {
    if (nSize >= 4) {
        CheckAnyWord((static_cast<uint32_t>(pData[0]) << 24) | (pData[1] << 16) | (pData[2] << 8) |
                     pData[3]);
    }
    const int nSeekAfter = nSize > 0 ? pData[0] & 15 : 0;
    const int nSeekTo = nSize > 1 ? pData[1] % 101 : 0;

    CBitStream stream = OpenBitStream(std::make_unique<CMemorySource>(pData, nSize), "fuzz input");
    CFrameSync sync;
    CFrameHeader header;
    CCrc16* pCrc = nullptr;
    // Each frame takes at least 32 bytes and the one move may go back to the
    // start, so this bounds a correct search.
    const std::size_t nMostFrames = 2 * (nSize / 32 + 2);
    std::size_t nFrames = 0;
    while (sync.ReadFrame(stream, header, &pCrc) != 0) {
        FuzzCheck(++nFrames <= nMostFrames, "more frames than the file can hold");
        FuzzCheck(header.Layer() == 1 || header.Layer() == 2, "a frame of another layer");
        FuzzCheck(header.BitrateIndex() <= 14, "bad bitrate index");
        FuzzCheck(header.FrameBytes() >= 28, "a frame shorter than any encoder writes");
        FuzzCheck(header.SampleFrequencyIndex() <= 2, "reserved sampling frequency");
        FuzzCheck(IsKnownSblimit(header.Sblimit()), "unknown sblimit");
        FuzzCheck(header.Bound() <= header.Sblimit(), "bound above sblimit");
        FuzzCheck((pCrc != nullptr) == (header.ProtectionBit() == 0), "CRC register mismatch");
        FuzzCheck(stream.Position() <= stream.Length(), "read past the end");
        FuzzCheck(stream.PositionPercent() >= 0 && stream.PositionPercent() <= 100,
                  "position out of range");
        // Reads run past the payload: they must give 0 and stay in the buffer.
        uint32_t dwSum = 0;
        for (int nBits = 0; nBits < 8 * header.FrameBytes() + 64; nBits += 13) {
            dwSum += stream.Reader().GetBits(13);
            dwSum += stream.Reader().GetBits(3);
        }
        (void)dwSum;
        if (pCrc != nullptr) {
            pCrc->Update(dwSum, 16);
        }
        if (nFrames == static_cast<std::size_t>(nSeekAfter)) {
            stream.SeekPercent(nSeekTo);
            sync.DropReadAhead();
        }
    }
    const std::size_t nPiece = nSize > 2 && pData[2] < 128 ? 16 * (pData[2] % 64 + 1) : nSize;
    FuzzFrameDecoder(std::span(pData, nSize), std::max<std::size_t>(nPiece, 1));
    return 0;
}
