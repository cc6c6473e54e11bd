// Choosing a track.
#include "decoder/audio_track.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace corvina {

namespace {

bool IsForImpaired(const CAudioTrack& track) {
    return track.kind == CAudioTrack::EKind::VisuallyImpaired ||
           track.kind == CAudioTrack::EKind::HearingImpaired;
}

bool IsLanguage(const std::string& strA, const std::string& strB) {
    return strA.size() == strB.size() &&
           std::equal(strA.begin(), strA.end(), strB.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

}  // namespace

int ChooseTrack(const std::vector<CAudioTrack>& tracks, const CTrackChoice& choice) {
    const int nTracks = static_cast<int>(tracks.size());
    if (nTracks == 0) {
        return -1;
    }
    if (choice.nTrack >= 1 && choice.nTrack <= nTracks) {
        return choice.nTrack - 1;
    }
    const auto first = [&](auto fnFits) {
        const auto it = std::find_if(tracks.begin(), tracks.end(), fnFits);
        return it == tracks.end() ? -1 : static_cast<int>(it - tracks.begin());
    };
    if (!choice.strLanguage.empty()) {
        for (const bool bMain : {true, false}) {
            const int nFound = first([&](const CAudioTrack& track) {
                return IsLanguage(track.strLanguage, choice.strLanguage) &&
                       (!bMain || !IsForImpaired(track));
            });
            if (nFound >= 0) {
                return nFound;
            }
        }
    }
    const int nMain = first([](const CAudioTrack& track) { return !IsForImpaired(track); });
    return nMain >= 0 ? nMain : 0;
}

const char* TrackKindName(CAudioTrack::EKind kind) {
    switch (kind) {
        case CAudioTrack::EKind::VisuallyImpaired:
            return "visually impaired";
        case CAudioTrack::EKind::HearingImpaired:
            return "hearing impaired";
        case CAudioTrack::EKind::CleanEffects:
            return "clean effects";
        case CAudioTrack::EKind::Main:
            break;
    }
    return "main";
}

std::string TrackName(int nNumber, const CAudioTrack& track) {
    return "Track " + std::to_string(nNumber) + ": " +
           (track.strLanguage.empty() ? std::string("language not told") : track.strLanguage) +
           ", " + TrackKindName(track.kind);
}

}  // namespace corvina
