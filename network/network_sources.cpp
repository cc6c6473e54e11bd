// Picking the network source by the address's scheme.
#include "network/network_sources.h"

#include <cctype>

#include "decoder/address_opener.h"
#include "network/http_source.h"
#include "network/udp_source.h"

namespace corvina {

void RegisterNetworkSources() {
    SetAddressOpener(OpenNetworkSource);
}

std::unique_ptr<CByteSource> OpenNetworkSource(const std::string& strAddress,
                                               const StopRequest& fnStop,
                                               const WarningReporter& fnReport,
                                               const CLiveHooks& live, std::string& strReason) {
    if (std::tolower(static_cast<unsigned char>(strAddress.front())) == 'u') {
        auto pUdp = std::make_unique<CUdpSource>(fnStop, fnReport);
        if (!pUdp->Open(strAddress, strReason)) {
            return nullptr;
        }
        return pUdp;
    }
    auto pHttp = std::make_unique<CHttpSource>(strAddress, fnStop, fnReport, live);
    if (!pHttp->Open(strReason)) {
        return nullptr;
    }
    return pHttp;
}

}  // namespace corvina
