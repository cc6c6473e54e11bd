// What the installed desktop entry tells the desktop about the window.
#pragma once

#include <string>
#include <vector>

// The file types that the entry claims, from its MimeType line.
std::vector<std::string> GetHandledMimeTypes();
