// Picks the demultiplexer for a stream by its first bytes: WAVE, video-CD
// CDXA, program and transport streams are opened to the audio inside them;
// anything else is offered to the container reader registered above the
// library, if any, and else handed on as it is.
#pragma once

#include <memory>
#include <string>

#include "decoder/byte_source.h"
#include "synth/caller_hooks.h"

namespace corvina {

// A reader of further containers, registered by a library above this one: the
// source of the Layer I/II bytes of pSource (standing at its start), or null,
// pSource then standing at its start again (it may be replaced by one that
// gives the same bytes), where the container is not one it reads. Where it
// reads the container but finds no Layer I/II track, it gives an empty source
// and puts the sentence that says so into strReason.
using ContainerOpener = std::unique_ptr<CByteSource> (*)(
    std::unique_ptr<CByteSource>& pSource, const std::string& strName, const StopRequest& fnStop,
    int64_t nWalkBudget, std::string& strReason, const CTrackChoice& choice);
// Installs the reader asked about every stream that none of ours takes; null
// removes it.
void SetContainerOpener(ContainerOpener pfnOpen);

// The source of the Layer I/II bytes that pSource carries. A container with
// no such audio (where this can be told beforehand) gives its own bytes, as
// does a video stream; system and video streams without audio are warned
// about, strName naming them. A walk over a long container looks at fnStop,
// and where the file can be opened a second time (for a walk elsewhere), it
// reads at most nWalkBudget bytes (where not negative): a container longer
// than that is left unmeasured, to be read as a pipe until its index comes.
// Why the stream cannot be played, where the container tells, goes to
// *pReason. Of a container with several Layer I/II tracks, choice picks one.
std::unique_ptr<CByteSource> OpenContainedAudio(std::unique_ptr<CByteSource> pSource,
                                                const std::string& strName,
                                                const WarningReporter& fnReport,
                                                const StopRequest& fnStop, int64_t nWalkBudget = -1,
                                                std::string* pReason = nullptr,
                                                const CTrackChoice& choice = {});

}  // namespace corvina
