// The command table's data.
#include "resources/command_table.h"

namespace {

constexpr const char* kTrackPrompt = "Play this audio track of the file, from where it is heard";

constexpr CCommandInfo g_aCommands[] = {
    CCommandInfo{ID_FILE_OPEN, "ID_FILE_OPEN", "&Open...\tCtrl+O",
                 "Open an MPEG audio stream\nOpen", "document-open", "open.png"},
    CCommandInfo{ID_FILE_OPEN_LOCATION, "ID_FILE_OPEN_LOCATION", "Open &Location...\tCtrl+Shift+L",
                 "Open a stream from a network address\nOpen Location", "network-server", nullptr},
    CCommandInfo{ID_FILE_CLOSE, "ID_FILE_CLOSE", "&Close\tCtrl+C",
                 "Close the active audio stream\nClose", nullptr, nullptr},
    CCommandInfo{ID_FILE_MRU_FILE1, "ID_FILE_MRU_FILE1", "Recent File", "Open this document",
                 nullptr, nullptr},
    CCommandInfo{ID_APP_EXIT, "ID_APP_EXIT", "E&xit\tCtrl+Q",
                 "Quit the application; prompts to save documents", nullptr, nullptr},
    CCommandInfo{ID_PLAY_PLAYBACK, "ID_PLAY_PLAYBACK", "&Playback\tCtrl+P",
                 "Start playback the current audio stream\nPlayback", "media-playback-start",
                 "play.png"},
    CCommandInfo{ID_PLAY_LOOP, "ID_PLAY_LOOP", "&Loop Play\tCtrl+L",
                 "Start loop playback the current audio stream\nLoop Play", "media-playlist-repeat",
                 "loop.png"},
    CCommandInfo{ID_PLAY_FAST_FORWARD, "ID_PLAY_FAST_FORWARD", "&Fast Forward\tCtrl+F",
                 "Fast forward the current audio stream\nFast Forward", "media-seek-forward",
                 "forward.png"},
    CCommandInfo{ID_PLAY_REWIND, "ID_PLAY_REWIND", "&Rewind\tCtrl+R",
                 "Rewind the current audio stream\nRewind", "media-seek-backward", "rewind.png"},
    CCommandInfo{ID_PLAY_PAUSE, "ID_PLAY_PAUSE", "Pa&use\tCtrl+U", "Pause playback\nPause",
                 "media-playback-pause", "pause.png"},
    CCommandInfo{ID_PLAY_STOP, "ID_PLAY_STOP", "&Stop\tCtrl+S", "Stop playback\nStop",
                 "media-playback-stop", "stop.png"},
    // The queue's: the window's Play menu and toolbar, and the terminal
    // player's keys, whose key list shows the prompt's first half.
    CCommandInfo{ID_PLAY_NEXT_FILE, "ID_PLAY_NEXT_FILE", "&Next\tCtrl+Right",
                 "Play the next file\nNext", "media-skip-forward", "next.png"},
    CCommandInfo{ID_PLAY_PREVIOUS_FILE, "ID_PLAY_PREVIOUS_FILE", "Pre&vious\tCtrl+Left",
                 "Play the previous file\nPrevious", "media-skip-backward", "previous.png"},
    CCommandInfo{ID_PLAY_TOGGLE_LOOP, "ID_PLAY_TOGGLE_LOOP", "Loop the Lis&t",
                 "Turn looping of the file list on/off", nullptr, nullptr},
    // Playback or Pause, whichever the state allows: Space, the media keys
    // and the desktop's media controls.
    CCommandInfo{ID_PLAY_PLAY_PAUSE, "ID_PLAY_PLAY_PAUSE", nullptr,
                 "Start, resume or pause playback\nPlay/Pause", nullptr, nullptr},
    CCommandInfo{ID_AUDIO_VOLUME_UP, "ID_AUDIO_VOLUME_UP", "Volume &Up",
                 "Turn up the playback volume\nVolume Up", "audio-volume-high", "volume-up.png"},
    CCommandInfo{ID_AUDIO_VOLUME_DOWN, "ID_AUDIO_VOLUME_DOWN", "Volume &Down",
                 "Turn down the playback volume\nVolume Down", "audio-volume-low",
                 "volume-down.png"},
    CCommandInfo{ID_AUDIO_SMOOTH, "ID_AUDIO_SMOOTH", "&Smooth Playback",
                 "Turn on/off smooth playback mode", nullptr, nullptr},
    CCommandInfo{ID_AUDIO_CHANNEL_BOTH, "ID_AUDIO_CHANNEL_BOTH", "&Both channels",
                 "Play the two channels of a dual-channel stream as stereo", nullptr, nullptr},
    CCommandInfo{ID_AUDIO_CHANNEL_FIRST, "ID_AUDIO_CHANNEL_FIRST", "&First channel",
                 "Play the first channel of a dual-channel stream on both sides", nullptr, nullptr},
    CCommandInfo{ID_AUDIO_CHANNEL_SECOND, "ID_AUDIO_CHANNEL_SECOND", "S&econd channel",
                 "Play the second channel of a dual-channel stream on both sides", nullptr,
                 nullptr},
    CCommandInfo{ID_AUDIO_CHANNEL_MIX, "ID_AUDIO_CHANNEL_MIX", "&Mix",
                 "Play the two channels of a dual-channel stream mixed on both sides", nullptr,
                 nullptr},
    CCommandInfo{ID_AUDIO_REPLAYGAIN_OFF, "ID_AUDIO_REPLAYGAIN_OFF", "ReplayGain &Off",
                 "Play the streams started next without their ReplayGain", nullptr, nullptr},
    CCommandInfo{ID_AUDIO_REPLAYGAIN_TRACK, "ID_AUDIO_REPLAYGAIN_TRACK", "ReplayGain by T&rack",
                 "Play the streams started next with their track's ReplayGain", nullptr, nullptr},
    CCommandInfo{ID_AUDIO_REPLAYGAIN_ALBUM, "ID_AUDIO_REPLAYGAIN_ALBUM", "ReplayGain by &Album",
                 "Play the streams started next with their album's ReplayGain", nullptr, nullptr},
    // The file's tracks: shown only where the file has the track, their
    // rule giving the text ("Track 2: eng, main").
    CCommandInfo{ID_AUDIO_TRACK_1, "ID_AUDIO_TRACK_1", "Track &1", kTrackPrompt, nullptr, nullptr},
    CCommandInfo{ID_AUDIO_TRACK_2, "ID_AUDIO_TRACK_2", "Track &2", kTrackPrompt, nullptr, nullptr},
    CCommandInfo{ID_AUDIO_TRACK_3, "ID_AUDIO_TRACK_3", "Track &3", kTrackPrompt, nullptr, nullptr},
    CCommandInfo{ID_AUDIO_TRACK_4, "ID_AUDIO_TRACK_4", "Track &4", kTrackPrompt, nullptr, nullptr},
    CCommandInfo{ID_AUDIO_TRACK_5, "ID_AUDIO_TRACK_5", "Track &5", kTrackPrompt, nullptr, nullptr},
    CCommandInfo{ID_AUDIO_TRACK_6, "ID_AUDIO_TRACK_6", "Track &6", kTrackPrompt, nullptr, nullptr},
    CCommandInfo{ID_AUDIO_TRACK_7, "ID_AUDIO_TRACK_7", "Track &7", kTrackPrompt, nullptr, nullptr},
    CCommandInfo{ID_AUDIO_TRACK_8, "ID_AUDIO_TRACK_8", "Track &8", kTrackPrompt, nullptr, nullptr},
    CCommandInfo{ID_VIEW_BITSTREAM_INFO, "ID_VIEW_BITSTREAM_INFO", "Bitstream &Info",
                 "Display detailed information about the current audio stream", nullptr, nullptr},
    CCommandInfo{ID_VIEW_STATUS_BAR, "ID_VIEW_STATUS_BAR", "&Status Bar",
                 "Show or hide the status bar", nullptr, nullptr},
    CCommandInfo{ID_HELP_FINDER, "ID_HELP_FINDER", "&Help Topics", "List Help topics", nullptr,
                 nullptr},
    CCommandInfo{ID_APP_ABOUT, "ID_APP_ABOUT", "&About corvina...",
                 "Display program information, version number and copyright\nAbout", nullptr,
                 nullptr},
    CCommandInfo{ID_CONTEXT_HELP, "ID_CONTEXT_HELP", nullptr,
                 "Display help for clicked on buttons, menus and windows\nHelp", "help-contextual",
                 "help.png"},
    CCommandInfo{ID_HELP, "ID_HELP", nullptr, nullptr, nullptr, nullptr},
    // The terminal player's: no menu entry, the prompt is what its key list
    // shows.
    CCommandInfo{ID_PLAY_TOGGLE_PAUSE, "ID_PLAY_TOGGLE_PAUSE", nullptr, "Pause or resume playback",
                 nullptr, nullptr},
    CCommandInfo{ID_PLAY_SEEK_FORWARD, "ID_PLAY_SEEK_FORWARD", nullptr,
                 "Move a few seconds forward", nullptr, nullptr},
    CCommandInfo{ID_PLAY_SEEK_BACK, "ID_PLAY_SEEK_BACK", nullptr, "Move a few seconds back",
                 nullptr, nullptr},
    CCommandInfo{ID_PLAY_JUMP_FORWARD, "ID_PLAY_JUMP_FORWARD", nullptr, "Move further forward",
                 nullptr, nullptr},
    CCommandInfo{ID_PLAY_JUMP_BACK, "ID_PLAY_JUMP_BACK", nullptr, "Move further back", nullptr,
                 nullptr},
    CCommandInfo{ID_PLAY_TO_START, "ID_PLAY_TO_START", nullptr, "Go back to the beginning", nullptr,
                 nullptr},
    CCommandInfo{ID_AUDIO_MUTE, "ID_AUDIO_MUTE", nullptr, "Mute or unmute", nullptr, nullptr},
    CCommandInfo{ID_VIEW_KEYS, "ID_VIEW_KEYS", nullptr, "List the keys", nullptr, nullptr},
    CCommandInfo{ID_AUDIO_CHANNEL_NEXT, "ID_AUDIO_CHANNEL_NEXT", nullptr,
                 "Choose the channel of a dual-channel stream", nullptr, nullptr},
    CCommandInfo{ID_AUDIO_NEXT_TRACK, "ID_AUDIO_NEXT_TRACK", nullptr,
                 "Switch to the next audio track of the file, where it is heard", nullptr, nullptr},
    CCommandInfo{ID_NEXT_PANE, "ID_NEXT_PANE", nullptr, nullptr, nullptr, nullptr},
    CCommandInfo{ID_PREV_PANE, "ID_PREV_PANE", nullptr, nullptr, nullptr, nullptr},
};

constexpr int g_aFileMenu[] = {
    ID_FILE_OPEN, ID_FILE_OPEN_LOCATION, 0, ID_FILE_CLOSE, 0, ID_FILE_MRU_FILE1, 0, ID_APP_EXIT};
constexpr int g_aPlayMenu[] = {ID_PLAY_PLAYBACK,      ID_PLAY_LOOP,      0,
                               ID_PLAY_FAST_FORWARD,  ID_PLAY_REWIND,    0,
                               ID_PLAY_PAUSE,         ID_PLAY_STOP,      0,
                               ID_PLAY_PREVIOUS_FILE, ID_PLAY_NEXT_FILE, ID_PLAY_TOGGLE_LOOP};
constexpr int g_aAudioMenu[] = {ID_AUDIO_VOLUME_UP,
                                ID_AUDIO_VOLUME_DOWN,
                                0,
                                ID_AUDIO_SMOOTH,
                                0,
                                ID_AUDIO_TRACK_1,
                                ID_AUDIO_TRACK_2,
                                ID_AUDIO_TRACK_3,
                                ID_AUDIO_TRACK_4,
                                ID_AUDIO_TRACK_5,
                                ID_AUDIO_TRACK_6,
                                ID_AUDIO_TRACK_7,
                                ID_AUDIO_TRACK_8,
                                0,
                                ID_AUDIO_CHANNEL_BOTH,
                                ID_AUDIO_CHANNEL_FIRST,
                                ID_AUDIO_CHANNEL_SECOND,
                                ID_AUDIO_CHANNEL_MIX,
                                0,
                                ID_AUDIO_REPLAYGAIN_OFF,
                                ID_AUDIO_REPLAYGAIN_TRACK,
                                ID_AUDIO_REPLAYGAIN_ALBUM};
constexpr int g_aViewMenu[] = {ID_VIEW_BITSTREAM_INFO, 0, ID_VIEW_STATUS_BAR};
constexpr int g_aHelpMenu[] = {ID_HELP_FINDER, 0, ID_APP_ABOUT};

const CMenuInfo g_aMenus[] = {
    CMenuInfo{"&File", g_aFileMenu},   CMenuInfo{"&Play", g_aPlayMenu},
    CMenuInfo{"&Audio", g_aAudioMenu}, CMenuInfo{"&View", g_aViewMenu},
    CMenuInfo{"&Help", g_aHelpMenu},
};

constexpr int g_aToolbar[] = {
    ID_FILE_OPEN,      0, ID_PLAY_PLAYBACK,   ID_PLAY_STOP,         0, ID_PLAY_PAUSE,
    ID_PLAY_LOOP,      0, ID_PLAY_REWIND,     ID_PLAY_FAST_FORWARD, 0, ID_PLAY_PREVIOUS_FILE,
    ID_PLAY_NEXT_FILE, 0, ID_AUDIO_VOLUME_UP, ID_AUDIO_VOLUME_DOWN, 0, ID_CONTEXT_HELP,
};

// Ctrl+L pauses like Ctrl+U; Loop Play has no key of its own although its
// menu text shows one.
constexpr CAccelerator g_aAccelerators[] = {
    CAccelerator{"Ctrl+C", ID_FILE_CLOSE},
    CAccelerator{"Ctrl+F", ID_PLAY_FAST_FORWARD},
    CAccelerator{"Ctrl+L", ID_PLAY_PAUSE},
    CAccelerator{"Ctrl+O", ID_FILE_OPEN},
    CAccelerator{"Ctrl+Shift+L", ID_FILE_OPEN_LOCATION},
    CAccelerator{"Ctrl+P", ID_PLAY_PLAYBACK},
    CAccelerator{"Ctrl+R", ID_PLAY_REWIND},
    CAccelerator{"Ctrl+S", ID_PLAY_STOP},
    CAccelerator{"Ctrl+U", ID_PLAY_PAUSE},
    CAccelerator{"Ctrl+Right", ID_PLAY_NEXT_FILE},
    CAccelerator{"Ctrl+Left", ID_PLAY_PREVIOUS_FILE},
    CAccelerator{"F1", ID_HELP},
    CAccelerator{"Shift+F1", ID_CONTEXT_HELP},
    CAccelerator{"F6", ID_NEXT_PANE},
    CAccelerator{"Shift+F6", ID_PREV_PANE},
    CAccelerator{"Ctrl+Q", ID_APP_EXIT},
    CAccelerator{"Space", ID_PLAY_PLAY_PAUSE},
    // The keyboard's media keys, while the window has the focus. Most
    // keyboards' one play key sends Media Play, so it toggles.
    CAccelerator{"Media Play", ID_PLAY_PLAY_PAUSE},
    CAccelerator{"Media Pause", ID_PLAY_PAUSE},
    CAccelerator{"Toggle Media Play/Pause", ID_PLAY_PLAY_PAUSE},
    CAccelerator{"Media Stop", ID_PLAY_STOP},
    CAccelerator{"Media Next", ID_PLAY_NEXT_FILE},
    CAccelerator{"Media Previous", ID_PLAY_PREVIOUS_FILE},
};

constexpr int g_aIndicators[] = {ID_INDICATOR_CAP, ID_INDICATOR_NUM, ID_INDICATOR_SCRL};

}  // namespace

