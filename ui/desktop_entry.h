// The desktop entry in the user's applications folder, so that file
// managers offer corvina for MPEG audio files.
#pragma once

#include <string>
#include <vector>

// The entry of the template with Exec naming the executable, quoted as
// desktop entries want it.
std::string MakeDesktopEntry(const std::string& strTemplate, const std::string& strExecutable);
// One argument of an Exec line, quoted when it needs to be.
std::string QuoteExecArgument(const std::string& strArgument);

// The file types that the entry claims, from its MimeType line.
std::vector<std::string> GetHandledMimeTypes();

// Writes corvina.desktop into $XDG_DATA_HOME/applications (the program icon
// into the user's hicolor theme, the file types into the user's MIME
// packages) when they differ from what is there, then has
// update-desktop-database and update-mime-database refresh those folders
// when the tools are installed. The user's choice of default applications is
// never touched. True when the entry is in place.
bool RefreshDesktopEntry(const std::string& strExecutable);
