// The network reader, offered to the decoder for every address where a file
// name is taken: http:// and https:// through libcurl, udp:// of our own.
#pragma once

#include <memory>
#include <string>

#include "decoder/byte_source.h"
#include "synth/caller_hooks.h"

namespace corvina {

// Starts libcurl and installs OpenNetworkSource as the decoder's reader of
// addresses.
void RegisterNetworkSources();

// The live stream at strAddress: see AddressOpener.
std::unique_ptr<CByteSource> OpenNetworkSource(const std::string& strAddress,
                                               const StopRequest& fnStop,
                                               const WarningReporter& fnReport,
                                               const CLiveHooks& live, std::string& strReason);

}  // namespace corvina
