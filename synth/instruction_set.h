// The widest vector instructions the filterbank may use: what the processor
// has, capped by CORVINA_CPU (scalar, sse2, avx, avx2, avx512) so that the
// narrower versions can be timed and heard on a processor that has more.
#pragma once

#include <optional>

namespace corvina {

// Each set includes the ones before it; Scalar is plain C++.
enum class EInstructionSet { Scalar, Sse2, Avx, Avx2, Avx512 };

// What the processor runs, whatever CORVINA_CPU says.
EInstructionSet ProcessorInstructionSet();
// The processor's set capped by CORVINA_CPU, read once.
EInstructionSet UsableInstructionSet();
// The set of a CORVINA_CPU value; "portable" is the older name of sse2.
std::optional<EInstructionSet> InstructionSetNamed(const char* pszName);

}  // namespace corvina
