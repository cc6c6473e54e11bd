// The Layer I/II tracks of a container (a DVB recording's languages, a
// remux's commentary) and the caller's choice among them.
#pragma once

#include <string>
#include <vector>

namespace corvina {

struct CAudioTrack {
    // Who the track is made for, as the container marks it.
    enum class EKind { Main, VisuallyImpaired, HearingImpaired, CleanEffects };
    std::string strLanguage;  // ISO 639-2 ("deu"), empty where not told
    EKind kind = EKind::Main;
};

struct CTrackChoice {
    int nTrack = 0;           // 1-based among the Layer I/II tracks; 0 for the default
    std::string strLanguage;  // ISO 639-2; empty for any
};

// The 0-based track of tracks that choice names: track nTrack, else the
// first of the language that is not made for the impaired, else the first
// of the language, else the default: the first track that is not made for
// the visually or hearing impaired, else the first. -1 for no tracks.
int ChooseTrack(const std::vector<CAudioTrack>& tracks, const CTrackChoice& choice);
// "main", "visually impaired", "hearing impaired", "clean effects".
const char* TrackKindName(CAudioTrack::EKind kind);
// How the track is named to the user: "Track 2: eng, main" for the track
// numbered nNumber (1-based), "language not told" where it is not.
std::string TrackName(int nNumber, const CAudioTrack& track);

}  // namespace corvina
