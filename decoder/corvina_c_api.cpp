// The C interface: a thin layer over the stream handle, CStream.
#include <corvina/corvina.h>
#include <corvina/stream.h>

#include <new>
#include <span>
#include <string>
#include <utility>
#include <vector>

using corvina::CPcmFormat;
using corvina::CStream;
using corvina::EStreamResult;

struct corvina_handle {
    CStream stream;
    // What the open warned of before a handler could be set: handed to the
    // first one set.
    std::vector<std::pair<int, std::string>> held;

    corvina_handle() {
        stream.SetWarningHandler(
            [this](corvina::EDecoderWarning eWarning, const std::string& strText) {
                if (held.size() < kMostHeld) {
                    held.emplace_back(static_cast<int>(eWarning), strText);
                }
            });
    }
    static constexpr std::size_t kMostHeld = 16;
};

namespace {

static_assert(static_cast<int>(corvina::WARN_INPUT) == CORVINA_WARN_INPUT &&
              static_cast<int>(corvina::WARN_ILLEGAL_ALLOCATION) ==
                  CORVINA_WARN_ILLEGAL_ALLOCATION);

int Result(EStreamResult eResult) {
    return static_cast<int>(eResult);
}

// A handle whose open gave eResult: kept where the stream is there, if only
// to tell that it holds nothing to decode.
corvina_handle* Opened(corvina_handle* pHandle, EStreamResult eResult) {
    if (eResult == EStreamResult::ErrOpen || eResult == EStreamResult::ErrMemory ||
        eResult == EStreamResult::ErrArgument) {
        delete pHandle;
        return nullptr;
    }
    return pHandle;
}

}  // namespace

extern "C" {

corvina_handle* corvina_new(void) {
    auto* pHandle = new (std::nothrow) corvina_handle;
    return pHandle != nullptr ? Opened(pHandle, pHandle->stream.OpenFeed()) : nullptr;
}

corvina_handle* corvina_open_memory(const void* data, size_t nBytes) {
    if (data == nullptr && nBytes > 0) {
        return nullptr;
    }
    auto* pHandle = new (std::nothrow) corvina_handle;
    if (pHandle == nullptr) {
        return nullptr;
    }
    const std::span bytes(static_cast<const uint8_t*>(data), nBytes);
    return Opened(pHandle, pHandle->stream.OpenMemory(bytes));
}

corvina_handle* corvina_open_file(const char* path) {
    if (path == nullptr) {
        return nullptr;
    }
    auto* pHandle = new (std::nothrow) corvina_handle;
    return pHandle != nullptr ? Opened(pHandle, pHandle->stream.OpenFile(path)) : nullptr;
}

void corvina_close(corvina_handle* handle) {
    delete handle;
}

int corvina_feed(corvina_handle* handle, const void* data, size_t nBytes) {
    if (handle == nullptr || (data == nullptr && nBytes > 0)) {
        return CORVINA_ERR_ARGUMENT;
    }
    return Result(handle->stream.Feed(std::span(static_cast<const uint8_t*>(data), nBytes)));
}

int corvina_feed_end(corvina_handle* handle) {
    return handle != nullptr ? Result(handle->stream.EndFeed()) : CORVINA_ERR_ARGUMENT;
}

int corvina_read(corvina_handle* handle, int16_t* pcm, size_t nMax, size_t* pnRead) {
    if (pnRead != nullptr) {
        *pnRead = 0;
    }
    if (handle == nullptr || (pcm == nullptr && nMax > 0)) {
        return CORVINA_ERR_ARGUMENT;
    }
    std::size_t nRead = 0;
    const EStreamResult eResult = handle->stream.Read(std::span(pcm, nMax), nRead);
    if (pnRead != nullptr) {
        *pnRead = nRead;
    }
    return Result(eResult);
}

int corvina_format(corvina_handle* handle, long* pnRate, int* pnChannels) {
    if (handle == nullptr) {
        return CORVINA_ERR_ARGUMENT;
    }
    CPcmFormat format;
    const EStreamResult eResult = handle->stream.Format(format);
    if (eResult == EStreamResult::Ok) {
        if (pnRate != nullptr) {
            *pnRate = format.nRate;
        }
        if (pnChannels != nullptr) {
            *pnChannels = format.nChannels;
        }
    }
    return Result(eResult);
}

int64_t corvina_length(corvina_handle* handle) {
    if (handle == nullptr) {
        return CORVINA_ERR_ARGUMENT;
    }
    const int64_t nLength = handle->stream.Length();
    return nLength >= 0 ? nLength : int64_t{CORVINA_ERR_SEEK};
}

int corvina_seek(corvina_handle* handle, int64_t nSample) {
    return handle != nullptr ? Result(handle->stream.Seek(nSample)) : CORVINA_ERR_ARGUMENT;
}

int corvina_set_warning_handler(corvina_handle* handle, corvina_warning_handler handler,
                                void* user) {
    if (handle == nullptr) {
        return CORVINA_ERR_ARGUMENT;
    }
    for (const auto& [nCode, strText] : std::exchange(handle->held, {})) {
        if (handler != nullptr) {
            handler(user, nCode, strText.c_str());
        }
    }
    if (handler == nullptr) {
        handle->stream.SetWarningHandler({});
    } else {
        handle->stream.SetWarningHandler(
            [handler, user](corvina::EDecoderWarning eWarning, const std::string& strText) {
                handler(user, static_cast<int>(eWarning), strText.c_str());
            });
    }
    return CORVINA_OK;
}

const char* corvina_strerror(int result) {
    if (result < Result(EStreamResult::ErrNoStream) || result > Result(EStreamResult::Done)) {
        return "unknown result";
    }
    return CStream::ResultText(static_cast<EStreamResult>(result));
}

}  // extern "C"
