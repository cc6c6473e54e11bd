// Transport stream packets, program tables and PES reassembly.
#include "decoder/transport_stream_source.h"

#include <algorithm>

#include "decoder/pes_header.h"

namespace corvina {

namespace {

constexpr int kPacketBytes = 188;
constexpr uint8_t kSyncByte = 0x47;
constexpr int kPatPid = 0;
constexpr int kSdtPid = 0x11;
constexpr int kEitPid = 0x12;
constexpr int kNullPid = 0x1FFF;
constexpr uint8_t kPatTable = 0;
constexpr uint8_t kPmtTable = 2;
constexpr uint8_t kMpeg1Audio = 0x03;
constexpr uint8_t kMpeg2Audio = 0x04;
// Private data: ffmpeg's Blu-ray mode (192-byte packets) marks MPEG audio so.
constexpr uint8_t kPrivateData = 0x06;
constexpr std::size_t kMostPrivatePids = 8;
constexpr std::size_t kMostServices = 64;
// A section is at most 1021 bytes after its three-byte head.
constexpr std::size_t kMostSectionBytes = 1024;
constexpr std::size_t kSectionCrcBytes = 4;
// The ISO 639 language descriptor: three letters and the audio type, which
// marks tracks made for the impaired.
constexpr uint8_t kLanguageDescriptor = 0x0A;

// Which of the section buffers a table's PID fills.
std::size_t SectionSlot(int nPid) {
    return nPid == kPatPid ? 0 : nPid == kSdtPid ? 2 : nPid == kEitPid ? 3 : 1;
}

int SyncOffsetOf(int nPacketBytes) {
    return nPacketBytes == 192 ? 4 : 0;
}

bool IsUsablePid(int nPid) {
    return nPid != kPatPid && nPid != kNullPid;
}

}  // namespace

CTransportStreamSource::CTransportStreamSource(std::unique_ptr<CByteSource> pInner,
                                               StopRequest fnStop, int nPacketBytes,
                                               CTrackChoice choice)
    : CDemuxSource(std::move(pInner), std::move(fnStop)),
      m_nPacketBytes(nPacketBytes),
      m_nSyncAt(SyncOffsetOf(nPacketBytes)),
      m_choice(std::move(choice)) {}

int CTransportStreamSource::DetectPacketBytes(const uint8_t* pStart, std::size_t nBytes) {
    for (int nSize : {188, 192, 204}) {
        const auto nAt = static_cast<std::size_t>(SyncOffsetOf(nSize));
        // Three packet starts where there are three, else what there is.
        int nSeen = 0;
        bool bAll = true;
        for (std::size_t nPos = nAt; nPos < nBytes && nSeen < 3;
             nPos += static_cast<std::size_t>(nSize)) {
            bAll = bAll && pStart[nPos] == kSyncByte;
            ++nSeen;
        }
        if (bAll && nSeen > 0 && (nSeen == 3 || nBytes < nAt + 3u * nSize)) {
            return nSize;
        }
    }
    return 0;
}

bool CTransportStreamSource::Resync() {
    SkipIn(1);
    const auto nSize = static_cast<std::size_t>(m_nPacketBytes);
    const auto nAt = static_cast<std::size_t>(m_nSyncAt);
    std::vector<uint8_t> ahead(8192 + nSize);
    for (;;) {
        const std::size_t nGot = PeekIn(ahead.data(), ahead.size());
        if (nGot < nAt + kPacketBytes) {
            return false;
        }
        // A sync byte with another one packet later, or the end there.
        for (std::size_t i = 0; i + nAt < nGot; ++i) {
            if (ahead[i + nAt] != kSyncByte) {
                continue;
            }
            const std::size_t nNext = i + nAt + nSize;
            if (nNext < nGot ? ahead[nNext] == kSyncByte : nGot < ahead.size()) {
                return SkipIn(static_cast<int64_t>(i));
            }
        }
        if (nGot < ahead.size()) {
            return false;
        }
        SkipIn(static_cast<int64_t>(nGot - nSize - nAt));
    }
}

bool CTransportStreamSource::ReadPayload(std::vector<uint8_t>& payload, int64_t& nResumeAt) {
    uint8_t bBuffer[204];
    const std::size_t nGot = PeekIn(bBuffer, static_cast<std::size_t>(m_nPacketBytes));
    if (nGot < static_cast<std::size_t>(m_nSyncAt + kPacketBytes)) {
        return false;
    }
    const uint8_t* pPacket = bBuffer + m_nSyncAt;
    if (pPacket[0] != kSyncByte) {
        return Resync();
    }
    const int64_t nPacketAt = InOffset();
    SkipIn(m_nPacketBytes);
    const bool bBroken = (pPacket[1] & 0x80) != 0;
    const bool bStart = (pPacket[1] & 0x40) != 0;
    const int nPid = ((pPacket[1] & 0x1F) << 8) | pPacket[2];
    const int nControl = (pPacket[3] >> 4) & 3;
    std::size_t nAt = 4;
    if ((nControl & 2) != 0) {
        nAt += 1u + pPacket[4];
    }
    if (bBroken) {
        return true;
    }
    if ((nControl & 1) == 0 || nAt >= kPacketBytes) {
        return true;
    }
    const uint8_t* pData = pPacket + nAt;
    const std::size_t nBytes = kPacketBytes - nAt;
    if (m_nAudioPid < 0 && bStart && IsPrivateAudio(nPid, pData, nBytes)) {
        m_nAudioPid = nPid;
    }
    if (nPid == m_nAudioPid) {
        bool bResume = false;
        TakeAudio(pPacket, pData, nBytes, payload, bResume);
        if (bResume) {
            nResumeAt = nPacketAt;
        }
    } else if ((m_nAudioPid < 0 && (nPid == kPatPid || nPid == m_nPmtPid)) || nPid == kSdtPid ||
               nPid == kEitPid) {
        TakeSection(nPid, bStart, pData, nBytes);
    }
    return true;
}

void CTransportStreamSource::TakeAudio(const uint8_t* pPacket, const uint8_t* pData,
                                       std::size_t nBytes, std::vector<uint8_t>& payload,
                                       bool& bResume) {
    const int nCounter = pPacket[3] & 15;
    if (nCounter == m_nLastCounter) {
        return;  // sent twice
    }
    // A gap in the counter (packets lost) is left to the frame search, which
    // loses only the frames it cut; dropping the rest of the PES packet would
    // lose all of them.
    m_nLastCounter = nCounter;
    if ((pPacket[1] & 0x40) != 0) {
        m_bDropping = true;
        if (nBytes < 9 || pData[0] != 0 || pData[1] != 0 || pData[2] != 1 ||
            !IsAudioStreamId(pData[3])) {
            return;
        }
        const int nHeader = PesHeaderBytes(pData + 6, nBytes - 6);
        if (nHeader < 0) {
            return;
        }
        const int nLength = (pData[4] << 8) | pData[5];
        m_nPesLeft = nLength == 0 ? -1 : std::max(nLength - nHeader, 0);
        m_bDropping = false;
        bResume = true;
        pData += 6 + nHeader;
        nBytes -= 6 + static_cast<std::size_t>(nHeader);
    }
    if (m_bDropping) {
        return;
    }
    if (m_nPesLeft >= 0) {
        nBytes =
            static_cast<std::size_t>(std::min<int64_t>(static_cast<int64_t>(nBytes), m_nPesLeft));
        m_nPesLeft -= static_cast<int64_t>(nBytes);
    }
    payload.insert(payload.end(), pData, pData + nBytes);
}

void CTransportStreamSource::TakeSection(int nPid, bool bStart, const uint8_t* pData,
                                         std::size_t nBytes) {
    std::vector<uint8_t>& section = m_sections[SectionSlot(nPid)];
    if (!bStart) {
        if (!section.empty()) {
            AddToSection(nPid, section, pData, nBytes);
        }
        return;
    }
    const std::size_t nPointer = pData[0];
    if (1 + nPointer >= nBytes) {
        section.clear();
        return;
    }
    // The bytes before the pointed-to start end the section begun before.
    if (!section.empty()) {
        AddToSection(nPid, section, pData + 1, nPointer);
        section.clear();
    }
    // Sections follow one another up to the stuffing.
    pData += 1 + nPointer;
    nBytes -= 1 + nPointer;
    while (nBytes > 0 && pData[0] != 0xFF) {
        section.clear();
        const std::size_t nTaken = AddToSection(nPid, section, pData, nBytes);
        pData += nTaken;
        nBytes -= nTaken;
    }
}

std::size_t CTransportStreamSource::AddToSection(int nPid, std::vector<uint8_t>& section,
                                                 const uint8_t* pData, std::size_t nBytes) {
    std::size_t nTaken = 0;
    while (section.size() < 3 && nTaken < nBytes) {
        section.push_back(pData[nTaken++]);
    }
    if (section.size() < 3) {
        return nTaken;
    }
    const std::size_t nTotal = 3 + (((section[1] & 0x0F) << 8) | section[2]);
    if (nTotal > kMostSectionBytes + 3) {
        section.clear();
        return nBytes;
    }
    const std::size_t nMore = std::min(nBytes - nTaken, nTotal - section.size());
    section.insert(section.end(), pData + nTaken, pData + nTaken + nMore);
    nTaken += nMore;
    if (section.size() == nTotal) {
        ParseSection(nPid, section.data(), nTotal);
        section.clear();
    }
    return nTaken;
}

void CTransportStreamSource::ParseSection(int nPid, const uint8_t* pSection, std::size_t nBytes) {
    constexpr std::size_t kHeadBytes = 8;
    if (nBytes < kHeadBytes + kSectionCrcBytes) {
        return;
    }
    const std::size_t nEnd = nBytes - kSectionCrcBytes;
    if (nPid == kPatPid && pSection[0] == kPatTable) {
        for (std::size_t i = kHeadBytes; i + 4 <= nEnd; i += 4) {
            const int nProgram = (pSection[i] << 8) | pSection[i + 1];
            const int nMapPid = ((pSection[i + 2] & 0x1F) << 8) | pSection[i + 3];
            if (nProgram != 0 && IsUsablePid(nMapPid)) {
                m_nPmtPid = nMapPid;
                m_nProgram = nProgram;
                NameService();
                return;
            }
        }
    } else if (nPid == m_nPmtPid && pSection[0] == kPmtTable && nEnd >= 12) {
        std::size_t i = 12 + (((pSection[10] & 0x0F) << 8) | pSection[11]);
        m_privatePids.clear();
        m_tracks.clear();
        std::vector<int> audioPids;
        while (i + 5 <= nEnd) {
            const uint8_t bType = pSection[i];
            const int nStreamPid = ((pSection[i + 1] & 0x1F) << 8) | pSection[i + 2];
            const std::size_t nInfoEnd =
                std::min(nEnd, i + 5 + (((pSection[i + 3] & 0x0F) << 8) | pSection[i + 4]));
            // A map that names itself (or the tables' PIDs) as the audio is broken.
            if ((bType == kMpeg1Audio || bType == kMpeg2Audio) && IsUsablePid(nStreamPid) &&
                nStreamPid != m_nPmtPid && audioPids.size() < kMostPrivatePids) {
                audioPids.push_back(nStreamPid);
                m_tracks.push_back(DescribeTrack(pSection + i + 5, pSection + nInfoEnd));
            }
            if (bType == kPrivateData && IsUsablePid(nStreamPid) && nStreamPid != m_nPmtPid &&
                m_privatePids.size() < kMostPrivatePids) {
                m_privatePids.push_back(nStreamPid);
            }
            i = nInfoEnd;
        }
        if (!audioPids.empty()) {
            m_nAudioPid = audioPids[static_cast<std::size_t>(ChooseTrack(m_tracks, m_choice))];
            m_privatePids.clear();
        }
    } else if (nPid == kSdtPid) {
        for (CDvbService& service : ReadServiceSection(pSection, nEnd)) {
            auto it =
                std::find_if(m_services.begin(), m_services.end(),
                             [&](const CDvbService& known) { return known.nId == service.nId; });
            if (it != m_services.end()) {
                *it = std::move(service);
            } else if (m_services.size() < kMostServices) {
                m_services.push_back(std::move(service));
            }
        }
        NameService();
    } else if (nPid == kEitPid && m_nProgram >= 0) {
        int nService = 0;
        std::string strName;
        if (ReadPresentEvent(pSection, nEnd, nService, strName) && nService == m_nProgram) {
            m_strProgramme = std::move(strName);
            NameService();
        }
    }
}

void CTransportStreamSource::NameService() {
    CTrackInfo info;
    for (const CDvbService& service : m_services) {
        if (service.nId == m_nProgram) {
            info.strService = service.strName;
            info.strProvider = service.strProvider;
        }
    }
    info.strProgramme = m_strProgramme;
    if (info.strService != m_info.strService || info.strProvider != m_info.strProvider ||
        info.strProgramme != m_info.strProgramme) {
        m_info = std::move(info);
        ++m_nInfoRevision;
    }
}

const CTrackInfo* CTransportStreamSource::ContainerTrackInfo() const {
    const CTrackInfo* pBelow = Inner() != nullptr ? Inner()->ContainerTrackInfo() : nullptr;
    if (m_info.IsEmpty()) {
        return pBelow;
    }
    m_shown = m_info;
    if (pBelow != nullptr) {
        m_shown.Complete(*pBelow);
    }
    return &m_shown;
}

uint64_t CTransportStreamSource::TrackInfoRevision() const {
    return m_nInfoRevision + (Inner() != nullptr ? Inner()->TrackInfoRevision() : 0);
}

void CTransportStreamSource::Restart(bool bFromStart) {
    m_nLastCounter = -1;
    m_bDropping = true;
    m_nPesLeft = -1;
    for (std::vector<uint8_t>& section : m_sections) {
        section.clear();
    }
    if (bFromStart) {
        m_nPmtPid = -1;
        m_nAudioPid = -1;
        m_privatePids.clear();
        // What is on air at the start is told again there.
        m_nProgram = -1;
        m_strProgramme.clear();
        NameService();
    }
}

CAudioTrack CTransportStreamSource::DescribeTrack(const uint8_t* pInfo, const uint8_t* pEnd) {
    CAudioTrack track;
    while (pEnd - pInfo >= 2 && pEnd - pInfo - 2 >= pInfo[1]) {
        if (pInfo[0] == kLanguageDescriptor && pInfo[1] >= 4) {
            for (int c = 0; c < 3; ++c) {
                const char cLetter = static_cast<char>(pInfo[2 + c]);
                if (cLetter >= 'a' && cLetter <= 'z') {
                    track.strLanguage += cLetter;
                } else if (cLetter >= 'A' && cLetter <= 'Z') {
                    track.strLanguage += static_cast<char>(cLetter - 'A' + 'a');
                }
            }
            if (track.strLanguage.size() != 3) {
                track.strLanguage.clear();
            }
            constexpr CAudioTrack::EKind kKinds[] = {
                CAudioTrack::EKind::Main, CAudioTrack::EKind::CleanEffects,
                CAudioTrack::EKind::HearingImpaired, CAudioTrack::EKind::VisuallyImpaired};
            track.kind = pInfo[5] < 4 ? kKinds[pInfo[5]] : CAudioTrack::EKind::Main;
            break;
        }
        pInfo += 2 + pInfo[1];
    }
    return track;
}

// A private-data stream of the map whose PES packet, starting here, has an
// MPEG audio stream id.
bool CTransportStreamSource::IsPrivateAudio(int nPid, const uint8_t* pData,
                                            std::size_t nBytes) const {
    return std::find(m_privatePids.begin(), m_privatePids.end(), nPid) != m_privatePids.end() &&
           nBytes >= 4 && pData[0] == 0 && pData[1] == 0 && pData[2] == 1 &&
           IsAudioStreamId(pData[3]);
}

}  // namespace corvina
