// The window's kept audio choices.
#include "ui/window_settings.h"

#include "player/audio_choices.h"
#include "player/control_block.h"
#include "player/playback_control.h"
#include "resources/resource_ids.h"
#include "ui/ini_file.h"

using namespace corvina;

namespace {

constexpr const char* kSection = "Settings";
constexpr const char* kDualChannelKey = "DualChannel";
constexpr const char* kReplayGainKey = "ReplayGain";

}  // namespace

void RestoreAudioSettings(const std::string& strIniPath) {
    const CIniEntries entries = ReadIniSection(strIniPath, kSection);
    EDualChannel eDual = EDualChannel::Both;
    if (const std::string* pValue = FindIniValue(entries, kDualChannelKey);
        pValue != nullptr && ParseDualChannel(*pValue, eDual)) {
        g_nDualChannel = static_cast<int>(eDual);
    }
    EReplayGain eMode = EReplayGain::Off;
    if (const std::string* pValue = FindIniValue(entries, kReplayGainKey);
        pValue != nullptr && ParseReplayGain(*pValue, eMode)) {
        SetReplayGainMode(eMode);
    }
}

bool SaveAudioSetting(const std::string& strIniPath, int nID) {
    if ((nID >= ID_AUDIO_CHANNEL_BOTH && nID <= ID_AUDIO_CHANNEL_MIX) ||
        nID == ID_AUDIO_CHANNEL_NEXT) {
        return WriteIniValue(strIniPath, kSection, kDualChannelKey,
                             DualChannelName(static_cast<EDualChannel>(g_nDualChannel.load())));
    }
    if (nID >= ID_AUDIO_REPLAYGAIN_OFF && nID <= ID_AUDIO_REPLAYGAIN_ALBUM) {
        return WriteIniValue(strIniPath, kSection, kReplayGainKey,
                             ReplayGainName(GetReplayGainMode()));
    }
    return false;
}
