// The look at a stream's first bytes that picks its demultiplexer.
#include "decoder/container_sniffer.h"

#include <atomic>
#include <cstring>
#include <vector>

#include "decoder/cdxa_source.h"
#include "decoder/program_stream_source.h"
#include "decoder/replay_source.h"
#include "decoder/transport_stream_source.h"
#include "decoder/wave_source.h"

namespace corvina {

namespace {

// Enough for three packets of the longest transport stream packets.
constexpr std::size_t kLookBytes = 1024;

std::atomic<ContainerOpener> g_pfnContainerOpener{nullptr};

enum class EContainer { None, Wave, Cdxa, System, Video, Transport };

bool StartsWith(const std::vector<uint8_t>& bytes, std::size_t nAt, const char* pszText) {
    const std::size_t nLength = std::strlen(pszText);
    return bytes.size() >= nAt + nLength && std::memcmp(bytes.data() + nAt, pszText, nLength) == 0;
}

EContainer Classify(const std::vector<uint8_t>& bytes) {
    if ((StartsWith(bytes, 0, "RIFF") || StartsWith(bytes, 0, "RF64")) &&
        StartsWith(bytes, 8, "WAVE")) {
        return EContainer::Wave;
    }
    if (StartsWith(bytes, 0, "RIFF") && StartsWith(bytes, 8, "CDXA")) {
        return EContainer::Cdxa;
    }
    if (bytes.size() >= 4 && bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 1) {
        if (bytes[3] == 0xBA) {
            return EContainer::System;
        }
        if (bytes[3] == 0xB3) {
            return EContainer::Video;
        }
    }
    if (CTransportStreamSource::DetectPacketBytes(bytes.data(), bytes.size()) != 0) {
        return EContainer::Transport;
    }
    return EContainer::None;
}

// The demultiplexer of a packetised container, measured where it can be. A
// system stream measured without audio is warned about and gives its own
// bytes back, as a stream that only starts like one.
std::unique_ptr<CByteSource> Demultiplex(std::unique_ptr<CDemuxSource> pDemux,
                                         const std::string& strWarning,
                                         const WarningReporter& fnReport, int64_t nBudget) {
    if (!pDemux->BuildIndex(nBudget)) {
        if (!strWarning.empty()) {
            pDemux->SetNoAudioWarning(strWarning, fnReport);
        }
        return pDemux;
    }
    if (pDemux->AudioBytes() > 0 || strWarning.empty()) {
        return pDemux;
    }
    ReportWarning(fnReport, strWarning);
    return pDemux->ReleaseInner();
}

}  // namespace

void SetContainerOpener(ContainerOpener pfnOpen) {
    g_pfnContainerOpener.store(pfnOpen, std::memory_order_release);
}

std::unique_ptr<CByteSource> OpenContainedAudio(std::unique_ptr<CByteSource> pSource,
                                                const std::string& strName,
                                                const WarningReporter& fnReport,
                                                const StopRequest& fnStop, int64_t nWalkBudget,
                                                std::string* pReason, const CTrackChoice& choice) {
    if (pSource == nullptr) {
        return nullptr;
    }
    const int64_t nStart = pSource->Position();
    std::vector<uint8_t> start(kLookBytes);
    start.resize(ReadFully(*pSource, start.data(), start.size()));
    const EContainer eKind = Classify(start);
    if (!pSource->CanSeek() || !pSource->Seek(nStart)) {
        pSource = std::make_unique<CReplaySource>(start, std::move(pSource));
    }
    // A container in a file that cannot be read a second time is walked
    // whole here.
    if (nWalkBudget >= 0 && eKind != EContainer::None && pSource->ReopenFile() == nullptr) {
        nWalkBudget = -1;
    }
    const std::string strSystem = strName + " is an MPEG system stream, which is beyond me!";
    switch (eKind) {
        case EContainer::Wave: {
            auto pWave = std::make_unique<CWaveSource>(std::move(pSource));
            if (pWave->HasData() || !pWave->CanSeek()) {
                return pWave;
            }
            return pWave->ReleaseInner();
        }
        case EContainer::Cdxa: {
            auto pSectors = std::make_unique<CCdxaSource>(std::move(pSource), fnStop);
            pSectors->BuildIndex(nWalkBudget);
            auto pSystem = std::make_unique<CProgramStreamSource>(std::move(pSectors), fnStop);
            auto pAudio = Demultiplex(std::move(pSystem), strSystem, fnReport, nWalkBudget);
            if (auto* pBack = dynamic_cast<CCdxaSource*>(pAudio.get())) {
                return pBack->ReleaseInner();
            }
            return pAudio;
        }
        case EContainer::System:
            return Demultiplex(std::make_unique<CProgramStreamSource>(std::move(pSource), fnStop),
                               strSystem, fnReport, nWalkBudget);
        case EContainer::Transport:
            return Demultiplex(
                std::make_unique<CTransportStreamSource>(
                    std::move(pSource), fnStop,
                    CTransportStreamSource::DetectPacketBytes(start.data(), start.size()), choice),
                {}, fnReport, nWalkBudget);
        case EContainer::Video:
            ReportWarning(fnReport, strName + " is an MPEG video stream, which is beyond me!");
            return pSource;
        case EContainer::None:
            break;
    }
    // A container that the reader above knows is read only through it.
    if (const ContainerOpener pfnOpen = g_pfnContainerOpener.load(std::memory_order_acquire)) {
        std::string strReason;
        if (auto pAudio = pfnOpen(pSource, strName, fnStop, nWalkBudget, strReason, choice)) {
            if (pReason != nullptr) {
                *pReason = std::move(strReason);
            }
            return pAudio;
        }
    }
    return pSource;
}

}  // namespace corvina
