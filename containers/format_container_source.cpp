// A libavformat demuxer over our own byte source, giving one track's packets.
#include "containers/format_container_source.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "containers/av_library.h"

#include "containers/format_metadata.h"

namespace corvina {

namespace {

constexpr int kIoBytes = 32 * 1024;
// A container that tells its streams only as their packets come (FLV) shows
// its audio within this many packets, or is taken to have none.
constexpr int kDiscoveryPackets = 256;
// A move this many packets ahead reads on instead of seeking.
constexpr std::size_t kReadOnPackets = 32;
constexpr int64_t kNoTime = INT64_MIN;

// Nothing is opened by name: no second file, no network, no playlist entry.
int RefuseOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) {
    return AVERROR(EPERM);
}

int IsInterrupted(void* pOpaque) {
    return IsStopRequested(*static_cast<const StopRequest*>(pOpaque)) ? 1 : 0;
}

bool IsMpegAudio(AVCodecID eCodec) {
    return eCodec == AV_CODEC_ID_MP1 || eCodec == AV_CODEC_ID_MP2 || eCodec == AV_CODEC_ID_MP3;
}

// Names for the codecs people meet, where libavformat's short name is not
// the one they know.
std::string DisplayName(AVCodecID eCodec) {
    static constexpr struct {
        AVCodecID eCodec;
        const char* pszName;
    } kNames[] = {
        {AV_CODEC_ID_AAC, "AAC"},           {AV_CODEC_ID_AC3, "AC-3"},
        {AV_CODEC_ID_EAC3, "E-AC-3"},       {AV_CODEC_ID_DTS, "DTS"},
        {AV_CODEC_ID_MP3, "MP3"},           {AV_CODEC_ID_FLAC, "FLAC"},
        {AV_CODEC_ID_VORBIS, "Vorbis"},     {AV_CODEC_ID_OPUS, "Opus"},
        {AV_CODEC_ID_H264, "H.264"},        {AV_CODEC_ID_HEVC, "H.265"},
        {AV_CODEC_ID_MPEG1VIDEO, "MPEG-1"}, {AV_CODEC_ID_MPEG2VIDEO, "MPEG-2"},
        {AV_CODEC_ID_MPEG4, "MPEG-4"},      {AV_CODEC_ID_VP8, "VP8"},
        {AV_CODEC_ID_VP9, "VP9"},           {AV_CODEC_ID_AV1, "AV1"},
    };
    for (const auto& name : kNames) {
        if (name.eCodec == eCodec) {
            return name.pszName;
        }
    }
    return Av().avcodec_get_name(eCodec);
}

const char* KindName(AVMediaType eType) {
    switch (eType) {
        case AVMEDIA_TYPE_AUDIO:
            return " audio";
        case AVMEDIA_TYPE_VIDEO:
            return " video";
        case AVMEDIA_TYPE_SUBTITLE:
            return " subtitles";
        default:
            return " data";
    }
}

// The language and the kind that the stream's tags and dispositions tell.
CAudioTrack DescribeTrack(const AVStream& stream) {
    CAudioTrack track;
    if (const AVDictionaryEntry* pEntry =
            Av().av_dict_get(stream.metadata, "language", nullptr, 0)) {
        const std::string strLanguage = pEntry->value != nullptr ? pEntry->value : "";
        if (strLanguage.size() == 3 && strLanguage != "und") {
            track.strLanguage = strLanguage;
        }
    }
    if ((stream.disposition & AV_DISPOSITION_VISUAL_IMPAIRED) != 0) {
        track.kind = CAudioTrack::EKind::VisuallyImpaired;
    } else if ((stream.disposition & AV_DISPOSITION_HEARING_IMPAIRED) != 0) {
        track.kind = CAudioTrack::EKind::HearingImpaired;
    } else if ((stream.disposition & AV_DISPOSITION_CLEAN_EFFECTS) != 0) {
        track.kind = CAudioTrack::EKind::CleanEffects;
    }
    return track;
}

}  // namespace

