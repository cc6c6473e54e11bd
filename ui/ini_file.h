// The program's INI file, corvina/corvina.ini in the user's configuration
// folder: "[section]" lines, each followed by its "key=value" lines. Section
// names and keys match without regard to case; values are written as they
// stand, one line each.
#pragma once

#include <string>
#include <utility>
#include <vector>

using CIniEntries = std::vector<std::pair<std::string, std::string>>;

// The key=value lines of the section, in their order, keys and values
// trimmed; none for a missing or unreadable file. Lines without '=' are
// passed over.
CIniEntries ReadIniSection(const std::string& strPath, const char* pszSection);
// The value of the last entry with the key, or null.
const std::string* FindIniValue(const CIniEntries& entries, const std::string& strKey);
// Writes the section with these entries alone, where it stood (else at the
// end), keeping the rest of the file as it was; false when the file cannot be
// written.
bool WriteIniSection(const std::string& strPath, const char* pszSection,
                     const CIniEntries& entries);
// Sets one key of the section, keeping its other entries.
bool WriteIniValue(const std::string& strPath, const char* pszSection, const std::string& strKey,
                   const std::string& strValue);
// True when the INI form holds the text as a value literally: one line, no
// blanks at its ends.
bool IsIniStorable(const std::string& strValue);

// corvina/corvina.ini in the user's configuration folder.
std::string GetDefaultIniPath();
