// The user's own folders (configuration, data, runtime) and absolute paths.
#pragma once

#include <string>

// $XDG_CONFIG_HOME, else ~/.config.
std::string GetUserConfigFolder();
// $XDG_DATA_HOME, else ~/.local/share.
std::string GetUserDataFolder();
// $XDG_RUNTIME_DIR, else a private folder /tmp/corvina-UID that is created on
// demand; empty when neither can be used safely.
std::string GetUserRuntimeFolder();
// Creates the folder and its parents (new ones private to the user); true
// when it exists afterwards.
bool MakeFolders(const std::string& strFolder);
// Writes the file whole, creating its folder: a new file takes the place of
// the old one, so a crash while it is written leaves the previous contents.
bool ReplaceFile(const std::string& strPath, const std::string& strContents);
// The path made absolute against the current folder, with "." and ".."
// resolved by name; an address (scheme://...) as it is.
std::string MakeAbsolutePath(const std::string& strPath);
