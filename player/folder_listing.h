// The rest of the folder: the playable files beside a file opened alone, in
// the order a person reads their names.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// True when the name ends in one of the extensions of the streams and
// containers that the player reads (any case).
bool IsPlayableName(std::string_view name);
// Natural order: runs of digits compare by their value ("2" before "10"),
// letters without regard to case; names equal so compare by their bytes.
bool IsNaturallyBefore(std::string_view a, std::string_view b);
// The paths of the playable files, not hidden, in the folder of strOpened,
// in natural order, with strOpened itself among them as it was given
// whatever its name; just strOpened when the folder cannot be read.
std::vector<std::string> ListFolderAround(const std::string& strOpened);
