// The Audio menu's choices that the window keeps from one start to the next,
// in section [Settings] of the INI file: DualChannel=both|1|2|mix and
// ReplayGain=off|track|album, the command line's words.
#pragma once

#include <string>

// Sets the programme of dual-channel streams and the ReplayGain from the
// file; a missing or unknown value leaves its choice as it is.
void RestoreAudioSettings(const std::string& strIniPath);
// Saves the choice that the command nID made (a channel or ReplayGain item);
// false for any other command, or when the file cannot be written.
bool SaveAudioSetting(const std::string& strIniPath, int nID);
