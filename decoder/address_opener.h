// Addresses (http://, https://, udp://) where a file name is taken: read by a
// network reader that a library above this one registers.
#pragma once

#include <memory>
#include <string>

#include "decoder/byte_source.h"
#include "synth/caller_hooks.h"

namespace corvina {

// The source of the bytes at strAddress, which cannot seek; null with the
// sentence that says why in strReason. Waits look at fnStop, warnings on the
// way go to fnReport, and what the live stream tells goes to live.
using AddressOpener = std::unique_ptr<CByteSource> (*)(const std::string& strAddress,
                                                       const StopRequest& fnStop,
                                                       const WarningReporter& fnReport,
                                                       const CLiveHooks& live,
                                                       std::string& strReason);
// Installs the network reader; null removes it.
void SetAddressOpener(AddressOpener pfnOpen);

// Whether strPath is an address of a kind that is read from the network
// (http, https or udp, in any case) rather than a file's name.
bool IsStreamAddress(const std::string& strPath);

// Opens strAddress through the registered reader.
std::unique_ptr<CByteSource> OpenAddress(const std::string& strAddress, const StopRequest& fnStop,
                                         const WarningReporter& fnReport, const CLiveHooks& live,
                                         std::string& strReason);

}  // namespace corvina
