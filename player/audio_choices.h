// The words that name the audio choices, on the command line and in the
// window's settings alike.
#pragma once

#include <string>

#include "decoder/decode_choices.h"
#include "decoder/track_info.h"

// both, 1, 2 or mix.
const char* DualChannelName(corvina::EDualChannel eDual);
bool ParseDualChannel(const std::string& strText, corvina::EDualChannel& eDual);
// off, track or album.
const char* ReplayGainName(corvina::EReplayGain eMode);
bool ParseReplayGain(const std::string& strText, corvina::EReplayGain& eMode);
