// The warnings a damaged stream can raise while it decodes, each told once per
// run through a file so that a broken stream cannot flood the user.
#pragma once

#include <corvina/warnings.h>

#include <functional>
#include <string>

#include "synth/caller_hooks.h"

namespace corvina {

// Takes one warning's code and its text.
using CodedWarningReporter =
    std::function<void(EDecoderWarning eWarning, const std::string& strText)>;

// The text of a warning told once per run (the first five codes).
const char* DecoderWarningText(EDecoderWarning eWarning);

class CDecoderWarnings {
  public:
    void SetReporter(WarningReporter fnReport) { m_fnReport = std::move(fnReport); }
    // Where set, the warnings go here with their codes instead.
    void SetCodedReporter(CodedWarningReporter fnReport) { m_fnCoded = std::move(fnReport); }
    // Shows the warning unless this run has shown it already.
    void Show(EDecoderWarning eWarning);
    bool WasShown(EDecoderWarning eWarning) const { return (m_nShown & (1u << eWarning)) != 0; }

  private:
    unsigned m_nShown = 0;
    WarningReporter m_fnReport;
    CodedWarningReporter m_fnCoded;
};

}  // namespace corvina
