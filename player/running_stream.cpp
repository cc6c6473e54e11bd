// Reads of the running decoder from the interface thread.
#include "player/running_stream.h"

#include <string>

#include "decoder/audio_decoder.h"
#include "player/control_block.h"
#include "player/message_stream.h"

bool GetRunningPlayingTime(float& fSeconds) {
    std::lock_guard<std::mutex> lock(g_DecoderLock);
    const CAudioDecoder* pDecoder = g_pDecoder.load();
    if (pDecoder == nullptr) {
        return false;
    }
    fSeconds = pDecoder->PlayingTime();
    return true;
}

bool IsRunningStreamSeekable() {
    return g_bSeekable.load() != 0;
}

bool ShowRunningStreamInfo() {
    std::string strText;
    {
        std::lock_guard<std::mutex> lock(g_DecoderLock);
        const CAudioDecoder* pDecoder = g_pDecoder.load();
        if (pDecoder == nullptr) {
            return false;
        }
        strText = pDecoder->FormatStreamInfo();
    }
    // The box opens with the lock released, so the worker is never kept
    // from ending while the user reads it.
    g_MessageStream << strText;
    ShowMessage(MSG_INFORMATION);
    return true;
}
