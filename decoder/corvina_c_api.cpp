// The C interface over the frame decoder: the handle's input bytes, the
// PCM of the frame in hand, and seeks by a walk over the frames.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include <corvina/corvina.h>
#include <corvina/frame_decoder.h>
#include "decoder/file_access.h"

namespace corvina {

namespace {

// Samples of history the synthesis filter carries from one frame to the
// next: a decode started this far before a sample gives it exactly.
constexpr int64_t kWarmSamples = 512;
// Bytes consumed before the input of a fed handle is moved down.
constexpr std::size_t kCompactBytes = 64 * 1024;

}  // namespace

}  // namespace corvina

using corvina::CFrameDecoder;
using corvina::CFrameInfo;
using corvina::EFrameResult;

struct corvina_handle {
    CFrameDecoder decoder;
    std::vector<uint8_t> bytes;
    std::size_t nPosition = 0;
    bool bFed = false;
    bool bInputEnded = false;
    bool bFoundFrame = false;
    int16_t pcm[corvina::kMaxFrameSamples] = {};
    std::size_t nPending = 0;
    std::size_t nPendingAt = 0;
    long nRate = 0;
    int nChannels = 0;
    int64_t nLength = -1;

    std::span<const uint8_t> Rest() const {
        return std::span<const uint8_t>(bytes).subspan(nPosition);
    }

    // Decodes the next frame into pcm; OK or NEW_FORMAT with samples
    // pending, else why none are.
    int DecodeNext() {
        for (;;) {
            CFrameInfo info;
            const EFrameResult result = decoder.DecodeFrame(Rest(), pcm, info);
            nPosition += info.nBytes;
            switch (result) {
                case EFrameResult::Decoded:
                case EFrameResult::CrcError: {
                    bFoundFrame = true;
                    nPending = static_cast<std::size_t>(info.nSamples) *
                               static_cast<std::size_t>(info.nChannels);
                    nPendingAt = 0;
                    if (info.nSampleRate != nRate || info.nChannels != nChannels) {
                        nRate = info.nSampleRate;
                        nChannels = info.nChannels;
                        return CORVINA_NEW_FORMAT;
                    }
                    return CORVINA_OK;
                }
                case EFrameResult::SkippedJunk:
                case EFrameResult::NotLayer12:
                    continue;
                case EFrameResult::NeedMoreBytes:
                    if (bFed && !bInputEnded) {
                        return CORVINA_NEED_MORE;
                    }
                    return bFoundFrame ? CORVINA_DONE : CORVINA_ERR_NO_STREAM;
            }
        }
    }
};

namespace {

// Hands fnFrame the offset and description of every decodable frame in
// bytes, in order, until it answers false or the bytes end.
template <class FnFrame>
void WalkFrames(const std::vector<uint8_t>& bytes, FnFrame fnFrame) {
    CFrameDecoder walker;
    std::size_t nAt = 0;
    for (;;) {
        CFrameInfo info;
        const EFrameResult result =
            walker.PeekFrame(std::span<const uint8_t>(bytes).subspan(nAt), info);
        if (result == EFrameResult::NeedMoreBytes) {
            return;
        }
        if (result == EFrameResult::Decoded && !fnFrame(nAt, info)) {
            return;
        }
        nAt += info.nBytes;
    }
}

}  // namespace

