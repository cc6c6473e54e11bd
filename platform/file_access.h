// Opening stream files for reading without blocking on special files.
#pragma once

#include <cstdio>
#include <string>

// A regular file as a stdio stream in binary read mode; null on failure.
std::FILE* OpenFileForReading(const char* pszPath, std::string& strReason);
// Whether the stream at pszPath can be read: "-" (standard input), a named
// pipe (not opened, so that its writer is not let go), or a regular file
// that opens.
bool CanReadStream(const char* pszPath, std::string& strReason);