std::span<const CCommandInfo> GetCommands() {
    return g_aCommands;
}

const CCommandInfo* FindCommand(int nID) {
    for (const CCommandInfo& command : g_aCommands) {
        if (command.nID == nID) {
            return &command;
        }
    }
    return nullptr;
}

std::string_view StatusPrompt(const CCommandInfo& command) {
    if (command.pszPrompt == nullptr) {
        return {};
    }
    const std::string_view prompt(command.pszPrompt);
    return prompt.substr(0, prompt.find('\n'));
}

std::string_view TooltipText(const CCommandInfo& command) {
    if (command.pszPrompt == nullptr) {
        return {};
    }
    const std::string_view prompt(command.pszPrompt);
    const auto nBreak = prompt.find('\n');
    return nBreak == std::string_view::npos ? std::string_view{} : prompt.substr(nBreak + 1);
}

std::span<const CMenuInfo> GetMenus() {
    return g_aMenus;
}
std::span<const int> GetToolbar() {
    return g_aToolbar;
}
std::span<const CAccelerator> GetAccelerators() {
    return g_aAccelerators;
}
std::span<const int> GetIndicators() {
    return g_aIndicators;
}

const char* IndicatorText(int nID) {
    switch (nID) {
        case ID_INDICATOR_CAP:
            return "CAP";
        case ID_INDICATOR_NUM:
            return "NUM";
        case ID_INDICATOR_SCRL:
            return "SCRL";
        default:
            return nullptr;
    }
}
