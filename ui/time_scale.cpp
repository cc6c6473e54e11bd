// The texts of the time scale.
#include "ui/time_scale.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

std::string FormatTimeLabel(int nIndex, float fPlayingTime) {
    // A broken playing time must not turn into an out-of-range conversion.
    if (!std::isfinite(fPlayingTime) || fPlayingTime < 0.0f) {
        fPlayingTime = 0.0f;
    }
    char szText[32];
    if (fPlayingTime < 60.0f) {
        std::snprintf(szText, sizeof szText, "%.2f",
                      static_cast<double>(nIndex) * static_cast<double>(fPlayingTime) * 0.2);
        return szText;
    }
    // Single precision on purpose: the labels must match those of the
    // original player to the second, e.g. 5 * 180 * 0.2f is just above 180.
    const float fSeconds = static_cast<float>(nIndex) * fPlayingTime * 0.2f;
    const int nSeconds = fSeconds < 2147483520.0f ? static_cast<int>(fSeconds) : 2147483520;
    const int nRest = nSeconds % 60;
    std::snprintf(szText, sizeof szText, "%2d:%s%1d", nSeconds / 60, nRest < 10 ? "0" : "", nRest);
    return szText;
}

std::string FormatClock(double dSeconds) {
    // Ten days is more than any stream lasts; beyond it the clock stands.
    if (!std::isfinite(dSeconds) || dSeconds < 0.0) {
        dSeconds = 0.0;
    }
    const long nSeconds = static_cast<long>(std::min(dSeconds, 864000.0));
    char szText[32];
    if (nSeconds >= 3600) {
        std::snprintf(szText, sizeof szText, "%ld:%02ld:%02ld", nSeconds / 3600, nSeconds / 60 % 60,
                      nSeconds % 60);
    } else {
        std::snprintf(szText, sizeof szText, "%ld:%02ld", nSeconds / 60, nSeconds % 60);
    }
    return szText;
}
