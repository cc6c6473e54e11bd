// What the interface thread may ask of the stream that the worker plays.
#pragma once

#include <vector>

#include "decoder/audio_track.h"

// The running stream's playing time; false while no decoder runs.
bool GetRunningPlayingTime(float& fSeconds);
// The Layer I/II tracks of the running decoder's container (empty for a
// stream of one); false where no decoder runs.
bool GetRunningTracks(std::vector<corvina::CAudioTrack>& tracks);
// True once the running decoder has read its first frame; false while it
// still searches for it, and while none runs.
bool IsRunningStreamReady();
// False while a stream that cannot seek (standard input, a pipe) plays.
bool IsRunningStreamSeekable();
// Whether the frame in hand of the running stream is dual channel (two
// programmes); false with no stream running.
bool IsRunningStreamDualChannel();
// Shows the running stream's information text; false until the running
// decoder has read its first frame.
bool ShowRunningStreamInfo();
