// The process-wide presenter and the console presenter.
#include "platform/message_presenter.h"

#include <atomic>
#include <cstdio>
#include <mutex>

namespace {

CConsolePresenter g_consolePresenter;
std::atomic<CMessagePresenter*> g_pPresenter{nullptr};
std::mutex g_consoleLock;

}  // namespace

void SetMessagePresenter(CMessagePresenter* pPresenter) {
    g_pPresenter.store(pPresenter);
}

CMessagePresenter& GetMessagePresenter() {
    CMessagePresenter* pPresenter = g_pPresenter.load();
    return pPresenter != nullptr ? *pPresenter : g_consolePresenter;
}

void CConsolePresenter::Present(int nKind, const std::string& strText) {
    std::lock_guard<std::mutex> lock(g_consoleLock);
    const bool bEndsLine = !strText.empty() && strText.back() == '\n';
    if (nKind == MSG_WARNING) {
        std::fprintf(stderr, "Warning: %s%s", strText.c_str(), bEndsLine ? "" : "\n");
        std::fflush(stderr);
    } else if (nKind == MSG_INFORMATION) {
        std::fprintf(stdout, "%s%s", strText.c_str(), bEndsLine ? "" : "\n");
        std::fflush(stdout);
    }
}
