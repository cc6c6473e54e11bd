// The playing time of a file as soon as it is opened, before it plays: a
// short walk over its frame headers (or its container's index), and its
// tracks.
#pragma once

#include <string>
#include <vector>

#include "decoder/audio_track.h"

// Seconds that the file at strPath plays, estimated from the walk's first
// megabytes where the file is longer; 0 where it is no regular file, holds
// nothing to play or takes longer to look at than an open may wait (the
// playing time then comes once playback starts, as it does for pipes and
// addresses). tracks gets the Layer I/II tracks of its container (empty for
// a stream of one, or where the walk did not get to them).
float MeasureFileLength(const std::string& strPath, std::vector<corvina::CAudioTrack>& tracks);
