// The window table: a mistyped coefficient breaks the window's symmetry.
#include "synth/synthesis_window.h"

#include <gtest/gtest.h>

using namespace corvina;

namespace {

// D[i] of the standard's window, from the table's row-by-age arrangement.
double Window(int i) {
    return g_fSynthWindow[16 * (i % 32) + i / 32];
}

}  // namespace

TEST(SynthesisWindow, HasTheSymmetryOfTheStandardWindow) {
    // D[512 - i] is -D[i], except at multiples of 64 where it is D[i].
    for (int i = 1; i < 256; ++i) {
        const double dExpected = i % 64 == 0 ? Window(i) : -Window(i);
        EXPECT_EQ(Window(512 - i), dExpected) << "i = " << i;
    }
    EXPECT_EQ(Window(0), 0.0);
    EXPECT_FLOAT_EQ(Window(256), 1.144989014f);
}
