// Fuzz harness: the frame search and the header parse: every frame the search
// accepts must be one the decoder can take, and no read of its payload may
// leave the buffer. The first input byte picks a move of the file halfway.
#include <cstddef>
#include <cstdint>
#include <memory>

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
    return 0;
}
