// What plays: the title, artist, album and cover of a track, and the names a
// broadcast gives it, as the file's tags, its container or its stream tell
// them. All text is valid UTF-8.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace corvina {

struct CTrackPicture {
    std::vector<uint8_t> bytes;
    std::string strMimeType;  // "image/jpeg"; empty where the tag names none
    int nType = 3;            // as ID3v2 numbers them: 3 the front cover
};

// ReplayGain as tagged: gains in dB, peaks as a fraction of full scale; NaN
// where not tagged.
struct CReplayGain {
    double dTrackGain = NAN;
    double dTrackPeak = NAN;
    double dAlbumGain = NAN;
    double dAlbumPeak = NAN;
};

enum class EReplayGain { Off, Track, Album };

struct CTrackInfo {
    std::string strTitle;
    std::string strArtist;
    std::string strAlbum;
    std::string strAlbumArtist;
    std::string strDate;  // as tagged: "1997", "1997-05-12"
    std::string strGenre;
    std::string strComment;
    int nTrackNumber = 0;  // 0 where unknown
    CTrackPicture cover;   // no bytes where there is none
    // The broadcast's names: the service (station), its provider and the
    // programme on air.
    std::string strService;
    std::string strProvider;
    std::string strProgramme;
    CReplayGain replayGain;

    bool IsEmpty() const;
    // Takes from other each field that this lacks.
    void Complete(const CTrackInfo& other);
};

// The tag lines the terminal and the information text show, as mpg123 does:
// "Title: ..." then Artist, Album, Year, Genre and Comment, those the track
// has, and the broadcast's Service, Provider and Programme, each ending in a
// newline; empty for a track without tags.
std::string FormatTrackTags(const CTrackInfo& info);
// The stream's information text with the track's tag lines after a blank
// line; the text alone where there are none.
std::string WithTrackTags(const std::string& strStreamInfo, const CTrackInfo& info);
// The factor that eMode's ReplayGain asks of the samples: the album's gain
// (else the track's) or the track's (else the album's), held down so that
// the tagged peak stays below full scale; 1 where off or untagged.
double ReplayGainFactor(const CReplayGain& gain, EReplayGain eMode);
// "Title — Artist", the title alone; without a title "Programme — Service",
// either alone, or strFallback where there is neither.
std::string TrackDisplayName(const CTrackInfo& info, const std::string& strFallback);

}  // namespace corvina
