// The hook through which addresses are read.
#include "decoder/address_opener.h"

#include <atomic>
#include <cctype>

namespace corvina {

namespace {

std::atomic<AddressOpener> g_pfnAddressOpener{nullptr};

bool StartsWithNoCase(const std::string& strText, const char* pszPrefix) {
    std::size_t i = 0;
    for (; pszPrefix[i] != '\0'; ++i) {
        if (i >= strText.size() ||
            std::tolower(static_cast<unsigned char>(strText[i])) != pszPrefix[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

void SetAddressOpener(AddressOpener pfnOpen) {
    g_pfnAddressOpener.store(pfnOpen, std::memory_order_release);
}

bool IsStreamAddress(const std::string& strPath) {
    return StartsWithNoCase(strPath, "http://") || StartsWithNoCase(strPath, "https://") ||
           StartsWithNoCase(strPath, "udp://");
}

std::unique_ptr<CByteSource> OpenAddress(const std::string& strAddress, const StopRequest& fnStop,
                                         const WarningReporter& fnReport, const CLiveHooks& live,
                                         std::string& strReason) {
    const AddressOpener pfnOpen = g_pfnAddressOpener.load(std::memory_order_acquire);
    if (pfnOpen == nullptr) {
        strReason = "this program reads no network addresses";
        return nullptr;
    }
    return pfnOpen(strAddress, fnStop, fnReport, live, strReason);
}

}  // namespace corvina
