// The tag reader's registration and the UTF-8 check the readers share; what
// plays itself is part of the library's public interface.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include <corvina/track_info.h>

namespace corvina {

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
