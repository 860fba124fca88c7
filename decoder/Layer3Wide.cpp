// The long transform of Layer III built for AVX: eight outputs at a time, a
// product and then a sum per step as in the baseline (built without fused
// multiply-add, which would round once where the baseline rounds twice).
#include "decoder/Layer3.h"

#if defined(__AVX__) && !defined(__FMA__)
#include <immintrin.h>

namespace {

void LongTransformAvx(const float* lines, const float (*table)[LongTransformColumns], float* h)
{
    __m256 a = _mm256_setzero_ps(), b = a, c = a;
    for (int k = 0; k < 18; ++k) {
        // A zero line adds only zeros: nothing to skip.
        const __m256 v = _mm256_set1_ps(lines[k]);
        const float* row = table[k];
        a = _mm256_add_ps(a, _mm256_mul_ps(v, _mm256_loadu_ps(row)));
        b = _mm256_add_ps(b, _mm256_mul_ps(v, _mm256_loadu_ps(row + 8)));
        c = _mm256_add_ps(c, _mm256_mul_ps(v, _mm256_loadu_ps(row + 16)));
    }
    _mm256_storeu_ps(h, a);
    _mm256_storeu_ps(h + 8, b);
    _mm_storeu_ps(h + 16, _mm256_castps256_ps128(c));
}

}  // namespace

LongTransformRoutine WideLongTransform()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx") ? LongTransformAvx : nullptr;
}
#else
LongTransformRoutine WideLongTransform()
{
    return nullptr;
}
#endif
