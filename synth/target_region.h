// Code between CORVINA_TARGET_BEGIN("avx2,fma") and CORVINA_TARGET_END is
// compiled for those instructions, templates included, whatever the build's
// own flags: the one source of a routine can be instantiated once per set.
#pragma once

#define CORVINA_PRAGMA(x) _Pragma(#x)

#if defined(__clang__)
#define CORVINA_TARGET_BEGIN(isa) \
    CORVINA_PRAGMA(clang attribute push(__attribute__((target(isa))), apply_to = function))
#define CORVINA_TARGET_END CORVINA_PRAGMA(clang attribute pop)
#else
#define CORVINA_TARGET_BEGIN(isa) CORVINA_PRAGMA(GCC push_options) CORVINA_PRAGMA(GCC target(isa))
#define CORVINA_TARGET_END CORVINA_PRAGMA(GCC pop_options)
#endif
