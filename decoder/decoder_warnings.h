// The warnings a damaged stream can raise while it decodes, each told once per
// run through a file so that a broken stream cannot flood the user.
#pragma once

#include <corvina/warnings.h>

#include "synth/caller_hooks.h"

namespace corvina {

class CDecoderWarnings {
  public:
    void SetReporter(WarningReporter fnReport) { m_fnReport = std::move(fnReport); }
    // Where set, the warnings go here with their codes instead.
    void SetCodedReporter(WarningHandler fnReport) { m_fnCoded = std::move(fnReport); }
    // Shows the warning unless this run has shown it already.
    void Show(EDecoderWarning eWarning);
    bool WasShown(EDecoderWarning eWarning) const { return (m_nShown & (1u << eWarning)) != 0; }

  private:
    unsigned m_nShown = 0;
    WarningReporter m_fnReport;
    WarningHandler m_fnCoded;
};

}  // namespace corvina
