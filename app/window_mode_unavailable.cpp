// The player window mode of a build without the window.
#include <cstdio>

#include "app/run_modes.h"

using namespace corvina;

int RunWindowMode(int, char**, const CCommandLine&) {
    std::fputs("corvina: the player window is not available in this build; see --help\n", stderr);
    return EXIT_USAGE;
}
