// Loading FFmpeg's libraries by the major versions of the headers built with.
#include "containers/av_library.h"

#include <dlfcn.h>

#include <mutex>

namespace corvina {

namespace {

#define CORVINA_AV_NAME(lib, major) "lib" #lib ".so." AV_STRINGIFY(major)

struct CLoaded {
    CAvLibrary functions{};
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
    // Each needs the one before; dlopen finds them where the program's own
    // dependencies would be found. They stay loaded for the process.
    void* pUtil = dlopen(CORVINA_AV_NAME(avutil, LIBAVUTIL_VERSION_MAJOR), RTLD_NOW | RTLD_LOCAL);
    void* pCodec = pUtil != nullptr ? dlopen(CORVINA_AV_NAME(avcodec, LIBAVCODEC_VERSION_MAJOR),
                                             RTLD_NOW | RTLD_LOCAL)
                                    : nullptr;
    void* pFormat = pCodec != nullptr ? dlopen(CORVINA_AV_NAME(avformat, LIBAVFORMAT_VERSION_MAJOR),
                                               RTLD_NOW | RTLD_LOCAL)
                                      : nullptr;
    if (pFormat == nullptr) {
        const char* pszError = dlerror();
        loaded.strReason = pszError != nullptr ? pszError : "libavformat could not be loaded";
        return loaded;
    }
    CAvLibrary& av = loaded.functions;
    const bool bAll =
        Find(pFormat, "av_probe_input_format3", av.av_probe_input_format3) &&
        Find(pFormat, "avformat_alloc_context", av.avformat_alloc_context) &&
        Find(pFormat, "avformat_open_input", av.avformat_open_input) &&
        Find(pFormat, "avformat_close_input", av.avformat_close_input) &&
        Find(pFormat, "av_read_frame", av.av_read_frame) &&
        Find(pFormat, "av_seek_frame", av.av_seek_frame) &&
        Find(pFormat, "avio_alloc_context", av.avio_alloc_context) &&
        Find(pFormat, "avio_context_free", av.avio_context_free) &&
        Find(pCodec, "avcodec_get_name", av.avcodec_get_name) &&
        Find(pCodec, "av_packet_alloc", av.av_packet_alloc) &&
        Find(pCodec, "av_packet_free", av.av_packet_free) &&
        Find(pCodec, "av_packet_unref", av.av_packet_unref) &&
        Find(pUtil, "av_dict_get", av.av_dict_get) && Find(pUtil, "av_dict_set", av.av_dict_set) &&
        Find(pUtil, "av_dict_free", av.av_dict_free) && Find(pUtil, "av_malloc", av.av_malloc) &&
        Find(pUtil, "av_free", av.av_free) && Find(pUtil, "av_freep", av.av_freep) &&
        Find(pUtil, "av_strerror", av.av_strerror) &&
        Find(pUtil, "av_log_set_level", av.av_log_set_level);
    if (!bAll) {
        loaded.strReason = "FFmpeg's libraries lack a function the container reader uses";
        return loaded;
    }
    av.av_log_set_level(AV_LOG_QUIET);
    loaded.bLoaded = true;
    return loaded;
}

const CLoaded& Loaded() {
    static const CLoaded s_loaded = Load();
    return s_loaded;
}

}  // namespace

const CAvLibrary* LoadAvLibrary(std::string* pstrReason) {
    const CLoaded& loaded = Loaded();
    if (!loaded.bLoaded && pstrReason != nullptr) {
        *pstrReason = loaded.strReason;
    }
    return loaded.bLoaded ? &loaded.functions : nullptr;
}

const CAvLibrary& Av() {
    return Loaded().functions;
}

}  // namespace corvina
