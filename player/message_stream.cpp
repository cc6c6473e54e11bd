// The message stream and ShowMessage.
#include "player/message_stream.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "platform/auto_reset_event.h"
#include "platform/worker_thread.h"
#include "player/control_block.h"

using namespace corvina;

thread_local CMessageStream g_MessageStream;

CMessageStream& CMessageStream::operator<<(std::string_view text) {
    const std::size_t nRoom = kBufferSize - 1 - m_nLength;
    const std::size_t nCopy = std::min(nRoom, text.size());
    std::memcpy(m_szBuffer + m_nLength, text.data(), nCopy);
    m_nLength += nCopy;
    m_szBuffer[m_nLength] = '\0';
    if (nCopy < text.size()) {
        m_bTruncated = true;
    }
    return *this;
}

CMessageStream& CMessageStream::operator<<(long long nValue) {
    char szDigits[24];
    const auto result = std::to_chars(szDigits, szDigits + sizeof szDigits, nValue);
    return *this << std::string_view(szDigits, static_cast<std::size_t>(result.ptr - szDigits));
}

void CMessageStream::Reset() {
    m_nLength = 0;
    m_szBuffer[0] = '\0';
    m_bTruncated = false;
}

void ShowMessage(int nKind) {
    // The text is copied out first: the presenter may keep this thread
    // waiting in a box, and the stream must be free for the next message.
    std::string strText(g_MessageStream.Text());
    g_MessageStream.Reset();
    if (nKind == MSG_INFORMATION || nKind == MSG_WARNING) {
        // A worker that must wait for the user first lets go of an interface
        // thread that still waits for it to start, so the box can be seen.
        if (CWorkerThread::Current() != nullptr) {
            if (CAutoResetEvent* pReady = g_hReadyEvent.exchange(nullptr)) {
                pReady->Set();
            }
        }
        GetMessagePresenter().Present(nKind, strText);
    }
}