CFormatContainerSource::CFormatContainerSource(std::unique_ptr<CByteSource> pInner,
                                               const AVInputFormat* pFormat, StopRequest fnStop,
                                               CTrackChoice choice)
    : m_pInner(std::move(pInner)),
      m_pInputFormat(pFormat),
      m_fnStop(std::move(fnStop)),
      m_nInnerStart(m_pInner->Position()),
      m_pPacket(Av().av_packet_alloc()) {
    m_choice = std::move(choice);
    if (m_pPacket == nullptr) {
        m_strError = "out of memory";
        return;
    }
    if (OpenDemuxer()) {
        FindTrack();
        if (HasTrack()) {
            m_TrackInfo = ReadFormatMetadata(*m_pFormat, m_nTrack);
        }
    }
}

CFormatContainerSource::~CFormatContainerSource() {
    CloseDemuxer();
    Av().av_packet_free(&m_pPacket);
}

int CFormatContainerSource::ReadIo(void* pOpaque, uint8_t* pBuffer, int nBytes) {
    auto* pSelf = static_cast<CFormatContainerSource*>(pOpaque);
    if (IsStopRequested(pSelf->m_fnStop)) {
        return AVERROR_EXIT;
    }
    const std::size_t nRead = pSelf->m_pInner->Read(pBuffer, static_cast<std::size_t>(nBytes));
    return nRead > 0 ? static_cast<int>(nRead) : AVERROR_EOF;
}

int64_t CFormatContainerSource::SeekIo(void* pOpaque, int64_t nOffset, int nWhence) {
    auto* pSelf = static_cast<CFormatContainerSource*>(pOpaque);
    CByteSource& inner = *pSelf->m_pInner;
    const int64_t nSize = inner.Size() >= 0 ? inner.Size() - pSelf->m_nInnerStart : -1;
    if ((nWhence & AVSEEK_SIZE) != 0) {
        return nSize >= 0 ? nSize : AVERROR(ENOSYS);
    }
    int64_t nTarget = nOffset;
    switch (nWhence & ~AVSEEK_FORCE) {
        case SEEK_SET:
            break;
        case SEEK_CUR:
            nTarget += inner.Position() - pSelf->m_nInnerStart;
            break;
        case SEEK_END:
            if (nSize < 0) {
                return AVERROR(ENOSYS);
            }
            nTarget += nSize;
            break;
        default:
            return AVERROR(EINVAL);
    }
    if (nTarget < 0 || (nSize >= 0 && nTarget > nSize) ||
        !inner.Seek(pSelf->m_nInnerStart + nTarget)) {
        return AVERROR(EIO);
    }
    return nTarget;
}

bool CFormatContainerSource::OpenDemuxer() {
    if (m_pInner->Position() != m_nInnerStart && !m_pInner->Seek(m_nInnerStart)) {
        m_strError = "cannot go back to its start";
        return false;
    }
    auto* pBuffer = static_cast<uint8_t*>(Av().av_malloc(kIoBytes));
    if (pBuffer != nullptr) {
        m_pIo = Av().avio_alloc_context(pBuffer, kIoBytes, 0, this, ReadIo, nullptr,
                                        m_pInner->CanSeek() ? SeekIo : nullptr);
    }
    if (m_pIo == nullptr) {
        Av().av_free(pBuffer);
        m_strError = "out of memory";
        return false;
    }
    m_pIo->seekable = m_pInner->CanSeek() ? AVIO_SEEKABLE_NORMAL : 0;
    m_pFormat = Av().avformat_alloc_context();
    if (m_pFormat == nullptr) {
        CloseDemuxer();
        m_strError = "out of memory";
        return false;
    }
    m_pFormat->pb = m_pIo;
    m_pFormat->flags |= AVFMT_FLAG_CUSTOM_IO;
    m_pFormat->io_open = RefuseOpen;
    m_pFormat->interrupt_callback.callback = IsInterrupted;
    m_pFormat->interrupt_callback.opaque = &m_fnStop;
    // The demuxer chosen is the only one, and no protocol is to be had.
    AVDictionary* pOptions = nullptr;
    Av().av_dict_set(&pOptions, "format_whitelist", m_pInputFormat->name, 0);
    Av().av_dict_set(&pOptions, "protocol_whitelist", "none", 0);
    const int nResult = Av().avformat_open_input(&m_pFormat, "", m_pInputFormat, &pOptions);
    Av().av_dict_free(&pOptions);
    if (nResult < 0) {
        // The failed open has freed the context, not our I/O.
        char szError[AV_ERROR_MAX_STRING_SIZE] = {};
        Av().av_strerror(nResult, szError, sizeof szError);
        m_strError = szError;
        CloseDemuxer();
        return false;
    }
    return true;
}

