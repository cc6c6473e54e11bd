// The warnings a damaged stream can raise while it decodes, each told once per
// run through a file so that a broken stream cannot flood the user.
#pragma once

#include "synth/caller_hooks.h"

namespace corvina {

enum EDecoderWarning {
    WARN_ILLEGAL_ALLOCATION,
    WARN_MODE_SWITCH,
    WARN_RATE_SWITCH,
    // The same switches where the output follows them.
    WARN_MODE_FOLLOWED,
    WARN_RATE_FOLLOWED,
};

class CDecoderWarnings {
  public:
    void SetReporter(WarningReporter fnReport) { m_fnReport = std::move(fnReport); }
    // Shows the warning unless this run has shown it already.
    void Show(EDecoderWarning eWarning);
    bool WasShown(EDecoderWarning eWarning) const { return (m_nShown & (1u << eWarning)) != 0; }

  private:
    unsigned m_nShown = 0;
    WarningReporter m_fnReport;
};

}  // namespace corvina
