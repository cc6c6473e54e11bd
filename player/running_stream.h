// What the interface thread may ask of the stream that the worker plays.
#pragma once

// False while no decoder runs.
bool GetRunningPlayingTime(float& fSeconds);
// False while a stream that cannot seek (standard input, a pipe) plays.
bool IsRunningStreamSeekable();
// Shows the running stream's information text; false while no decoder runs.
bool ShowRunningStreamInfo();
