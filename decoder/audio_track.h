// The tracks of a container and the choice among them live in the library's
// public interface.
#pragma once

#include <corvina/audio_track.h>
