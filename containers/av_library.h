// libavformat, libavcodec and libavutil, loaded when the first stream that may
// be a container comes: linked in, their hundred-odd libraries cost every
// start of the program about 40 ms, also for the plain MPEG audio streams that
// never meet them.
#pragma once

#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

namespace corvina {

// The functions the container readers call, under their own names.
struct CAvLibrary {
    decltype(&::av_probe_input_format3) av_probe_input_format3;
    decltype(&::avformat_alloc_context) avformat_alloc_context;
    decltype(&::avformat_open_input) avformat_open_input;
    decltype(&::avformat_close_input) avformat_close_input;
    decltype(&::av_read_frame) av_read_frame;
    decltype(&::av_seek_frame) av_seek_frame;
    decltype(&::avio_alloc_context) avio_alloc_context;
    decltype(&::avio_context_free) avio_context_free;
    decltype(&::avcodec_get_name) avcodec_get_name;
    decltype(&::av_packet_alloc) av_packet_alloc;
    decltype(&::av_packet_free) av_packet_free;
    decltype(&::av_packet_unref) av_packet_unref;
    decltype(&::av_dict_get) av_dict_get;
    decltype(&::av_dict_set) av_dict_set;
    decltype(&::av_dict_free) av_dict_free;
    decltype(&::av_malloc) av_malloc;
    decltype(&::av_free) av_free;
    decltype(&::av_freep) av_freep;
    decltype(&::av_strerror) av_strerror;
    decltype(&::av_log_set_level) av_log_set_level;
};

// The libraries, loaded on the first call (quiet: what goes wrong in a
// container is told by our own messages); null where they could not be, with
// the loader's reason in *pstrReason.
const CAvLibrary* LoadAvLibrary(std::string* pstrReason = nullptr);

// The loaded libraries; only after LoadAvLibrary gave them.
const CAvLibrary& Av();

}  // namespace corvina
