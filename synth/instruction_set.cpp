#include "synth/instruction_set.h"

#include <cstdlib>
#include <cstring>

namespace corvina {

namespace {

EInstructionSet ProcessorInstructionSet() {
#if defined(__x86_64__) || defined(__i386__)
    if (__builtin_cpu_supports("avx512f")) {
        return EInstructionSet::Avx512;
    }
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) {
        return EInstructionSet::Avx2;
    }
    if (__builtin_cpu_supports("avx")) {
        return EInstructionSet::Avx;
    }
#endif
    return EInstructionSet::Portable;
}

// An unknown name leaves the processor's own choice.
EInstructionSet CapFromEnvironment() {
    const char* pszCap = std::getenv("CORVINA_CPU");
    if (pszCap == nullptr) {
        return EInstructionSet::Avx512;
    }
    const struct {
        const char* pszName;
        EInstructionSet set;
    } kNames[] = {{"portable", EInstructionSet::Portable},
                  {"avx", EInstructionSet::Avx},
                  {"avx2", EInstructionSet::Avx2},
                  {"avx512", EInstructionSet::Avx512}};
    for (const auto& name : kNames) {
        if (std::strcmp(pszCap, name.pszName) == 0) {
            return name.set;
        }
    }
    return EInstructionSet::Avx512;
}

}  // namespace

EInstructionSet UsableInstructionSet() {
    static const EInstructionSet set = [] {
        const EInstructionSet processor = ProcessorInstructionSet();
        const EInstructionSet cap = CapFromEnvironment();
        return processor < cap ? processor : cap;
    }();
    return set;
}

}  // namespace corvina