void CFormatContainerSource::CloseDemuxer() {
    Av().avformat_close_input(&m_pFormat);
    if (m_pIo != nullptr) {
        Av().av_freep(&m_pIo->buffer);
        Av().avio_context_free(&m_pIo);
    }
}

std::unique_ptr<CByteSource> CFormatContainerSource::ReleaseInner() {
    CloseDemuxer();
    m_nTrack = -1;
    if (!m_pInner->CanSeek() || !m_pInner->Seek(m_nInnerStart)) {
        return nullptr;
    }
    return std::move(m_pInner);
}

void CFormatContainerSource::FindTrack() {
    // Layer I and II by name first; MPEG audio of any layer (MP4's one name
    // for them all) where there is no such track. Of several, the choice.
    const auto choose = [this] {
        for (const bool bAnyLayer : {false, true}) {
            std::vector<int> streams;
            m_tracks.clear();
            for (unsigned i = 0; i < m_pFormat->nb_streams; ++i) {
                const AVStream* pStream = m_pFormat->streams[i];
                const AVCodecID eCodec = pStream->codecpar->codec_id;
                if (bAnyLayer ? IsMpegAudio(eCodec)
                              : eCodec == AV_CODEC_ID_MP1 || eCodec == AV_CODEC_ID_MP2) {
                    streams.push_back(static_cast<int>(i));
                    m_tracks.push_back(DescribeTrack(*pStream));
                }
            }
            if (!streams.empty()) {
                m_nTrack = streams[static_cast<std::size_t>(ChooseTrack(m_tracks, m_choice))];
                return;
            }
        }
    };
    choose();
    if (m_nTrack >= 0 || (m_pFormat->ctx_flags & AVFMTCTX_NOHEADER) == 0) {
        return;
    }
    std::vector<std::pair<int, std::vector<uint8_t>>> read;
    for (int n = 0; n < kDiscoveryPackets && m_nTrack < 0; ++n) {
        if (Av().av_read_frame(m_pFormat, m_pPacket) < 0) {
            break;
        }
        read.emplace_back(m_pPacket->stream_index,
                          std::vector<uint8_t>(m_pPacket->data, m_pPacket->data + m_pPacket->size));
        Av().av_packet_unref(m_pPacket);
        choose();
    }
    for (auto& [nStream, bytes] : read) {
        if (nStream == m_nTrack && !bytes.empty()) {
            m_pending.push_back(std::move(bytes));
        }
    }
}

std::string CFormatContainerSource::DescribeTracks() const {
    std::vector<std::string> kinds;
    for (unsigned i = 0; m_pFormat != nullptr && i < m_pFormat->nb_streams; ++i) {
        const AVStream* pStream = m_pFormat->streams[i];
        if ((pStream->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0) {
            continue;
        }
        const std::string strKind =
            DisplayName(pStream->codecpar->codec_id) + KindName(pStream->codecpar->codec_type);
        if (std::find(kinds.begin(), kinds.end(), strKind) == kinds.end()) {
            kinds.push_back(strKind);
        }
    }
    std::string strText;
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        strText += (i == 0 ? "" : i + 1 == kinds.size() ? " and " : ", ") + kinds[i];
    }
    return strText;
}

