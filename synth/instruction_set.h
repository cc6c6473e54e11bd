// The widest vector instructions the filterbank may use: what the processor
// has, capped by CORVINA_CPU (portable, avx, avx2, avx512) so that the
// narrower versions can be timed and heard on a processor that has more.
#pragma once

namespace corvina {

enum class EInstructionSet { Portable, Avx, Avx2, Avx512 };

EInstructionSet UsableInstructionSet();

}  // namespace corvina
