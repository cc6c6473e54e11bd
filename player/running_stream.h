// What the interface thread may ask of the stream that the worker plays.
#pragma once

// False while no decoder runs.
bool GetRunningPlayingTime(float& fSeconds);
// Shows the running stream's information text; false while no decoder runs.
bool ShowRunningStreamInfo();
