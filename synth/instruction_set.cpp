#include "synth/instruction_set.h"

#include <cstdlib>
#include <cstring>

namespace corvina {

EInstructionSet ProcessorInstructionSet() {
#if defined(__x86_64__) || defined(__i386__)
    // Needed where this runs before the static constructors, as a
    // benchmark's registration does.
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f")) {
        return EInstructionSet::Avx512;
    }
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) {
        return EInstructionSet::Avx2;
    }
    if (__builtin_cpu_supports("avx")) {
        return EInstructionSet::Avx;
    }
    if (__builtin_cpu_supports("sse2")) {
        return EInstructionSet::Sse2;
    }
#endif
    return EInstructionSet::Scalar;
}

std::optional<EInstructionSet> InstructionSetNamed(const char* pszName) {
    const struct {
        const char* pszName;
        EInstructionSet set;
    } kNames[] = {{"scalar", EInstructionSet::Scalar}, {"sse2", EInstructionSet::Sse2},
                  {"portable", EInstructionSet::Sse2}, {"avx", EInstructionSet::Avx},
                  {"avx2", EInstructionSet::Avx2},     {"avx512", EInstructionSet::Avx512}};
    for (const auto& name : kNames) {
        if (std::strcmp(pszName, name.pszName) == 0) {
            return name.set;
        }
    }
    return std::nullopt;
}

EInstructionSet UsableInstructionSet() {
    static const EInstructionSet set = [] {
        const EInstructionSet processor = ProcessorInstructionSet();
        // No value, or an unknown one, leaves the processor's own choice.
        const char* pszCap = std::getenv("CORVINA_CPU");
        const std::optional<EInstructionSet> cap =
            pszCap != nullptr ? InstructionSetNamed(pszCap) : std::nullopt;
        return cap.has_value() && *cap < processor ? *cap : processor;
    }();
    return set;
}

}  // namespace corvina
