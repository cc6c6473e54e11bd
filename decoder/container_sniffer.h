// Picks the demultiplexer for a stream by its first bytes: WAVE, video-CD
// CDXA, program and transport streams are opened to the audio inside them;
// anything else is handed on as it is.
#pragma once

#include <memory>
#include <string>

#include "decoder/byte_source.h"
#include "synth/caller_hooks.h"

namespace corvina {

// The source of the Layer I/II bytes that pSource carries. A container with
// no such audio (where this can be told beforehand) gives its own bytes, as
// does a video stream; system and video streams without audio are warned
// about, strName naming them. A walk over a long container looks at fnStop,
// and where the file can be opened a second time (for a walk elsewhere), it
// reads at most nWalkBudget bytes (where not negative): a container longer
// than that is left unmeasured, to be read as a pipe until its index comes.
std::unique_ptr<CByteSource> OpenContainedAudio(std::unique_ptr<CByteSource> pSource,
                                                const std::string& strName,
                                                const WarningReporter& fnReport,
                                                const StopRequest& fnStop,
                                                int64_t nWalkBudget = -1);

}  // namespace corvina
