// The synthesis window, and the steps that feed it, built for AVX-512: eight
// sums at a time, both channels of a stereo slot together. Used only on a
// processor that has it.
#include "decoder/SynthesisWindow.h"

const WindowRoutines* Avx512WindowRoutines()
{
#if defined(__AVX512F__) && defined(__FMA__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("fma"))
        return &ThisBuildsRoutines;
#endif
    return nullptr;
}
