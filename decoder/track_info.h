// What plays: the title, artist, album and cover of a track, and the names a
// broadcast gives it, as the file's tags, its container or its stream tell
// them. All text is valid UTF-8.
#pragma once

#include <cmath>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
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
// text as valid UTF-8: each byte of a sequence that is not UTF-8 taken as
// Latin-1 where the whole text is not UTF-8; control characters but tab
// and newline dropped.
std::string ToValidUtf8(std::string_view text);

// The reader of a file's own tags (ID3, APE, RIFF INFO, bext), registered by
// the library above this one: fills info from the file at strPath; a file
// without tags, or one that cannot be read, leaves it as it is.
using TagReader = void (*)(const std::string& strPath, CTrackInfo& info);
// Installs the reader the decoder asks about every file it opens by name;
// null removes it.
void SetTagReader(TagReader pfnRead);
TagReader GetTagReader();
// The reader of a leading ID3v2 tag given as its bytes, header and all: the
// tags of a stream read from a pipe. Registered and asked as the above.
using TagBytesReader = void (*)(std::span<const uint8_t> tag, CTrackInfo& info);
void SetTagBytesReader(TagBytesReader pfnRead);
TagBytesReader GetTagBytesReader();

}  // namespace corvina
