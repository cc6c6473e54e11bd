// The lock key states, from /sys/class/leds/*::capslock and the like, which
// every user may read and which follow the keyboard whatever the windowing
// system.
#include "ui/lock_keys.h"

#include <filesystem>
#include <fstream>
#include <string>

namespace {

bool EndsWith(const std::string& strText, const std::string& strEnd) {
    return strText.size() >= strEnd.size() &&
           strText.compare(strText.size() - strEnd.size(), strEnd.size(), strEnd) == 0;
}

bool IsLit(const std::filesystem::path& led) {
    std::ifstream in(led / "brightness");
    int nBrightness = 0;
    return static_cast<bool>(in >> nBrightness) && nBrightness > 0;
}

}  // namespace

CLockKeyStates ReadLockKeyStates() {
    CLockKeyStates states;
    std::error_code error;
    std::filesystem::directory_iterator it("/sys/class/leds", error);
    if (error) {
        return states;
    }
    for (const auto& entry : it) {
        const std::string strName = entry.path().filename().string();
        if (EndsWith(strName, "::capslock")) {
            states.bCapsLock = states.bCapsLock || IsLit(entry.path());
        } else if (EndsWith(strName, "::numlock")) {
            states.bNumLock = states.bNumLock || IsLit(entry.path());
        } else if (EndsWith(strName, "::scrolllock")) {
            states.bScrollLock = states.bScrollLock || IsLit(entry.path());
        }
    }
    return states;
}
