// The process-wide presenter and the console presenter.
#include "platform/message_presenter.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

CConsolePresenter g_consolePresenter;
std::atomic<CMessagePresenter*> g_pPresenter{nullptr};
std::mutex g_consoleLock;
std::mutex g_subjectLock;
std::string g_strSubject;
thread_local std::string t_strSubject;

std::string Subject(const std::string& strName) {
    return strName == "-" ? "standard input" : strName;
}

}  // namespace

void SetMessagePresenter(CMessagePresenter* pPresenter) {
    g_pPresenter.store(pPresenter);
}

CMessagePresenter& GetMessagePresenter() {
    CMessagePresenter* pPresenter = g_pPresenter.load();
    return pPresenter != nullptr ? *pPresenter : g_consolePresenter;
}

void SetMessageSubject(const std::string& strSubject) {
    std::lock_guard<std::mutex> lock(g_subjectLock);
    g_strSubject = Subject(strSubject);
}

void SetThreadMessageSubject(const std::string& strSubject) {
    t_strSubject = Subject(strSubject);
}

std::string FormatWarningLine(const std::string& strText) {
    std::string strLine = "corvina: ";
    if (!t_strSubject.empty()) {
        strLine += t_strSubject + ": ";
    } else {
        std::lock_guard<std::mutex> lock(g_subjectLock);
        if (!g_strSubject.empty()) {
            strLine += g_strSubject + ": ";
        }
    }
    std::string strBody = strText;
    while (!strBody.empty() && strBody.back() == '\n') {
        strBody.pop_back();
    }
    // One line per message: a line break becomes the end of a sentence.
    std::string strJoined;
    for (const char c : strBody) {
        if (c != '\n') {
            strJoined += c;
        } else if (!strJoined.empty() && std::strchr(".!?:;", strJoined.back()) == nullptr) {
            strJoined += ". ";
        } else {
            strJoined += ' ';
        }
    }
    return strLine + strJoined + "\n";
}

void CConsolePresenter::Present(int nKind, const std::string& strText) {
    std::lock_guard<std::mutex> lock(g_consoleLock);
    const bool bEndsLine = !strText.empty() && strText.back() == '\n';
    if (nKind == MSG_WARNING) {
        std::fputs(FormatWarningLine(strText).c_str(), stderr);
        std::fflush(stderr);
    } else if (nKind == MSG_INFORMATION) {
        std::fprintf(stdout, "%s%s", strText.c_str(), bEndsLine ? "" : "\n");
        std::fflush(stdout);
    }
}