std::string CFormatContainerSource::ElementaryCodec() const {
    if (m_pFormat == nullptr || m_pFormat->nb_streams != 1) {
        return {};
    }
    const AVCodecID eCodec = m_pFormat->streams[0]->codecpar->codec_id;
    const std::string strNames = std::string(",") + m_pInputFormat->name + ",";
    const std::string strCodec = std::string(",") + Av().avcodec_get_name(eCodec) + ",";
    return strNames.find(strCodec) != std::string::npos ? DisplayName(eCodec) : std::string();
}

bool CFormatContainerSource::ReadTrackPacket(CPacketEntry& entry) {
    for (;;) {
        if (IsStopRequested(m_fnStop) || Av().av_read_frame(m_pFormat, m_pPacket) < 0) {
            return false;
        }
        if (m_pPacket->stream_index == m_nTrack && m_pPacket->size > 0) {
            break;
        }
        Av().av_packet_unref(m_pPacket);
    }
    m_packet.assign(m_pPacket->data, m_pPacket->data + m_pPacket->size);
    entry.nPos = m_pPacket->pos;
    entry.nDts = m_pPacket->dts != AV_NOPTS_VALUE ? m_pPacket->dts : kNoTime;
    entry.nBytes = m_pPacket->size;
    Av().av_packet_unref(m_pPacket);
    return true;
}

bool CFormatContainerSource::NextPacket() {
    if (m_pFormat == nullptr || m_nTrack < 0) {
        return false;
    }
    if (!m_pending.empty()) {
        m_packet = std::move(m_pending.front());
        m_pending.pop_front();
    } else {
        CPacketEntry entry{};
        if (!ReadTrackPacket(entry)) {
            return false;
        }
    }
    ++m_nNextEntry;
    return true;
}

bool CFormatContainerSource::BuildIndex(int64_t nBudget) {
    if (m_pFormat == nullptr || m_nTrack < 0 || !m_pInner->CanSeek() || m_pInner->Size() < 0 ||
        (nBudget >= 0 && m_pInner->Size() - m_nInnerStart > nBudget)) {
        return false;
    }
    // From the start, past what the look for the track read.
    CloseDemuxer();
    m_pending.clear();
    std::vector<CPacketEntry> index;
    int64_t nTotal = 0;
    if (OpenDemuxer()) {
        CPacketEntry entry{};
        while (ReadTrackPacket(entry)) {
            entry.nAudio = nTotal;
            index.push_back(entry);
            nTotal += entry.nBytes;
        }
    }
    const bool bWalked = !IsStopRequested(m_fnStop);
    CloseDemuxer();
    m_packet.clear();
    m_nPacketPos = 0;
    m_nNextEntry = 0;
    if (!OpenDemuxer() || !bWalked) {
        return false;
    }
    m_index = std::move(index);
    m_nTotal = nTotal;
    m_bIndexed = true;
    return true;
}

bool CFormatContainerSource::AdoptIndex(CByteSource& walked) {
    auto* pWalked = dynamic_cast<CFormatContainerSource*>(&walked);
    if (pWalked == nullptr || !pWalked->m_bIndexed || m_bIndexed || m_pInner == nullptr ||
        !m_pInner->CanSeek() || pWalked->m_nTrack != m_nTrack ||
        pWalked->m_nInnerStart != m_nInnerStart || m_nNextEntry > pWalked->m_index.size()) {
        return false;
    }
    // The packets read so far must be the walk's first ones.
    const int64_t nReadEnd = m_nPosition + static_cast<int64_t>(m_packet.size() - m_nPacketPos);
    const int64_t nIndexEnd = m_nNextEntry == 0 ? 0
                                                : pWalked->m_index[m_nNextEntry - 1].nAudio +
                                                      pWalked->m_index[m_nNextEntry - 1].nBytes;
    if (nReadEnd != nIndexEnd) {
        return false;
    }
    m_index = std::move(pWalked->m_index);
    m_nTotal = pWalked->m_nTotal;
    m_bIndexed = true;
    pWalked->m_bIndexed = false;
    return true;
}

bool CFormatContainerSource::ReadAheadFirstPacket() {
    if (!m_pending.empty()) {
        return true;
    }
    CPacketEntry entry{};
    if (m_pFormat == nullptr || m_nTrack < 0 || !ReadTrackPacket(entry)) {
        return false;
    }
    m_pending.push_back(std::move(m_packet));
    m_packet.clear();
    m_nPacketPos = 0;
    return true;
}

