// The keys of the terminal player, after mpg123's control mode where mpg123
// has the key; every key names a command of the command table.
#pragma once

#include <span>
#include <string>

#include "app/terminal.h"

struct CKeyBinding {
    const char* pszKeys;  // as the key list shows them
    int nKey;
    int nAltKey;
    int nID;  // a command of the command table
};

// How far the seek keys move, in seconds.
inline constexpr double kSeekSeconds = 3.0;
inline constexpr double kJumpSeconds = 30.0;

std::span<const CKeyBinding> GetTerminalKeys();
// The command of a key, or 0.
int FindKeyCommand(int nKey);
// "Keys:" and one line per key with what it does, each within 80 columns.
std::string TerminalKeysText();
