// Opening stream files for reading without blocking on special files.
#pragma once

#include <cstdio>
#include <string>

// Opens a regular file for reading and returns its descriptor (close-on-exec,
// blocking). A directory, FIFO, device or socket is refused without waiting
// on it. On failure returns -1 and puts the system's reason into strReason.
int OpenDescriptorForReading(const char* pszPath, std::string& strReason);
// The same as a stdio stream in binary read mode; null on failure.
std::FILE* OpenFileForReading(const char* pszPath, std::string& strReason);