bool CFormatContainerSource::IsMovFamily() const {
    return std::string_view(m_pInputFormat->name).starts_with("mov,");
}

std::size_t CFormatContainerSource::Read(uint8_t* pBuffer, std::size_t nBytes) {
    std::size_t nDone = 0;
    while (nDone < nBytes) {
        if (m_nPacketPos == m_packet.size()) {
            if (m_bEnded || !NextPacket()) {
                m_bEnded = true;
                break;
            }
            m_nPacketPos = 0;
        }
        const std::size_t nCopy = std::min(nBytes - nDone, m_packet.size() - m_nPacketPos);
        std::memcpy(pBuffer + nDone, m_packet.data() + m_nPacketPos, nCopy);
        m_nPacketPos += nCopy;
        nDone += nCopy;
    }
    m_nPosition += static_cast<int64_t>(nDone);
    return nDone;
}

bool CFormatContainerSource::LoadEntry(std::size_t nEntry) {
    const CPacketEntry& wanted = m_index[nEntry];
    const auto isWanted = [&wanted](const CPacketEntry& entry) {
        return entry.nDts == wanted.nDts && entry.nBytes == wanted.nBytes &&
               (entry.nPos < 0 || wanted.nPos < 0 || entry.nPos == wanted.nPos);
    };
    m_pending.clear();
    if (m_pFormat != nullptr && wanted.nDts != kNoTime &&
        Av().av_seek_frame(m_pFormat, m_nTrack, wanted.nDts, AVSEEK_FLAG_BACKWARD) >= 0) {
        CPacketEntry entry{};
        while (ReadTrackPacket(entry)) {
            if (isWanted(entry)) {
                m_nNextEntry = nEntry + 1;
                return true;
            }
            if (entry.nDts != kNoTime && entry.nDts > wanted.nDts) {
                break;
            }
        }
    }
    // The seek did not land before the packet: counted from the start.
    CloseDemuxer();
    if (!OpenDemuxer()) {
        return false;
    }
    CPacketEntry entry{};
    for (std::size_t i = 0; i <= nEntry; ++i) {
        if (!ReadTrackPacket(entry) || entry.nBytes != m_index[i].nBytes) {
            return false;
        }
    }
    m_nNextEntry = nEntry + 1;
    return true;
}

bool CFormatContainerSource::Seek(int64_t nOffset) {
    if (!m_bIndexed || nOffset < 0 || nOffset > m_nTotal) {
        return false;
    }
    m_bEnded = false;
    if (nOffset == m_nTotal) {
        m_packet.clear();
        m_nPacketPos = 0;
        m_pending.clear();
        m_bEnded = true;
        m_nPosition = nOffset;
        return true;
    }
    const auto after = std::upper_bound(
        m_index.begin(), m_index.end(), nOffset,
        [](int64_t nValue, const CPacketEntry& entry) { return nValue < entry.nAudio; });
    const std::size_t nEntry = static_cast<std::size_t>(after - m_index.begin()) - 1;
    const bool bInHand = m_nNextEntry == nEntry + 1 && !m_packet.empty();
    if (!bInHand) {
        bool bFound = false;
        if (nEntry >= m_nNextEntry && nEntry - m_nNextEntry < kReadOnPackets) {
            while (m_nNextEntry <= nEntry && NextPacket()) {
            }
            bFound = m_nNextEntry == nEntry + 1;
        }
        if (!bFound && !LoadEntry(nEntry)) {
            m_packet.clear();
            m_nPacketPos = 0;
            m_bEnded = true;
            return false;
        }
    }
    if (m_packet.size() != static_cast<std::size_t>(m_index[nEntry].nBytes)) {
        m_bEnded = true;
        return false;
    }
    m_nPacketPos = static_cast<std::size_t>(nOffset - m_index[nEntry].nAudio);
    m_nPosition = nOffset;
    return true;
}

}  // namespace corvina
