// The synthesis window, 32 rows of 16 coefficients.
#pragma once

extern const float g_fSynthWindow[512];
