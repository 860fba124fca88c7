// The synthesis window, and the steps that feed it, built for AVX2 with FMA:
// four sums at a time. Used only on a processor that has both.
#include "decoder/SynthesisWindow.h"

const WindowRoutines* Avx2WindowRoutines()
{
#if defined(__AVX2__) && defined(__FMA__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"))
        return &ThisBuildsRoutines;
#endif
    return nullptr;
}
