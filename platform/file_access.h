// Opening stream files for reading without blocking on special files.
#pragma once

#include <cstdio>
#include <string>

// Opens a regular file or a named pipe for reading and returns its
// descriptor (close-on-exec; a pipe's is non-blocking, for reads that wait
// in poll). A directory, device or socket is refused, and nothing waits for
// a pipe's writer. On failure returns -1 and puts the system's reason into
// strReason.
int OpenDescriptorForReading(const char* pszPath, std::string& strReason);
// A regular file as a stdio stream in binary read mode; null on failure.
std::FILE* OpenFileForReading(const char* pszPath, std::string& strReason);
// Whether the stream at pszPath can be read: "-" (standard input), a named
// pipe (not opened, so that its writer is not let go), or a regular file
// that opens.
bool CanReadStream(const char* pszPath, std::string& strReason);
