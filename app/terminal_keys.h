// The keys of the terminal player, close to mpg123's control mode.
#pragma once

#include <span>
#include <string>

#include "app/terminal.h"

enum : int {
    // Keys handled by the terminal player itself rather than by a command.
    ID_TOGGLE_PAUSE = -1,
    ID_SHOW_KEYS = -2,
    ID_QUIT = -3,
};

struct CKeyBinding {
    const char* pszKeys;  // as the key list shows them
    int nKey;
    int nAltKey;
    int nID;  // a command of the command table, or one of the ids above
};

std::span<const CKeyBinding> GetTerminalKeys();
// The command of a key, or 0.
int FindKeyCommand(int nKey);
// "Keys:" and one line per key with what it does.
std::string TerminalKeysText();
