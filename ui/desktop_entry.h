// The desktop entry in the user's applications folder, so that file
// managers offer corvina for MPEG audio files.
#pragma once

#include <string>

// The entry of the template with Exec naming the executable, quoted as
// desktop entries want it.
std::string MakeDesktopEntry(const std::string& strTemplate, const std::string& strExecutable);
// One argument of an Exec line, quoted when it needs to be.
std::string QuoteExecArgument(const std::string& strArgument);

// Writes corvina.desktop into $XDG_DATA_HOME/applications (and the program
// icon into the user's hicolor theme) when they differ from what is there,
// then has update-desktop-database refresh that folder when the tool is
// installed. The user's choice of default applications is never touched.
// True when the entry is in place.
bool RefreshDesktopEntry(const std::string& strExecutable);
