// The scalefactor multipliers, indexed by the 6-bit scalefactor index.
#pragma once

namespace corvina {

extern const float g_fScalefactors[64];

}  // namespace corvina
