// The synthesis window, 32 rows of 16 coefficients.
#pragma once

namespace corvina {

extern const float g_fSynthWindow[512];

}  // namespace corvina
