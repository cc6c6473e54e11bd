// Loading libcurl by the soname of its interface, version 4 since 2006.
#include "network/curl_library.h"

#include "decoder/loaded_library.h"

namespace corvina {

namespace {

using CLoaded = CLoadedLibrary<CCurlLibrary>;

bool Load(CLoaded& library, CCurlLibrary& curl) {
    void* pCurl = library.Open("libcurl.so.4");
    decltype(&::curl_global_init) pfnGlobalInit = nullptr;
    const bool bAll = pCurl != nullptr && library.Find(pCurl, "curl_global_init", pfnGlobalInit) &&
                      library.Find(pCurl, "curl_easy_init", curl.easy_init) &&
                      library.Find(pCurl, "curl_easy_cleanup", curl.easy_cleanup) &&
                      library.Find(pCurl, "curl_easy_setopt", curl.easy_setopt) &&
                      library.Find(pCurl, "curl_easy_getinfo", curl.easy_getinfo) &&
                      library.Find(pCurl, "curl_easy_strerror", curl.easy_strerror) &&
                      library.Find(pCurl, "curl_multi_init", curl.multi_init) &&
                      library.Find(pCurl, "curl_multi_cleanup", curl.multi_cleanup) &&
                      library.Find(pCurl, "curl_multi_add_handle", curl.multi_add_handle) &&
                      library.Find(pCurl, "curl_multi_remove_handle", curl.multi_remove_handle) &&
                      library.Find(pCurl, "curl_multi_perform", curl.multi_perform) &&
                      library.Find(pCurl, "curl_multi_poll", curl.multi_poll) &&
                      library.Find(pCurl, "curl_multi_info_read", curl.multi_info_read) &&
                      library.Find(pCurl, "curl_slist_append", curl.slist_append) &&
                      library.Find(pCurl, "curl_slist_free_all", curl.slist_free_all);
    if (bAll && pfnGlobalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
        library.Fail("libcurl could not be initialised");
        return false;
    }
    return bAll;
}

// Made once, by whichever thread opens the first address.
const CLoaded& Loaded() {
    static const CLoaded s_loaded(Load);
    return s_loaded;
}

}  // namespace

const CCurlLibrary* LoadCurlLibrary(std::string* pstrReason) {
    return Loaded().Get(pstrReason);
}

const CCurlLibrary& Curl() {
    return *Loaded().Get(nullptr);
}

}  // namespace corvina
