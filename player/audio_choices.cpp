// The names of the audio choices.
#include "player/audio_choices.h"

#include <span>
#include <utility>

using namespace corvina;

namespace {

constexpr std::pair<const char*, EDualChannel> kDualNames[] = {{"both", EDualChannel::Both},
                                                               {"1", EDualChannel::First},
                                                               {"2", EDualChannel::Second},
                                                               {"mix", EDualChannel::Mix}};
constexpr std::pair<const char*, EReplayGain> kGainNames[] = {
    {"off", EReplayGain::Off}, {"track", EReplayGain::Track}, {"album", EReplayGain::Album}};

template <typename T>
const char* NameOf(std::span<const std::pair<const char*, T>> names, T eValue) {
    for (const auto& [pszName, eNamed] : names) {
        if (eNamed == eValue) {
            return pszName;
        }
    }
    return names.front().first;
}

template <typename T>
bool Parse(std::span<const std::pair<const char*, T>> names, const std::string& strText,
           T& eValue) {
    for (const auto& [pszName, eNamed] : names) {
        if (strText == pszName) {
            eValue = eNamed;
            return true;
        }
    }
    return false;
}

}  // namespace

const char* DualChannelName(EDualChannel eDual) {
    return NameOf<EDualChannel>(kDualNames, eDual);
}

bool ParseDualChannel(const std::string& strText, EDualChannel& eDual) {
    return Parse<EDualChannel>(kDualNames, strText, eDual);
}

const char* ReplayGainName(EReplayGain eMode) {
    return NameOf<EReplayGain>(kGainNames, eMode);
}

bool ParseReplayGain(const std::string& strText, EReplayGain& eMode) {
    return Parse<EReplayGain>(kGainNames, strText, eMode);
}
