// Modes whose engine is not part of this build yet.
#include <cstdio>

#include "app/run_modes.h"

int RunDecodeMode(const CCommandLine&) {
    std::fputs("corvina: decoding is not available in this build\n", stderr);
    return EXIT_UNUSABLE;
}

int RunInfoMode(const CCommandLine&) {
    std::fputs("corvina: --info is not available in this build\n", stderr);
    return EXIT_UNUSABLE;
}
