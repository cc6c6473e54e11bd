// Once-per-run decoder warnings.
#include "decoder/decoder_warnings.h"

namespace corvina {

namespace {

const char* const kWarningTexts[] = {
    "WARNING: stream contains an illegal allocation!\n",
    "illegal switch from single channel to stereo or vice versa!\n",
    "sorry, can't switch the sample frequency in the middle of the stream!\n",
};

}  // namespace

void CDecoderWarnings::Show(EDecoderWarning eWarning) {
    if (WasShown(eWarning)) {
        return;
    }
    m_nShown |= 1u << eWarning;
    ReportWarning(m_fnReport, kWarningTexts[eWarning]);
}

}  // namespace corvina
