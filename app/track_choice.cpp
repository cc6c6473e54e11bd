// Tracks on the command line.
#include "app/track_choice.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>
#include <vector>

#include "output/discard_sink.h"
#include "player/player_hooks.h"

using namespace corvina;

namespace {

std::vector<CAudioTrack> TracksOf(const CAudioDecoder& decoder) {
    const CByteSource* pSource = decoder.Stream().Source();
    return pSource != nullptr ? pSource->AudioTracks() : std::vector<CAudioTrack>{};
}

}  // namespace

bool CheckTrackChoice(const CAudioDecoder& decoder, const CTrackChoice& choice,
                      const std::string& strFile) {
    const std::vector<CAudioTrack> tracks = TracksOf(decoder);
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

std::string DescribeTracks(const CAudioDecoder& decoder, const std::string& strFile) {
    const std::vector<CAudioTrack> tracks = TracksOf(decoder);
    if (tracks.size() < 2) {
        return {};
    }
    std::string strText;
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        strText += TrackName(static_cast<int>(i + 1), tracks[i]);
        // Each track's first frame, read from the file opened again; a pipe
        // is read once.
        if (strFile != "-") {
            CAudioDecoder::CHooks hooks;
            hooks.fnMakeSink = [](const CStreamFormat&) {
                return std::unique_ptr<CAudioSink>(std::make_unique<CDiscardSink>());
            };
            hooks.track.nTrack = static_cast<int>(i + 1);
            CAudioDecoder track(strFile.c_str(), std::move(hooks));
            if (track.Initialize() != 0) {
                const CFrameHeader& header = track.Header();
                auto Text = [](const char* pszText) { return pszText != nullptr ? pszText : "?"; };
                strText += std::string(", ") + Text(header.SampleRateName()) + ", " +
                           Text(header.ModeName()) + ", " + Text(header.BitrateName());
            }
        }
        strText += ".\n";
    }
    return strText;
}
