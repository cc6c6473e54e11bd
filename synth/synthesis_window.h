// The synthesis window, 32 rows of 16 coefficients.
#pragma once

namespace corvina {

extern const float g_fSynthWindow[512];

// The same window by age for the window sums: entry 32 t + j is the
// coefficient of row j for the value written t slots ago, as a double.
struct CWindowByAge {
    alignas(64) double dCoefficient[512];
};
extern const CWindowByAge g_windowByAge;

}  // namespace corvina
