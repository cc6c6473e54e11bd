// Opening stream files for reading without blocking on special files.
#pragma once

#include <string>

namespace corvina {

// Opens a regular file or a named pipe for reading and returns its
// descriptor (close-on-exec; a pipe's is non-blocking, for reads that wait
// in poll). A directory, device or socket is refused, and nothing waits for
// a pipe's writer. On failure returns -1 and puts the system's reason into
// strReason.
int OpenDescriptorForReading(const char* pszPath, std::string& strReason);

}  // namespace corvina
