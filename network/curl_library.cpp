// Loading libcurl by the soname of its interface, version 4 since 2006.
#include "network/curl_library.h"

#include <dlfcn.h>

namespace corvina {

namespace {

struct CLoaded {
    CCurlLibrary functions{};
    bool bLoaded = false;
    std::string strReason;
};

template <typename Function>
bool Find(void* pLibrary, const char* pszName, Function& pfn) {
    pfn = reinterpret_cast<Function>(dlsym(pLibrary, pszName));
    return pfn != nullptr;
}

CLoaded Load() {
    CLoaded loaded;
    void* pLibrary = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
    if (pLibrary == nullptr) {
        const char* pszError = dlerror();
        loaded.strReason = pszError != nullptr ? pszError : "libcurl could not be loaded";
        return loaded;
    }
    CCurlLibrary& curl = loaded.functions;
    decltype(&::curl_global_init) pfnGlobalInit = nullptr;
    const bool bAll = Find(pLibrary, "curl_global_init", pfnGlobalInit) &&
                      Find(pLibrary, "curl_easy_init", curl.easy_init) &&
                      Find(pLibrary, "curl_easy_cleanup", curl.easy_cleanup) &&
                      Find(pLibrary, "curl_easy_setopt", curl.easy_setopt) &&
                      Find(pLibrary, "curl_easy_getinfo", curl.easy_getinfo) &&
                      Find(pLibrary, "curl_easy_strerror", curl.easy_strerror) &&
                      Find(pLibrary, "curl_multi_init", curl.multi_init) &&
                      Find(pLibrary, "curl_multi_cleanup", curl.multi_cleanup) &&
                      Find(pLibrary, "curl_multi_add_handle", curl.multi_add_handle) &&
                      Find(pLibrary, "curl_multi_remove_handle", curl.multi_remove_handle) &&
                      Find(pLibrary, "curl_multi_perform", curl.multi_perform) &&
                      Find(pLibrary, "curl_multi_poll", curl.multi_poll) &&
                      Find(pLibrary, "curl_multi_info_read", curl.multi_info_read) &&
                      Find(pLibrary, "curl_slist_append", curl.slist_append) &&
                      Find(pLibrary, "curl_slist_free_all", curl.slist_free_all);
    if (!bAll) {
        loaded.strReason = "libcurl lacks a function the network sources use";
        return loaded;
    }
    if (pfnGlobalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
        loaded.strReason = "libcurl could not be initialised";
        return loaded;
    }
    loaded.bLoaded = true;
    return loaded;
}

// Made once, by whichever thread opens the first address.
const CLoaded& Loaded() {
    static const CLoaded s_loaded = Load();
    return s_loaded;
}

}  // namespace

const CCurlLibrary* LoadCurlLibrary(std::string* pstrReason) {
    const CLoaded& loaded = Loaded();
    if (!loaded.bLoaded && pstrReason != nullptr) {
        *pstrReason = loaded.strReason;
    }
    return loaded.bLoaded ? &loaded.functions : nullptr;
}

const CCurlLibrary& Curl() {
    return Loaded().functions;
}

}  // namespace corvina
