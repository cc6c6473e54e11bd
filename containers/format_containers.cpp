// Choosing by content whether libavformat reads a stream, and saying why a
// container it reads cannot be played.
#include "containers/format_containers.h"

#include <cstring>
#include <string_view>
#include <vector>

#include "containers/format_container_source.h"
#include "decoder/byte_order.h"
#include "decoder/container_sniffer.h"
#include "decoder/frame_header.h"
#include "decoder/memory_source.h"
#include "decoder/replay_source.h"

#include "containers/av_library.h"

namespace corvina {

namespace {

// What the probe looks at: the headers of every container it takes lie well
// within this.
constexpr std::size_t kProbeBytes = 64 * 1024;

// Readers never used: raw MPEG audio stays with our frame search, and our own
// readers keep their containers; the rest read lists of other files or
// sequences of images.
bool IsRefused(std::string_view names) {
    static constexpr std::string_view kRefused[] = {
        "mp3",    "mpeg", "mpegts", "mpegtsraw", "mpegvideo",          "wav",
        "concat", "hls",  "dash",   "image2",    "image2pipe",         "ffmetadata",
        "sdp",    "rtsp", "rtp",    "sap",       "webm_dash_manifest", "imf",
        "data"};
    while (!names.empty()) {
        const std::size_t nComma = names.find(',');
        const std::string_view name = names.substr(0, nComma);
        for (const std::string_view refused : kRefused) {
            if (name == refused) {
                return true;
            }
        }
        if (name.size() > 5 && name.substr(name.size() - 5) == "_pipe") {
            return true;
        }
        names = nComma == std::string_view::npos ? std::string_view() : names.substr(nComma + 1);
    }
    return false;
}

// A stream that starts with an MPEG audio frame header is the frame
// search's: no container that libavformat reads starts so (ADTS, whose layer
// bits are 0, is no such header), and libavformat is then not even loaded.
bool StartsWithMpegAudio(const uint8_t* pHead, std::size_t nBytes) {
    return nBytes >= 4 && CFrameHeader::Parse(ReadBigEndian32(pHead)).has_value();
}

std::unique_ptr<CByteSource> NothingToPlay() {
    return std::make_unique<CMemorySource>(std::vector<uint8_t>());
}

}  // namespace

void RegisterFormatContainers() {
    SetContainerOpener(OpenFormatContainer);
}

std::unique_ptr<CByteSource> OpenFormatContainer(std::unique_ptr<CByteSource>& pSource,
                                                 const std::string& strName,
                                                 const StopRequest& fnStop, int64_t nWalkBudget,
                                                 std::string& strReason,
                                                 const CTrackChoice& choice) {
    const int64_t nStart = pSource->Position();
    // The probe wants zeros after the bytes it looks at.
    std::vector<uint8_t> head(kProbeBytes + AVPROBE_PADDING_SIZE, 0);
    const std::size_t nGot = ReadFully(*pSource, head.data(), kProbeBytes);
    if (!pSource->CanSeek() || !pSource->Seek(nStart)) {
        pSource = std::make_unique<CReplaySource>(
            std::vector<uint8_t>(head.begin(), head.begin() + static_cast<std::ptrdiff_t>(nGot)),
            std::move(pSource));
    }
    if (StartsWithMpegAudio(head.data(), nGot)) {
        return nullptr;
    }
    std::string strLoadError;
    if (LoadAvLibrary(&strLoadError) == nullptr) {
        strReason = "Containers cannot be read here: " + strLoadError;
        return NothingToPlay();
    }
    AVProbeData probe{};
    probe.filename = "";
    probe.buf = head.data();
    probe.buf_size = static_cast<int>(nGot);
    int nScore = 0;
    const AVInputFormat* pFormat = Av().av_probe_input_format3(&probe, 1, &nScore);
    if (nGot == 0 || pFormat == nullptr || nScore <= AVPROBE_SCORE_RETRY ||
        IsRefused(pFormat->name)) {
        return nullptr;
    }
    const std::string strWho = strName == "-" ? std::string("The stream") : strName;
    auto pContainer =
        std::make_unique<CFormatContainerSource>(std::move(pSource), pFormat, fnStop, choice);
    if (!pContainer->IsOpen()) {
        // Taken for the container by mistake: searched as it is, where it
        // can still be read from its start.
        pSource = pContainer->ReleaseInner();
        if (pSource != nullptr) {
            return nullptr;
        }
        strReason = strWho + " looks like " + pFormat->long_name + " but cannot be read (" +
                    pContainer->OpenError() + ")";
        return NothingToPlay();
    }
    if (!pContainer->HasTrack()) {
        const std::string strCodec = pContainer->ElementaryCodec();
        if (!strCodec.empty()) {
            strReason = "It is " + strCodec + " audio.";
        } else {
            const std::string strTracks = pContainer->DescribeTracks();
            strReason = strWho + " holds no MPEG audio Layer I or II track" +
                        (strTracks.empty() ? "" : " (it holds " + strTracks + ")");
        }
        return NothingToPlay();
    }
    pContainer->BuildIndex(nWalkBudget);
    if (!pContainer->CanSeek() && pContainer->IsMovFamily() &&
        !pContainer->ReadAheadFirstPacket() && !IsStopRequested(fnStop)) {
        strReason = strWho +
                    " is an MP4 file with its index after the media, which a pipe cannot "
                    "give again: open the file itself, or write it with the index first "
                    "(ffmpeg -movflags +faststart)";
        return NothingToPlay();
    }
    return pContainer;
}

}  // namespace corvina
