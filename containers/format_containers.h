// The containers that libavformat reads, offered to the decoder for every
// stream that none of the library's own readers takes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "decoder/byte_source.h"
#include "synth/caller_hooks.h"

namespace corvina {

// Installs OpenFormatContainer as the decoder's reader of further containers.
void RegisterFormatContainers();

// The Layer I/II bytes of the container that pSource (standing at its start)
// holds, where libavformat knows it by its content: see ContainerOpener. Our
// own readers' containers, raw MPEG audio, and playlists, image sequences and
// the like (which name other files) are left alone.
std::unique_ptr<CByteSource> OpenFormatContainer(std::unique_ptr<CByteSource>& pSource,
                                                 const std::string& strName,
                                                 const StopRequest& fnStop, int64_t nWalkBudget,
                                                 std::string& strReason,
                                                 const CTrackChoice& choice);

}  // namespace corvina
