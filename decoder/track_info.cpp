// What plays, and its text as the front ends show it.
#include "decoder/track_info.h"

#include <atomic>

namespace corvina {

namespace {

std::atomic<TagReader> g_pfnTagReader{nullptr};
std::atomic<TagBytesReader> g_pfnTagBytesReader{nullptr};

// Length of the UTF-8 sequence at text[i], 0 where none starts there.
std::size_t SequenceLength(std::string_view text, std::size_t i) {
    const auto b = static_cast<uint8_t>(text[i]);
    std::size_t nLength = 0;
    uint32_t dwCode = 0;
    if (b < 0x80) {
        return 1;
    } else if (b >= 0xC2 && b <= 0xDF) {
        nLength = 2;
        dwCode = b & 0x1Fu;
    } else if (b >= 0xE0 && b <= 0xEF) {
        nLength = 3;
        dwCode = b & 0x0Fu;
    } else if (b >= 0xF0 && b <= 0xF4) {
        nLength = 4;
        dwCode = b & 0x07u;
    } else {
        return 0;
    }
    if (text.size() - i < nLength) {
        return 0;
    }
    for (std::size_t k = 1; k < nLength; ++k) {
        const auto c = static_cast<uint8_t>(text[i + k]);
        if ((c & 0xC0) != 0x80) {
            return 0;
        }
        dwCode = (dwCode << 6) | (c & 0x3Fu);
    }
    // Overlong forms, surrogates and codes past Unicode are not text.
    static constexpr uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (dwCode < kLeast[nLength] || (dwCode >= 0xD800 && dwCode <= 0xDFFF) || dwCode > 0x10FFFF) {
        return 0;
    }
    return nLength;
}

bool IsDropped(uint8_t b) {
    return (b < 0x20 && b != '\t' && b != '\n') || b == 0x7F;
}

void AddLine(std::string& strLines, const char* pszName, const std::string& strValue) {
    if (!strValue.empty()) {
        strLines += pszName;
        strLines += ": ";
        // One line each, whatever the value holds.
        for (const char c : strValue) {
            strLines += c == '\n' || c == '\t' ? ' ' : c;
        }
        strLines += '\n';
    }
}

}  // namespace

bool CTrackInfo::IsEmpty() const {
    return strTitle.empty() && strArtist.empty() && strAlbum.empty() && strAlbumArtist.empty() &&
           strDate.empty() && strGenre.empty() && strComment.empty() && nTrackNumber == 0 &&
           cover.bytes.empty() && strService.empty() && strProvider.empty() && strProgramme.empty();
}

void CTrackInfo::Complete(const CTrackInfo& other) {
    for (auto pField : {&CTrackInfo::strTitle, &CTrackInfo::strArtist, &CTrackInfo::strAlbum,
                        &CTrackInfo::strAlbumArtist, &CTrackInfo::strDate, &CTrackInfo::strGenre,
                        &CTrackInfo::strComment, &CTrackInfo::strService, &CTrackInfo::strProvider,
                        &CTrackInfo::strProgramme}) {
        if ((this->*pField).empty()) {
            this->*pField = other.*pField;
        }
    }
    if (nTrackNumber == 0) {
        nTrackNumber = other.nTrackNumber;
    }
    if (cover.bytes.empty()) {
        cover = other.cover;
    }
    for (auto pValue : {&CReplayGain::dTrackGain, &CReplayGain::dTrackPeak,
                        &CReplayGain::dAlbumGain, &CReplayGain::dAlbumPeak}) {
        if (std::isnan(replayGain.*pValue)) {
            replayGain.*pValue = other.replayGain.*pValue;
        }
    }
}

double ReplayGainFactor(const CReplayGain& gain, EReplayGain eMode) {
    if (eMode == EReplayGain::Off) {
        return 1.0;
    }
    const bool bAlbum = eMode == EReplayGain::Album;
    double dGain = bAlbum ? gain.dAlbumGain : gain.dTrackGain;
    double dPeak = bAlbum ? gain.dAlbumPeak : gain.dTrackPeak;
    if (std::isnan(dGain)) {
        dGain = bAlbum ? gain.dTrackGain : gain.dAlbumGain;
        dPeak = bAlbum ? gain.dTrackPeak : gain.dAlbumPeak;
    }
    // A gain past any sensible tag is not one.
    if (!std::isfinite(dGain) || std::fabs(dGain) > 60.0) {
        return 1.0;
    }
    double dFactor = std::pow(10.0, dGain / 20.0);
    if (std::isfinite(dPeak) && dPeak > 0.0 && dFactor * dPeak > 1.0) {
        dFactor = 1.0 / dPeak;
    }
    return dFactor;
}

std::string FormatTrackTags(const CTrackInfo& info) {
    std::string strLines;
    AddLine(strLines, "Title", info.strTitle);
    AddLine(strLines, "Artist", info.strArtist);
    AddLine(strLines, "Album", info.strAlbum);
    AddLine(strLines, "Year", info.strDate);
    AddLine(strLines, "Genre", info.strGenre);
    AddLine(strLines, "Comment", info.strComment);
    AddLine(strLines, "Service", info.strService);
    AddLine(strLines, "Provider", info.strProvider);
    AddLine(strLines, "Programme", info.strProgramme);
    return strLines;
}

std::string WithTrackTags(const std::string& strStreamInfo, const CTrackInfo& info) {
    const std::string strTags = FormatTrackTags(info);
    if (strTags.empty()) {
        return strStreamInfo;
    }
    return strStreamInfo + (strStreamInfo.ends_with('\n') ? "\n" : "\n\n") + strTags;
}

std::string TrackDisplayName(const CTrackInfo& info, const std::string& strFallback) {
    // A broadcast without titles is named by what is on air and where.
    if (info.strTitle.empty() && !info.strProgramme.empty()) {
        return info.strService.empty() ? info.strProgramme
                                       : info.strProgramme + " \u2014 " + info.strService;
    }
    if (info.strTitle.empty()) {
        return info.strService.empty() ? strFallback : info.strService;
    }
    return info.strArtist.empty() ? info.strTitle : info.strTitle + " \u2014 " + info.strArtist;
}

std::string ToValidUtf8(std::string_view text) {
    bool bUtf8 = true;
    for (std::size_t i = 0; i < text.size() && bUtf8;) {
        const std::size_t nLength = SequenceLength(text, i);
        bUtf8 = nLength > 0;
        i += nLength;
    }
    std::string strText;
    strText.reserve(text.size());
    for (const char c : text) {
        const auto b = static_cast<uint8_t>(c);
        if (IsDropped(b)) {
            continue;
        }
        if (bUtf8 || b < 0x80) {
            strText += c;
        } else {
            strText += static_cast<char>(0xC0 | (b >> 6));
            strText += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return strText;
}

void SetTagReader(TagReader pfnRead) {
    g_pfnTagReader.store(pfnRead);
}

TagReader GetTagReader() {
    return g_pfnTagReader.load();
}

void SetTagBytesReader(TagBytesReader pfnRead) {
    g_pfnTagBytesReader.store(pfnRead);
}

TagBytesReader GetTagBytesReader() {
    return g_pfnTagBytesReader.load();
}

}  // namespace corvina
