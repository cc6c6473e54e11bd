// What a container that libavformat reads says of the track it carries: its
// tags (Matroska, MP4, ASF and the rest) and its attached cover.
#pragma once

#include "decoder/track_info.h"

struct AVFormatContext;

namespace corvina {

// The container's tags, completed by those of stream nTrack.
CTrackInfo ReadFormatMetadata(const AVFormatContext& format, int nTrack);

}  // namespace corvina
