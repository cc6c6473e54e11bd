// The command table: every command's identifier, menu text, prompt, keys and
// icon, and the menus, toolbar and accelerators built from them. The window,
// its toolbar, the terminal player and the tests all read this one table.
#pragma once

#include <span>
#include <string_view>

#include "resources/resource_ids.h"
#include "resources/version.h"

struct CCommandInfo {
    int nID;
    const char* pszName;      // the identifier's name, e.g. "ID_PLAY_PLAYBACK"
    const char* pszMenuText;  // with '&' before the mnemonic and "\t" before the keys shown
    const char* pszPrompt;    // status-bar prompt, then "\n" and the tooltip when there is one
    const char* pszIcon;      // the desktop theme's icon name, or null
    const char* pszImage;     // the bundled 16 x 15 image under resources/toolbar/, or null
};

struct CAccelerator {
    const char* pszKeys;  // in the portable form "Ctrl+P", "Shift+F1"
    int nID;
};

struct CMenuInfo {
    const char* pszTitle;
    std::span<const int> items;  // command identifiers; 0 is a separator
};

std::span<const CCommandInfo> GetCommands();
// Null for an identifier that is not in the table.
const CCommandInfo* FindCommand(int nID);
// The halves of a prompt: the status-bar text and the tooltip (empty when the
// prompt has none).
std::string_view StatusPrompt(const CCommandInfo& command);
std::string_view TooltipText(const CCommandInfo& command);

std::span<const CMenuInfo> GetMenus();
// The toolbar's entries, left to right; 0 is a separator.
std::span<const int> GetToolbar();
std::span<const CAccelerator> GetAccelerators();
// The status bar's panes after the message pane.
std::span<const int> GetIndicators();
// The text that a key-state pane shows while its key is on ("CAP", "NUM",
// "SCRL"); null for any other identifier.
const char* IndicatorText(int nID);

// Fixed texts of the program.
inline constexpr const char* kMainTitle = "Kyx MPEG Audio Player";
inline constexpr const char* kAppTitle = "corvina";
// The desktop's name for the program: its desktop entry, metainfo and icon
// are installed under this name.
inline constexpr const char* kDesktopId = "org.corvina.corvina";
inline constexpr const char* kIdleMessage = "For Help, press F1";
inline constexpr const char* kOpenFilterName = "Mpeg Audio (*.mp*)";
inline constexpr const char* kPlaylistFilterName = "Playlists (*.m3u *.m3u8 *.pls)";
inline constexpr const char* kAllFilesFilterName = "All Files (*)";
inline constexpr const char* kHelpCaption = "corvina Help";
// The captions of the message boxes, by kind (information, warning).
inline constexpr const char* kInformationCaption = "Information";
inline constexpr const char* kWarningCaption = "Warning";
// What the "What's This" mode tells about the position slider.
inline constexpr const char* kSliderPrompt =
    "Shows and moves the playing position, in percent of the file: drag the thumb, or click "
    "beside it to step back 10 or forward 5";
inline constexpr const char* kAboutCaption = "About corvina";
inline constexpr const char* kAboutText = "corvina Version " CORVINA_PROGRAM_VERSION;
