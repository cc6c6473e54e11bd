// Loading FFmpeg's libraries by the major versions of the headers built with.
#include "containers/av_library.h"

#include "decoder/loaded_library.h"

namespace corvina {

namespace {

#define CORVINA_AV_NAME(lib, major) "lib" #lib ".so." AV_STRINGIFY(major)

using CLoaded = CLoadedLibrary<CAvLibrary>;

bool Load(CLoaded& library, CAvLibrary& av) {
    // Each needs the one before; they are found where the program's own
    // libraries would be.
    void* pUtil = library.Open(CORVINA_AV_NAME(avutil, LIBAVUTIL_VERSION_MAJOR));
    void* pCodec = pUtil != nullptr
                       ? library.Open(CORVINA_AV_NAME(avcodec, LIBAVCODEC_VERSION_MAJOR))
                       : nullptr;
    void* pFormat = pCodec != nullptr
                        ? library.Open(CORVINA_AV_NAME(avformat, LIBAVFORMAT_VERSION_MAJOR))
                        : nullptr;
    if (pFormat == nullptr) {
        return false;
    }
    const bool bAll = library.Find(pFormat, "av_probe_input_format3", av.av_probe_input_format3) &&
                      library.Find(pFormat, "avformat_alloc_context", av.avformat_alloc_context) &&
                      library.Find(pFormat, "avformat_open_input", av.avformat_open_input) &&
                      library.Find(pFormat, "avformat_close_input", av.avformat_close_input) &&
                      library.Find(pFormat, "av_read_frame", av.av_read_frame) &&
                      library.Find(pFormat, "av_seek_frame", av.av_seek_frame) &&
                      library.Find(pFormat, "avio_alloc_context", av.avio_alloc_context) &&
                      library.Find(pFormat, "avio_context_free", av.avio_context_free) &&
                      library.Find(pCodec, "avcodec_get_name", av.avcodec_get_name) &&
                      library.Find(pCodec, "av_packet_alloc", av.av_packet_alloc) &&
                      library.Find(pCodec, "av_packet_free", av.av_packet_free) &&
                      library.Find(pCodec, "av_packet_unref", av.av_packet_unref) &&
                      library.Find(pUtil, "av_dict_get", av.av_dict_get) &&
                      library.Find(pUtil, "av_dict_set", av.av_dict_set) &&
                      library.Find(pUtil, "av_dict_free", av.av_dict_free) &&
                      library.Find(pUtil, "av_malloc", av.av_malloc) &&
                      library.Find(pUtil, "av_free", av.av_free) &&
                      library.Find(pUtil, "av_freep", av.av_freep) &&
                      library.Find(pUtil, "av_strerror", av.av_strerror) &&
                      library.Find(pUtil, "av_log_set_level", av.av_log_set_level);
    if (bAll) {
        // What goes wrong in a container is told by our own messages.
        av.av_log_set_level(AV_LOG_QUIET);
    }
    return bAll;
}

const CLoaded& Loaded() {
    static const CLoaded s_loaded(Load);
    return s_loaded;
}

}  // namespace

const CAvLibrary* LoadAvLibrary(std::string* pstrReason) {
    return Loaded().Get(pstrReason);
}

const CAvLibrary& Av() {
    return *Loaded().Get(nullptr);
}

}  // namespace corvina
