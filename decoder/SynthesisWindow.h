// The synthesis window: each output sample is a sum of sixteen products of
// window coefficients and ring values. Each step forms the product and the
// sum in double precision and rounds the new sum to single precision; the
// sums are held in double registers but always hold single-precision values.
//
// Included by two translation units: the baseline build (SSE2, two sums per
// register) and one built for AVX2 with FMA (four sums per register). A
// product of two single-precision values is exact in double precision, so a
// fused multiply-add followed by the rounding gives the same sums, and both
// give the same bytes. Everything here has internal linkage, so the two
// builds never mix.
#pragma once

#include <cstdint>
#if defined(__AVX2__) && defined(__FMA__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "decoder/Synthesis.h"

// The window rearranged for each rate shift so that one tap of many samples
// is one run of coefficients: for samples j < H, First[i][j] = W[j 2^s][i];
// for the samples after the middle one (k = 1 .. H - 1 at index k),
// Second[i][k] = W[16 - k 2^s][15 - i].
struct WindowTaps {
    double First[16][16];   // the odd rows negated: the standard's sum subtracts them
    double Second[16][16];
};
extern WindowTaps SynthTaps[3];
// Sixteen rows of 16, then the middle row.
extern float SynthWindow[264];

// Windows the ring at position p into 32 >> shift samples, written to
// out[0], out[step], out[2 step], ... The mirror holds the ring backwards
// (ring[x] at mirror[M - x], M = 2 (512 >> shift) - 1), so that runs read
// downwards through the ring are straight loads too.
using WindowRoutine = void (*)(const double* ring, const double* mirror, int p, std::uint8_t* out, int step);
// The AVX2 routines, by 8-bit output and rate shift; null when the
// processor lacks AVX2 or FMA, or the build has no such routines.
const WindowRoutine (*WideWindowRoutines())[3];

namespace {

#if defined(__AVX2__) && defined(__FMA__)
struct Lanes {
    static constexpr int Width = 4;
    __m256d Value;
    static Lanes Zero() { return {_mm256_setzero_pd()}; }
    static Lanes Load(const double* p) { return {_mm256_loadu_pd(p)}; }
    void Accumulate(Lanes w, Lanes v)
    {
        Value = _mm256_cvtps_pd(_mm256_cvtpd_ps(_mm256_fmadd_pd(w.Value, v.Value, Value)));
    }
    void Store(float* p) const { _mm_storeu_ps(p, _mm256_cvtpd_ps(Value)); }
};
#elif defined(__SSE2__)
struct Lanes {
    static constexpr int Width = 2;
    __m128d Value;
    static Lanes Zero() { return {_mm_setzero_pd()}; }
    static Lanes Load(const double* p) { return {_mm_loadu_pd(p)}; }
    void Accumulate(Lanes w, Lanes v)
    {
        Value = _mm_cvtps_pd(_mm_cvtpd_ps(_mm_add_pd(Value, _mm_mul_pd(w.Value, v.Value))));
    }
    void Store(float* p) const { _mm_storel_pi(reinterpret_cast<__m64*>(p), _mm_cvtpd_ps(Value)); }
};
#else
struct Lanes {
    static constexpr int Width = 2;
    double Value[2];
    static Lanes Zero() { return {{0, 0}}; }
    static Lanes Load(const double* p) { return {{p[0], p[1]}}; }
    void Accumulate(Lanes w, Lanes v)
    {
        for (int i = 0; i < 2; ++i)
            Value[i] = static_cast<float>(Value[i] + w.Value[i] * v.Value[i]);
    }
    void Store(float* p) const
    {
        p[0] = static_cast<float>(Value[0]);
        p[1] = static_cast<float>(Value[1]);
    }
};
#endif

// The samples of one half are summed Width at a time, tap after tap, each
// in the order of the standard's sum.
template <int Shift, bool Bits8>
void WindowSlot(const double* V, const double* mirror, int p, std::uint8_t* out, int step)
{
    constexpr int N = 32 >> Shift, H = N / 2, W = Lanes::Width, M = 2 * (512 >> Shift) - 1;
    // Ring values x, x - 1, x - 2, ... in one load.
    const auto downFrom = [mirror](int x) { return Lanes::Load(mirror + M - x); };
    // All the sums of a half advance together: the independent sums overlap
    // in the processor instead of waiting for one another.
    constexpr int Groups = H / W > 0 ? H / W : 1;
    const WindowTaps& taps = SynthTaps[Shift];
    const float* middleTaps = SynthWindow + 256;
    float sums[N + W];

    // Both halves advance together too: twice the independent sums.
    Lanes first[Groups], second[Groups];
    for (int q = 0; q < Groups; ++q)
        first[q] = second[q] = Lanes::Zero();
    for (int i = 0; i < 8; ++i) {
        const int a = p + H + 2 * N * i;      // a + j
        const int b = p + H + N + 2 * N * i;  // b - j
        const int c = p + N + 2 * N * i;      // c - k and c + k
        for (int q = 0; q < Groups; ++q) {
            const int j = q * W;
            first[q].Accumulate(Lanes::Load(taps.First[2 * i] + j), Lanes::Load(V + a + j));
            // Lane 0 of the second half has zero taps: whole runs of H
            // lanes, sample H + k at lane k.
            second[q].Accumulate(Lanes::Load(taps.Second[2 * i] + j), downFrom(c - j));
            first[q].Accumulate(Lanes::Load(taps.First[2 * i + 1] + j), downFrom(b - j));
            second[q].Accumulate(Lanes::Load(taps.Second[2 * i + 1] + j), Lanes::Load(V + c + j));
        }
    }
    for (int q = 0; q < Groups; ++q) {
        first[q].Store(sums + q * W);
        second[q].Store(sums + H + q * W);
    }

    float middle = 0;
    for (int i = 0; i < 8; ++i)
        middle = static_cast<float>(middle + static_cast<double>(middleTaps[i]) * V[p + N + 2 * N * i]);
    sums[H] = middle;

    std::int32_t values[N];
#if defined(__SSE2__)
    // PcmValue four at a time: a NaN or a sum from 32767 up gives 32767 (the
    // minimum yields its second operand for a NaN), one down to -32768 gives
    // -32768, the rest truncates toward zero.
    for (int j = 0; j < N; j += 4) {
        __m128 v = _mm_min_ps(_mm_loadu_ps(sums + j), _mm_set1_ps(32767.0f));
        v = _mm_max_ps(v, _mm_set1_ps(-32768.0f));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(values + j), _mm_cvttps_epi32(v));
    }
#else
    for (int j = 0; j < N; ++j)
        values[j] = PcmValue(sums[j]);
#endif
    for (int j = 0; j < N; ++j) {
        const std::int32_t v = values[j];
        if constexpr (Bits8)
            out[j * step] = static_cast<std::uint8_t>(((v >> 8) & 0xFF) ^ 0x80);
        else
            StoreSample16(out + 2 * j * step, v);
    }
}

// This build's routines, by 8-bit output and rate shift.
constexpr WindowRoutine ThisBuildsRoutines[2][3] = {
    {WindowSlot<0, false>, WindowSlot<1, false>, WindowSlot<2, false>},
    {WindowSlot<0, true>, WindowSlot<1, true>, WindowSlot<2, true>},
};

}  // namespace
