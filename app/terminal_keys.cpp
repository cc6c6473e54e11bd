// The terminal player's keys; the commands behind them are the window's.
#include "app/terminal_keys.h"

#include <cstdio>

#include "resources/command_table.h"

namespace {

constexpr CKeyBinding g_aKeys[] = {
    {"space", ' ', ' ', ID_TOGGLE_PAUSE},
    {"p", 'p', 'P', ID_PLAY_PLAYBACK},
    {"l", 'l', 'L', ID_PLAY_LOOP},
    {"s", 's', 'S', ID_PLAY_STOP},
    {". or right", '.', KEY_RIGHT, ID_PLAY_FAST_FORWARD},
    {", or left", ',', KEY_LEFT, ID_PLAY_REWIND},
    {"+", '+', '=', ID_AUDIO_VOLUME_UP},
    {"-", '-', '_', ID_AUDIO_VOLUME_DOWN},
    {"m or i", 'm', 'i', ID_VIEW_BITSTREAM_INFO},
    {"h", 'h', 'H', ID_SHOW_KEYS},
    {"q", 'q', 'Q', ID_QUIT},
};

std::string Describe(const CKeyBinding& binding) {
    switch (binding.nID) {
        case ID_TOGGLE_PAUSE:
            return "pause or resume playback";
        case ID_SHOW_KEYS:
            return "list the keys";
        case ID_QUIT:
            return "quit";
        default:
            return std::string(StatusPrompt(*FindCommand(binding.nID)));
    }
}

}  // namespace

std::span<const CKeyBinding> GetTerminalKeys() {
    return g_aKeys;
}

int FindKeyCommand(int nKey) {
    for (const CKeyBinding& binding : g_aKeys) {
        if (nKey == binding.nKey || nKey == binding.nAltKey) {
            return binding.nID;
        }
    }
    return 0;
}

std::string TerminalKeysText() {
    std::string strText = "Keys:\n";
    for (const CKeyBinding& binding : g_aKeys) {
        char szLine[160];
        std::snprintf(szLine, sizeof szLine, "  %-12s %s\n", binding.pszKeys,
                      Describe(binding).c_str());
        strText += szLine;
    }
    return strText;
}
