// A shared library opened at run time for the few functions that a folder
// above the decoder calls, rather than linked: a start of the program then
// loads neither it nor the libraries it needs until they are wanted.
#pragma once

#include <dlfcn.h>

#include <string>
#include <utility>

namespace corvina {

// The functions of Functions, found once by a loader that fills them; the
// library stays loaded for the process.
template <typename Functions>
class CLoadedLibrary {
  public:
    using Loader = bool (*)(CLoadedLibrary& library, Functions& functions);

    explicit CLoadedLibrary(Loader pfnLoad) { m_bLoaded = pfnLoad(*this, m_functions); }

    // Opens the library of the soname; false with the loader's reason kept.
    void* Open(const char* pszSoname) {
        void* pHandle = dlopen(pszSoname, RTLD_NOW | RTLD_LOCAL);
        if (pHandle == nullptr) {
            const char* pszError = dlerror();
            m_strReason = pszError != nullptr ? pszError : std::string(pszSoname) + " is missing";
        }
        return pHandle;
    }
    // Finds pszName in the library of pHandle; false with the reason kept.
    template <typename Function>
    bool Find(void* pHandle, const char* pszName, Function& pfn) {
        pfn = reinterpret_cast<Function>(dlsym(pHandle, pszName));
        if (pfn == nullptr) {
            m_strReason = std::string("it has no ") + pszName;
        }
        return pfn != nullptr;
    }
    void Fail(std::string strReason) { m_strReason = std::move(strReason); }

    // The functions, or null with the reason in *pstrReason.
    const Functions* Get(std::string* pstrReason) const {
        if (!m_bLoaded && pstrReason != nullptr) {
            *pstrReason = m_strReason;
        }
        return m_bLoaded ? &m_functions : nullptr;
    }

  private:
    Functions m_functions{};
    bool m_bLoaded = false;
    std::string m_strReason;
};

}  // namespace corvina
