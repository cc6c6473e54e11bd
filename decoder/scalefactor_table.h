// The scalefactor multipliers, indexed by the 6-bit scalefactor index.
#pragma once

extern const float g_fScalefactors[64];
