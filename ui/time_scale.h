// The texts of the time scale under the position slider.
#pragma once

#include <string>

inline constexpr int kTimeLabelCount = 6;

// The label at nIndex * 20 percent of a stream of fPlayingTime seconds:
// seconds with two decimals below a minute ("12.50"), else minutes and
// seconds (" 3:00").
std::string FormatTimeLabel(int nIndex, float fPlayingTime);
// A time as a clock shows it, whole seconds: "0:07", "3:00", "1:02:03".
std::string FormatClock(double dSeconds);
