// What the engine's long-running parts are handed by their caller instead of
// reaching up for it: whether to stop, and where their warnings go.
#pragma once

#include <functional>
#include <string>

namespace corvina {

// True once the caller wants the work given up; looked at between steps of a
// long search or wait, never blocking. Empty: never.
using StopRequest = std::function<bool()>;
// Takes one whole warning text. Empty: the warning is dropped.
using WarningReporter = std::function<void(const std::string& strText)>;

// Where a live stream (one read from an address) stands.
enum class ELiveState { Buffering, Playing, Reconnecting, Lost };

// What a live stream tells its caller as it plays, on the thread that reads
// it: the title on air as it changes (empty: none now) and its state. Either
// may be empty.
struct CLiveHooks {
    std::function<void(const std::string& strTitle)> fnTitleChanged;
    std::function<void(ELiveState eState)> fnStateChanged;
};

inline bool IsStopRequested(const StopRequest& fnStop) {
    return fnStop && fnStop();
}

inline void ReportWarning(const WarningReporter& fnReport, const std::string& strText) {
    if (fnReport) {
        fnReport(strText);
    }
}

}  // namespace corvina
