// The message stream: every text the program shows the user is composed here
// and handed on whole by ShowMessage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/message_presenter.h"

class CMessageStream {
  public:
    static constexpr std::size_t kBufferSize = 2000;

    CMessageStream& operator<<(std::string_view text);
    CMessageStream& operator<<(const char* pszText) { return *this << std::string_view(pszText); }
    CMessageStream& operator<<(const std::string& strText) {
        return *this << std::string_view(strText);
    }
    CMessageStream& operator<<(char c) { return *this << std::string_view(&c, 1); }
    CMessageStream& operator<<(long long nValue);
    CMessageStream& operator<<(int nValue) { return *this << static_cast<long long>(nValue); }
    CMessageStream& operator<<(unsigned nValue) { return *this << static_cast<long long>(nValue); }
    CMessageStream& operator<<(long nValue) { return *this << static_cast<long long>(nValue); }

    // The text written since the last Reset, cut to the buffer's capacity
    // (kBufferSize - 1 characters and the terminating zero).
    std::string_view Text() const { return {m_szBuffer, m_nLength}; }
    bool Truncated() const { return m_bTruncated; }
    void Reset();

  private:
    char m_szBuffer[kBufferSize] = {};
    std::size_t m_nLength = 0;
    bool m_bTruncated = false;
};

// The warning for a file that holds nothing to play or decode, wherever the
// file was opened.
inline constexpr const char* kInvalidStreamText = "Invalid Audio Stream";

// Each thread composes its own message, so a warning written by the worker
// never mixes with the information text composed on the interface thread.
extern thread_local CMessageStream g_MessageStream;

// Shows this thread's message as kind 0 (information) or 1 (warning) and
// empties the stream; any other kind shows nothing but still empties it.
void ShowMessage(int nKind);
