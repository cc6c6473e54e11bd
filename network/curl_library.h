// libcurl, loaded with the first address to be opened: linked in, it and the
// libraries it needs (TLS, Kerberos, LDAP, SSH …) cost every start of the
// program about 3 ms, also when no address is ever played.
#pragma once

#include <curl/curl.h>

#include <string>

namespace corvina {

// The functions the network sources call. The members drop the `curl_'
// prefix: libcurl's headers define some of those names as macros.
struct CCurlLibrary {
    decltype(&::curl_easy_init) easy_init;
    decltype(&::curl_easy_cleanup) easy_cleanup;
    decltype(&::curl_easy_setopt) easy_setopt;
    decltype(&::curl_easy_getinfo) easy_getinfo;
    decltype(&::curl_easy_strerror) easy_strerror;
    decltype(&::curl_multi_init) multi_init;
    decltype(&::curl_multi_cleanup) multi_cleanup;
    decltype(&::curl_multi_add_handle) multi_add_handle;
    decltype(&::curl_multi_remove_handle) multi_remove_handle;
    decltype(&::curl_multi_perform) multi_perform;
    decltype(&::curl_multi_poll) multi_poll;
    decltype(&::curl_multi_info_read) multi_info_read;
    decltype(&::curl_slist_append) slist_append;
    decltype(&::curl_slist_free_all) slist_free_all;
};

// libcurl, loaded and initialised on the first call; null where it could not
// be, with the reason in *pstrReason.
const CCurlLibrary* LoadCurlLibrary(std::string* pstrReason = nullptr);

// The loaded library; only after LoadCurlLibrary gave it.
const CCurlLibrary& Curl();

}  // namespace corvina
