// Fuzz harnesses of the demultiplexers: arbitrary bytes as a WAVE file, a
// program stream, video-CD sectors, a transport stream or any container that
// libavformat reads (through our own byte source). The first input
// byte says whether the bytes can be moved in (bit 0) and the transport
// packet size (bits 1-2); the next three pick places to move to. Whatever
// the bytes, the audio is never longer than the container (libavformat's
// containers may inflate what they hold, and are read up to a bound), its
// measured size
// is what a read gives, and a move to any offset gives what a read from the
// start gives there.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "containers/format_containers.h"
#include "decoder/cdxa_source.h"
#include "decoder/memory_source.h"
#include "decoder/program_stream_source.h"
#include "decoder/transport_stream_source.h"
#include "decoder/wave_source.h"
#include "fuzz/fuzz_harness.h"
#include "fuzz/fuzz_support.h"

using namespace corvina;

namespace {

constexpr std::size_t kHeadBytes = 4;

// What is read of a container that may hold more than its own size.
constexpr std::size_t kInflatedLimit = 16 << 20;

std::vector<uint8_t> ReadAll(CByteSource& source, std::size_t nLimit, bool bMayInflate) {
    std::vector<uint8_t> bytes;
    uint8_t bChunk[1000];
    // Steps of changing length, so that payloads are split anywhere.
    for (std::size_t nStep = 1;; nStep = nStep % sizeof bChunk + 37) {
        const std::size_t nRead = source.Read(bChunk, nStep);
        if (nRead == 0) {
            break;
        }
        FuzzCheck(nRead <= nStep, "read more than asked");
        bytes.insert(bytes.end(), bChunk, bChunk + nRead);
        if (bMayInflate && bytes.size() > kInflatedLimit) {
            break;
        }
        FuzzCheck(bMayInflate || bytes.size() <= nLimit, "more audio than container");
    }
    return bytes;
}

// bMayInflate: the source is libavformat's reading of a container, whose
// audio may outgrow the container and whose demultiplexers may, on damaged
// input, find other packets after a seek than in a reading from the start:
// there a move may be refused, and one taken need only read without fault.
void CheckSource(CByteSource& source, const uint8_t* pData, std::size_t nSize,
                 bool bMayInflate = false) {
    const std::vector<uint8_t> all = ReadAll(source, nSize, bMayInflate);
    FuzzCheck(source.Position() == static_cast<int64_t>(all.size()), "position not the count read");
    if (!source.CanSeek() || all.size() > kInflatedLimit) {
        return;
    }
    FuzzCheck(source.Size() == static_cast<int64_t>(all.size()), "size not the count read");
    for (std::size_t i = 1; i < kHeadBytes; ++i) {
        const std::size_t nAt = all.empty() ? 0 : pData[i] * all.size() / 255;
        const bool bMoved = source.Seek(static_cast<int64_t>(nAt));
        FuzzCheck(bMoved || bMayInflate, "move inside the audio refused");
        if (!bMoved) {
            continue;
        }
        std::vector<uint8_t> part(std::min<std::size_t>(600, all.size() - nAt));
        std::size_t nGot = 0;
        while (nGot < part.size()) {
            const std::size_t nRead = source.Read(part.data() + nGot, part.size() - nGot);
            if (nRead == 0) {
                break;
            }
            nGot += nRead;
        }
        FuzzCheck(bMayInflate || (nGot == part.size() &&
                                  std::equal(part.begin(), part.end(),
                                             all.begin() + static_cast<std::ptrdiff_t>(nAt))),
                  "a move gives other bytes than a read");
    }
}

std::unique_ptr<CByteSource> Container(const uint8_t* pData, std::size_t nSize) {
    return std::make_unique<CMemorySource>(pData + kHeadBytes, nSize - kHeadBytes,
                                           (pData[0] & 1) == 0);
}

}  // namespace

int FuzzWaveSource(const uint8_t* pData, std::size_t nSize) {
    if (nSize >= kHeadBytes) {
        CWaveSource source(Container(pData, nSize));
        CheckSource(source, pData, nSize);
    }
    return 0;
}

int FuzzProgramStream(const uint8_t* pData, std::size_t nSize) {
    if (nSize >= kHeadBytes) {
        CProgramStreamSource source(Container(pData, nSize), {});
        source.BuildIndex();
        CheckSource(source, pData, nSize);
    }
    return 0;
}

int FuzzCdxa(const uint8_t* pData, std::size_t nSize) {
    if (nSize >= kHeadBytes) {
        auto pSectors = std::make_unique<CCdxaSource>(Container(pData, nSize), StopRequest{});
        pSectors->BuildIndex();
        CProgramStreamSource source(std::move(pSectors), {});
        source.BuildIndex();
        CheckSource(source, pData, nSize);
    }
    return 0;
}

int FuzzTransportStream(const uint8_t* pData, std::size_t nSize) {
    if (nSize >= kHeadBytes) {
        static constexpr int kPacketSizes[] = {188, 192, 204, 188};
        CTransportStreamSource source(Container(pData, nSize), {},
                                      kPacketSizes[(pData[0] >> 1) & 3]);
        source.BuildIndex();
        CheckSource(source, pData, nSize);
    }
    return 0;
}

int FuzzFormatContainer(const uint8_t* pData, std::size_t nSize) {
    if (nSize >= kHeadBytes) {
        std::unique_ptr<CByteSource> pContainer = Container(pData, nSize);
        std::string strReason;
        std::unique_ptr<CByteSource> pAudio =
            OpenFormatContainer(pContainer, "fuzz", {}, -1, strReason, {});
        if (pAudio == nullptr) {
            FuzzCheck(pContainer != nullptr && strReason.empty(),
                      "a container left alone is not given back");
            CheckSource(*pContainer, pData, nSize);
        } else {
            CheckSource(*pAudio, pData, nSize, true);
        }
    }
    return 0;
}
