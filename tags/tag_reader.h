// The tags of elementary streams and WAVE files, read by TagLib: ID3v2 (2.2
// to 2.4), APEv2 and ID3v1; RIFF INFO and ID3 chunks, and the broadcast
// wave's bext chunk through the library's own WAVE reader.
#pragma once

#include <string>

#include "decoder/track_info.h"

namespace corvina {

// Installs ReadFileTags as the decoder's tag reader, and the reader of the
// leading tag of a stream from a pipe.
void RegisterTagReader();

// Fills each field of info that the tags of the file at strPath give; the
// ID3v2 tag first, then APEv2, then ID3v1 (or INFO, then bext, in a WAVE
// file). A file that cannot be read, or has no tags, leaves info as it is.
void ReadFileTags(const std::string& strPath, CTrackInfo& info);

}  // namespace corvina