extern "C" {

corvina_handle* corvina_new(void) {
    auto* pHandle = new (std::nothrow) corvina_handle;
    if (pHandle != nullptr) {
        pHandle->bFed = true;
    }
    return pHandle;
}

corvina_handle* corvina_open_memory(const void* data, size_t nBytes) {
    if (data == nullptr && nBytes > 0) {
        return nullptr;
    }
    auto* pHandle = new (std::nothrow) corvina_handle;
    if (pHandle == nullptr) {
        return nullptr;
    }
    try {
        const auto* pBytes = static_cast<const uint8_t*>(data);
        pHandle->bytes.assign(pBytes, pBytes + nBytes);
    } catch (const std::bad_alloc&) {
        delete pHandle;
        return nullptr;
    }
    return pHandle;
}

corvina_handle* corvina_open_file(const char* path) {
    if (path == nullptr) {
        return nullptr;
    }
    // Without blocking on a pipe that has no writer.
    std::string strReason;
    const int fd = corvina::OpenDescriptorForReading(path, strReason);
    std::FILE* pFile = fd >= 0 ? fdopen(fd, "rb") : nullptr;
    if (pFile == nullptr) {
        if (fd >= 0) {
            close(fd);
        }
        return nullptr;
    }
    auto* pHandle = new (std::nothrow) corvina_handle;
    bool bRead = pHandle != nullptr;
    try {
        uint8_t bChunk[64 * 1024];
        std::size_t nGot = 0;
        while (bRead && (nGot = std::fread(bChunk, 1, sizeof bChunk, pFile)) > 0) {
            pHandle->bytes.insert(pHandle->bytes.end(), bChunk, bChunk + nGot);
        }
        bRead = bRead && std::ferror(pFile) == 0;
    } catch (const std::bad_alloc&) {
        bRead = false;
    }
    std::fclose(pFile);
    if (!bRead) {
        delete pHandle;
        return nullptr;
    }
    return pHandle;
}

void corvina_close(corvina_handle* handle) {
    delete handle;
}

int corvina_feed(corvina_handle* handle, const void* data, size_t nBytes) {
    if (handle == nullptr || !handle->bFed || handle->bInputEnded ||
        (data == nullptr && nBytes > 0)) {
        return CORVINA_ERR_ARGUMENT;
    }
    try {
        if (handle->nPosition >= corvina::kCompactBytes) {
            handle->bytes.erase(
                handle->bytes.begin(),
                handle->bytes.begin() + static_cast<std::ptrdiff_t>(handle->nPosition));
            handle->nPosition = 0;
        }
        const auto* pBytes = static_cast<const uint8_t*>(data);
        handle->bytes.insert(handle->bytes.end(), pBytes, pBytes + nBytes);
    } catch (const std::bad_alloc&) {
        return CORVINA_ERR_MEMORY;
    }
    return CORVINA_OK;
}

int corvina_feed_end(corvina_handle* handle) {
    if (handle == nullptr || !handle->bFed) {
        return CORVINA_ERR_ARGUMENT;
    }
    handle->bInputEnded = true;
    return CORVINA_OK;
}

int corvina_read(corvina_handle* handle, int16_t* pcm, size_t nMax, size_t* pnRead) {
    if (pnRead != nullptr) {
        *pnRead = 0;
    }
    if (handle == nullptr || (pcm == nullptr && nMax > 0)) {
        return CORVINA_ERR_ARGUMENT;
    }
    if (handle->nPending == 0) {
        const int nResult = handle->DecodeNext();
        if (nResult != CORVINA_OK) {
            // A new format is told before its samples are read.
            return nResult;
        }
    }
    const std::size_t nCopy = std::min(nMax, handle->nPending);
    std::copy_n(handle->pcm + handle->nPendingAt, nCopy, pcm);
    handle->nPendingAt += nCopy;
    handle->nPending -= nCopy;
    if (pnRead != nullptr) {
        *pnRead = nCopy;
    }
    return CORVINA_OK;
}

int corvina_format(corvina_handle* handle, long* pnRate, int* pnChannels) {
    if (handle == nullptr) {
        return CORVINA_ERR_ARGUMENT;
    }
    if (handle->nChannels == 0) {
        return CORVINA_NEED_MORE;
    }
    if (pnRate != nullptr) {
        *pnRate = handle->nRate;
    }
    if (pnChannels != nullptr) {
        *pnChannels = handle->nChannels;
    }
    return CORVINA_OK;
}

int64_t corvina_length(corvina_handle* handle) {
    if (handle == nullptr || handle->bFed) {
        return CORVINA_ERR_SEEK;
    }
    if (handle->nLength < 0) {
        int64_t nSamples = 0;
        WalkFrames(handle->bytes, [&nSamples](std::size_t, const CFrameInfo& info) {
            nSamples += info.nSamples;
            return true;
        });
        handle->nLength = nSamples;
    }
    return handle->nLength;
}

int corvina_seek(corvina_handle* handle, int64_t nSample) {
    if (handle == nullptr || nSample < 0) {
        return CORVINA_ERR_ARGUMENT;
    }
    if (handle->bFed) {
        return CORVINA_ERR_SEEK;
    }
    // The frames from the one that warms the filter for nSample's frame.
    std::vector<std::pair<std::size_t, int64_t>> starts;  // offset, first sample
    int64_t nFirst = 0;
    bool bFound = false;
    WalkFrames(handle->bytes, [&](std::size_t nAt, const CFrameInfo& info) {
        starts.emplace_back(nAt, nFirst);
        if (nSample < nFirst + info.nSamples) {
            bFound = true;
            return false;
        }
        nFirst += info.nSamples;
        return true;
    });
    handle->decoder.Reset();
    handle->nPending = 0;
    handle->nRate = 0;
    handle->nChannels = 0;
    if (!bFound) {
        handle->nPosition = handle->bytes.size();
        return CORVINA_OK;
    }
    std::size_t nWarm = starts.size() - 1;
    while (nWarm > 0 && starts.back().second - starts[nWarm].second < corvina::kWarmSamples) {
        --nWarm;
    }
    handle->nPosition = starts[nWarm].first;
    for (std::size_t i = nWarm; i < starts.size(); ++i) {
        const int nResult = handle->DecodeNext();
        if (nResult != CORVINA_OK && nResult != CORVINA_NEW_FORMAT) {
            return nResult;
        }
    }
    // The samples of nSample's frame before it are dropped.
    const auto nSkip = static_cast<std::size_t>(nSample - starts.back().second) *
                       static_cast<std::size_t>(handle->nChannels);
    handle->nPendingAt = std::min(nSkip, handle->nPending);
    handle->nPending -= handle->nPendingAt;
    return CORVINA_OK;
}

const char* corvina_strerror(int result) {
    switch (result) {
        case CORVINA_OK:
            return "success";
        case CORVINA_NEW_FORMAT:
            return "the output format is new";
        case CORVINA_NEED_MORE:
            return "more input is needed";
        case CORVINA_DONE:
            return "the stream has ended";
        case CORVINA_ERR_ARGUMENT:
            return "invalid argument";
        case CORVINA_ERR_MEMORY:
            return "out of memory";
        case CORVINA_ERR_OPEN:
            return "the file could not be read";
        case CORVINA_ERR_SEEK:
            return "this handle cannot seek";
        case CORVINA_ERR_NO_STREAM:
            return "no MPEG audio Layer I or II stream found";
        default:
            return "unknown result";
    }
}

}  // extern "C"
