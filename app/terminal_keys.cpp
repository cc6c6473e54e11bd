// The terminal player's keys; what each does is told by the command table.
#include "app/terminal_keys.h"

#include <cstdio>

#include "resources/command_table.h"

namespace {

constexpr CKeyBinding g_aKeys[] = {
    {"space or s", ' ', 's', ID_PLAY_TOGGLE_PAUSE},
    {"f", 'f', 'F', ID_PLAY_NEXT_FILE},
    {"d", 'd', 'D', ID_PLAY_PREVIOUS_FILE},
    {". or right", '.', KEY_RIGHT, ID_PLAY_SEEK_FORWARD},
    {", or left", ',', KEY_LEFT, ID_PLAY_SEEK_BACK},
    {":", ':', KEY_NONE, ID_PLAY_JUMP_FORWARD},
    {";", ';', KEY_NONE, ID_PLAY_JUMP_BACK},
    {"b", 'b', 'B', ID_PLAY_TO_START},
    {"+", '+', '=', ID_AUDIO_VOLUME_UP},
    {"-", '-', '_', ID_AUDIO_VOLUME_DOWN},
    {"u", 'u', 'U', ID_AUDIO_MUTE},
    {"o", 'o', 'O', ID_PLAY_TOGGLE_LOOP},
    {"z", 'z', 'Z', ID_AUDIO_SMOOTH},
    {"a", 'a', 'A', ID_AUDIO_NEXT_TRACK},
    {"c", 'c', 'C', ID_AUDIO_CHANNEL_NEXT},
    {"i", 'i', 'I', ID_VIEW_BITSTREAM_INFO},
    {"h", 'h', 'H', ID_VIEW_KEYS},
    {"q", 'q', 'Q', ID_APP_EXIT},
};

// The prompt up to its first clause: "Quit the application" of the exit
// command's longer text.
std::string Describe(const CKeyBinding& binding) {
    const std::string_view prompt = StatusPrompt(*FindCommand(binding.nID));
    return std::string(prompt.substr(0, prompt.find(';')));
}

}  // namespace

std::span<const CKeyBinding> GetTerminalKeys() {
    return g_aKeys;
}

int FindKeyCommand(int nKey) {
    if (nKey == KEY_NONE) {
        return 0;
    }
    // Letters work in either case (S pauses as s does).
    if (nKey >= 'A' && nKey <= 'Z') {
        nKey += 'a' - 'A';
    }
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
