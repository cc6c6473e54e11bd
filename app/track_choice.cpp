// Tracks on the command line.
#include "app/track_choice.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

#include "player/player_hooks.h"

using namespace corvina;

bool CheckTrackChoice(const CStream& stream, const CTrackChoice& choice,
                      const std::string& strFile) {
    const std::vector<CAudioTrack> tracks = stream.Tracks();
    const int nTracks = std::max(static_cast<int>(tracks.size()), 1);
    const char* pszName = strFile == "-" ? "standard input" : strFile.c_str();
    if (choice.nTrack > nTracks) {
        std::fprintf(stderr, "corvina: %s holds %d Layer I or II track%s; there is no track %d\n",
                     pszName, nTracks, nTracks == 1 ? "" : "s", choice.nTrack);
        return false;
    }
    const auto isAsked = [&](const CAudioTrack& track) {
        return track.strLanguage.size() == choice.strLanguage.size() &&
               std::equal(track.strLanguage.begin(), track.strLanguage.end(),
                          choice.strLanguage.begin(), [](char a, char b) {
                              return std::tolower(static_cast<unsigned char>(a)) ==
                                     std::tolower(static_cast<unsigned char>(b));
                          });
    };
    if (choice.nTrack == 0 && !choice.strLanguage.empty() &&
        std::none_of(tracks.begin(), tracks.end(), isAsked)) {
        ShowWarningText("no track is in the language " + choice.strLanguage + "; playing track " +
                        std::to_string(std::max(ChooseTrack(tracks, choice), 0) + 1));
    }
    return true;
}

std::string DescribeTracks(const CStream& stream, const std::string& strFile) {
    const std::vector<CAudioTrack> tracks = stream.Tracks();
    if (tracks.size() < 2) {
        return {};
    }
    std::string strText;
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        strText += TrackName(static_cast<int>(i + 1), tracks[i]);
        // Each track's first frame, read from the file opened again; a pipe
        // is read once.
        if (strFile != "-") {
            CStream track;
            track.SetBackgroundWalk(true);
            track.SetTrackChoice({static_cast<int>(i + 1), {}});
            CFrameNames names;
            if (track.OpenFile(strFile) == EStreamResult::Ok &&
                track.FrameNames(names) == EStreamResult::Ok) {
                auto Text = [](const std::string& strName) {
                    return strName.empty() ? std::string("?") : strName;
                };
                strText += ", " + Text(names.strSampleRate) + ", " + Text(names.strMode) + ", " +
                           Text(names.strBitrate);
            }
        }
        strText += ".\n";
    }
    return strText;
}
