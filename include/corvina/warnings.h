// The codes of the warnings a stream raises while it is read; each comes to
// the caller with its text, a plain sentence without a prefix or a line break.
#pragma once

#include <functional>
#include <string>

namespace corvina {

enum EDecoderWarning {
    WARN_ILLEGAL_ALLOCATION,  // a frame holds an allocation the layer forbids
    WARN_MODE_SWITCH,         // the channel count switches; the output keeps its own
    WARN_RATE_SWITCH,         // the sample rate switches; the output keeps its own
    WARN_MODE_FOLLOWED,       // the channel count switches and the output follows
    WARN_RATE_FOLLOWED,       // the sample rate switches and the output follows
    WARN_CONCEALED,           // damaged frames were concealed from a time on
    WARN_SEEK_FAILED,         // the stream could not be moved
    // What the input told: a file that cannot be opened, a container without
    // a Layer I/II track, a lost connection.
    WARN_INPUT,
};

// Takes one warning as it is raised, during the call that raised it, with
// its code and its text.
using WarningHandler = std::function<void(EDecoderWarning eWarning, const std::string& strText)>;

}  // namespace corvina
