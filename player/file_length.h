// The playing time of a file as soon as it is opened, before it plays: a
// short walk over its frame headers (or its container's index).
#pragma once

#include <string>

// Seconds that the file at strPath plays, estimated from the walk's first
// megabytes where the file is longer; 0 where it is no regular file, holds
// nothing to play or takes longer to look at than an open may wait (the
// playing time then comes once playback starts, as it does for pipes and
// addresses).
float MeasureFileLength(const std::string& strPath);
