// Once-per-run decoder warnings.
#include "decoder/decoder_warnings.h"

namespace corvina {

namespace {

const char* const kWarningTexts[] = {
    "stream contains an illegal allocation!",
    "illegal switch from single channel to stereo or vice versa!",
    "sorry, can't switch the sample frequency in the middle of the stream!",
    ("the stream switches between single channel and stereo in the middle: it goes on in the "
     "new channel count"),
    "the sample frequency switches in the middle of the stream: it goes on at the new rate",
};

// The text of a warning told once per run (the first five codes).
const char* DecoderWarningText(EDecoderWarning eWarning) {
    return eWarning <= WARN_RATE_FOLLOWED ? kWarningTexts[eWarning] : "";
}

}  // namespace

void CDecoderWarnings::Show(EDecoderWarning eWarning) {
    if (WasShown(eWarning)) {
        return;
    }
    m_nShown |= 1u << eWarning;
    if (m_fnCoded) {
        m_fnCoded(eWarning, DecoderWarningText(eWarning));
    } else {
        ReportWarning(m_fnReport, DecoderWarningText(eWarning));
    }
}

}  // namespace corvina
