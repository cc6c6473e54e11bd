// Opening stream files for reading without blocking on special files.
#pragma once

#include <cstdio>
#include <string>

// Opens a regular file in binary read mode. A directory, FIFO, device or
// socket is refused without waiting on it. On failure returns null and puts
// the system's reason into strReason.
std::FILE* OpenFileForReading(const char* pszPath, std::string& strReason);
