// The status line and the messages above it.
#include "app/status_line.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr const char* kEllipsis = "\u2026";

// Decodes one character at nAt, moving past it; kReplacement for a byte that
// does not begin a valid, shortest-form sequence.
char32_t DecodeAt(std::string_view text, std::size_t& nAt) {
    const auto c = static_cast<unsigned char>(text[nAt++]);
    if (c < 0x80) {
        return c;
    }
    const int nMore = c >= 0xF0 && c <= 0xF4 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 && c < 0xE0 ? 1 : -1;
    if (nMore < 0 || nAt + static_cast<std::size_t>(nMore) > text.size()) {
        return kReplacement;
    }
    char32_t code = c & (0x3F >> nMore);
    for (int i = 0; i < nMore; ++i) {
        const auto next = static_cast<unsigned char>(text[nAt + static_cast<std::size_t>(i)]);
        if ((next & 0xC0) != 0x80) {
            return kReplacement;
        }
        code = code << 6 | (next & 0x3F);
    }
    constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
    if (code < kLeast[nMore] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return kReplacement;
    }
    nAt += static_cast<std::size_t>(nMore);
    return code;
}

void AppendUtf8(std::string& strOut, char32_t code) {
    if (code < 0x80) {
        strOut += static_cast<char>(code);
    } else if (code < 0x800) {
        strOut += static_cast<char>(0xC0 | code >> 6);
        strOut += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        strOut += static_cast<char>(0xE0 | code >> 12);
        strOut += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        strOut += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        strOut += static_cast<char>(0xF0 | code >> 18);
        strOut += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        strOut += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        strOut += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Columns of one character: the East Asian wide and full-width blocks and
// the emoji take two, combining marks none.
int ColumnsOf(char32_t code) {
    struct CRange {
        char32_t first;
        char32_t last;
    };
    static constexpr CRange kCombining[] = {{0x0300, 0x036F}, {0x200B, 0x200F}, {0xFE00, 0xFE0F}};
    static constexpr CRange kWide[] = {{0x1100, 0x115F},   {0x2E80, 0x303E},   {0x3041, 0x33FF},
                                       {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},
                                       {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE30, 0xFE4F},
                                       {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x1F300, 0x1F64F},
                                       {0x1F900, 0x1F9FF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD}};
    const auto In = [code](const auto& ranges) {
        for (const CRange& range : ranges) {
            if (code >= range.first && code <= range.last) {
                return true;
            }
        }
        return false;
    };
    return In(kCombining) ? 0 : In(kWide) ? 2 : 1;
}

}  // namespace

std::string ToDisplayText(const std::string& strText) {
    std::string strOut;
    for (std::size_t nAt = 0; nAt < strText.size();) {
        const char32_t code = DecodeAt(strText, nAt);
        AppendUtf8(strOut, code < 0x20 || (code >= 0x7F && code < 0xA0) ? kReplacement : code);
    }
    return strOut;
}

int DisplayColumns(const std::string& strText) {
    int nColumns = 0;
    for (std::size_t nAt = 0; nAt < strText.size();) {
        nColumns += ColumnsOf(DecodeAt(strText, nAt));
    }
    return nColumns;
}

std::string FitEnd(const std::string& strText, int nColumns) {
    int nUsed = 0;
    std::size_t nAt = 0;
    while (nAt < strText.size()) {
        std::size_t nNext = nAt;
        const int nWidth = ColumnsOf(DecodeAt(strText, nNext));
        if (nUsed + nWidth > nColumns) {
            break;
        }
        nUsed += nWidth;
        nAt = nNext;
    }
    return strText.substr(0, nAt);
}

std::string FitMiddle(const std::string& strText, int nColumns) {
    if (DisplayColumns(strText) <= nColumns) {
        return strText;
    }
    if (nColumns <= 1) {
        return nColumns == 1 ? kEllipsis : "";
    }
    // The head gets the larger half; the tail is taken from the end.
    const std::string strHead = FitEnd(strText, (nColumns - 1 + 1) / 2);
    const int nTailColumns = nColumns - 1 - DisplayColumns(strHead);
    std::size_t nTail = strText.size();
    int nUsed = 0;
    for (;;) {
        std::size_t nStart = nTail;
        while (nStart > 0 && (static_cast<unsigned char>(strText[nStart - 1]) & 0xC0) == 0x80) {
            --nStart;
        }
        if (nStart == 0) {
            break;
        }
        --nStart;
        const int nWidth = DisplayColumns(strText.substr(nStart, nTail - nStart));
        if (nUsed + nWidth > nTailColumns) {
            break;
        }
        nUsed += nWidth;
        nTail = nStart;
    }
    return strHead + kEllipsis + strText.substr(nTail);
}

bool CStatusLine::IsPlainTerminal() {
    const char* pszTerm = std::getenv("TERM");
    return pszTerm == nullptr || *pszTerm == '\0' || std::string_view(pszTerm) == "dumb";
}

int TerminalColumns() {
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    return 80;
}

void CStatusLine::Show(const std::string& strText) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_bHidden) {
        return;
    }
    // A line as wide as the terminal would wrap, and the carriage return
    // would then redraw only its last row.
    std::string strLine = FitEnd(ToDisplayText(strText), TerminalColumns() - 1);
    if (strLine == m_strText) {
        return;
    }
    m_strText = std::move(strLine);
    Draw();
    std::fflush(stdout);
}

void CStatusLine::PrintAbove(const std::string& strText) {
    std::lock_guard<std::mutex> lock(m_lock);
    Clear();
    std::fputs(strText.c_str(), stdout);
    if (strText.empty() || strText.back() != '\n') {
        std::fputc('\n', stdout);
    }
    Draw();
    std::fflush(stdout);
}

void CStatusLine::Present(int nKind, const std::string& strText) {
    if (nKind == MSG_INFORMATION) {
        PrintAbove(strText);
        return;
    }
    if (nKind != MSG_WARNING) {
        return;
    }
    std::lock_guard<std::mutex> lock(m_lock);
    Clear();
    std::fflush(stdout);
    std::fputs(FormatWarningLine(strText).c_str(), stderr);
    std::fflush(stderr);
    Draw();
    std::fflush(stdout);
}

void CStatusLine::End() {
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_strText.empty() && !m_bHidden) {
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
    m_strText.clear();
}

void CStatusLine::SetHidden(bool bHidden) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_bHidden = bHidden;
    m_strText.clear();
}

// Both run with the lock held.
void CStatusLine::Clear() {
    if (!m_strText.empty() && !m_bHidden) {
        if (m_bPlain) {
            std::fprintf(stdout, "\r%*s\r", m_nDrawnColumns, "");
        } else {
            std::fputs("\r\x1b[K", stdout);
        }
    }
}

void CStatusLine::Draw() {
    if (!m_strText.empty() && !m_bHidden) {
        std::fputs("\r", stdout);
        std::fputs(m_strText.c_str(), stdout);
        const int nColumns = DisplayColumns(m_strText);
        if (m_bPlain) {
            // What a longer line before left is overwritten.
            std::fprintf(stdout, "%*s", std::max(0, m_nDrawnColumns - nColumns), "");
            if (m_nDrawnColumns > nColumns) {
                std::fprintf(stdout, "\r%s", m_strText.c_str());
            }
        } else {
            std::fputs("\x1b[K", stdout);
        }
        m_nDrawnColumns = nColumns;
    }
}
