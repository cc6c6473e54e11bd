// Playlist files: M3U with its #EXTINF titles, M3U8 (the same in UTF-8) and
// PLS, read into queue entries.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "player/play_queue.h"

enum class EPlaylistKind {
    None,
    M3u,  // one entry a line, # comments and #EXTINF titles
    Pls,  // [playlist] with FileN= and TitleN=
};

// The kind that a file's name says (.m3u, .m3u8, .pls in any case); None
// for any other name.
EPlaylistKind GetPlaylistKind(const std::string& strPath);

struct CPlaylist {
    std::vector<CQueueEntry> entries;
    // One line for each entry left out (an address, a name that cannot be
    // a file), at most kMaxWarnings and a count of the rest.
    std::vector<std::string> warnings;
};

// Entries are resolved against strFolder, the playlist's own folder.
CPlaylist ParsePlaylist(std::string_view text, EPlaylistKind kind, const std::string& strFolder);
// Reads and parses the file ("-" for standard input; a kind of None is taken
// as M3U: one path a line); false with the reason when it is no regular
// file, cannot be read or is too large. A list it names (by its name, as
// GetPlaylistKind tells) is read in its place, one it is itself within is
// left out with a warning, as is one that cannot be read.
bool ReadPlaylistFile(const std::string& strPath, EPlaylistKind kind, CPlaylist& playlist,
                      std::string& strReason);
