// Prints the instruction set whose DSP routines the decoder runs here, as
// CORVINA_CPU names it: what bench/compare reports beside its times.
#include <cstdio>

#include "synth/dsp_routines.h"

int main() {
    std::printf("%s\n", corvina::DspRoutines().pszName);
    return 0;
}
