// The status line and the messages above it.
#include "app/status_line.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

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
    const auto nWidth = static_cast<std::size_t>(TerminalColumns() - 1);
    std::string strLine = strText.substr(0, nWidth);
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
    const bool bEndsLine = !strText.empty() && strText.back() == '\n';
    std::fprintf(stderr, "Warning: %s%s", strText.c_str(), bEndsLine ? "" : "\n");
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
        std::fputs("\r\x1b[K", stdout);
    }
}

void CStatusLine::Draw() {
    if (!m_strText.empty() && !m_bHidden) {
        std::fputs("\r", stdout);
        std::fputs(m_strText.c_str(), stdout);
        std::fputs("\x1b[K", stdout);
    }
}
