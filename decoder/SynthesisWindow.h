// The synthesis window: each output sample is a sum of sixteen products of
// window coefficients and ring values. Each step forms the product and the
// sum in double precision and rounds the new sum to single precision; the
// sums are held in double registers but always hold single-precision values.
//
// Included by three translation units: the baseline build (SSE2, two sums
// per register), one built for AVX2 with FMA (four) and one for AVX-512
// (eight). A product of two single-precision values is exact in double
// precision, so a fused multiply-add followed by the rounding gives the same
// sums, and all give the same bytes. Everything here has internal linkage,
// so the builds never mix.
//
// The AVX builds round by splitting instead of converting to single
// precision and back (Lanes below), which is the same rounding for every
// sum that usual ring values give (UsualValues). The baseline build forms
// its sums the quick way, four at a time in single precision, and forms
// again the few whose samples the difference could change (QuickSums). Where
// a ring holds values that are not usual, the synthesis windows it the exact
// way of the baseline build.
//
// Each build also has its own forms of the steps before the window: the
// transform of four slots of both channels at once (eight lanes wide in the
// AVX builds, the same operations in the same order in each lane, built
// without contraction into fused multiply-adds) and the stores of its values
// into the rings.
#pragma once

#include <cstdint>
#if (defined(__AVX2__) || defined(__AVX512F__)) && defined(__FMA__)
// GCC 12's AVX-512 intrinsics fill their unused merge operands with a
// deliberately unset value, and warn about it where they are inlined (GCC
// bug 105593); the warning points into the header, so it is silenced there.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "decoder/Synthesis.h"

// The window rearranged for each rate shift so that one tap of many samples
// is one run of coefficients: for samples j < H, First[i][j] = W[j 2^s][i];
// for the samples after the middle one (k = 1 .. H - 1 at index k),
// Second[i][k] = W[16 - k 2^s][15 - i]; the middle sample at index 0,
// Second[2i][0] = its row's W[i] and Second[2i + 1][0] = 0.
struct WindowTaps {
    double First[16][16];   // the odd rows negated: the standard's sum subtracts them
    double Second[16][16];
};
extern WindowTaps SynthTaps[3];
// The same in single precision, for the baseline's quick window.
struct SingleWindowTaps {
    float First[16][16];
    float Second[16][16];
};
extern SingleWindowTaps SynthSingleTaps[3];
// For each rate shift and sample, its 16 taps in the order of its sum, and
// the factors of the quick window's bound on it (the baseline's quick
// window, below).
extern double SampleTaps[3][32][16];
extern float QuickPeakFactors[3][32];
extern float QuickSumFactors[3][32];
// Sixteen rows of 16, then the middle row.
extern float SynthWindow[264];
// The transform's factors: c16[0..15], c8[0..7], c4[0..3], c2[0..1], c1[0],
// cn[i] = 0.5 / cos((2i + 1)pi / 4n).
extern float DctCoefficients[31];

// One channel's ring of transformed values: 512 >> s values per rate shift s,
// each held twice (value x again at x + (512 >> s)) so that the window reads
// straight runs without wrapping, and a mirror of it backwards (ring[x] at
// mirror[M - x], M = 2 (512 >> s)), so that runs read downwards through the
// ring are straight loads too, and at full and half rate start on a
// multiple of eight like the upward ones. The wide builds hold the values in
// double precision; the baseline's quick window holds them in single
// precision, with the largest magnitude in each of the ring's 16 slots.
struct SynthesisRing {
    // Aligned so that the window's loads of whole runs never straddle two
    // cache lines.
    alignas(64) double Values[1024];  // values of single precision, held as double
    alignas(64) double Mirror[1024 + 16];
    alignas(64) float Singles[1024];
    alignas(64) float SingleMirror[1024 + 16];
    float SlotPeaks[16];  // the slot at position p: index p / (32 >> s)
    // At least the largest of SlotPeaks: taken as a slot is stored, from
    // its own and the 16 before (the one it replaces among them).
    float Peak;
};

#if defined(__SSE2__)
inline float LargestLane(__m128 v)
{
    v = _mm_max_ps(v, _mm_movehl_ps(v, v));
    return _mm_cvtss_f32(_mm_max_ss(v, _mm_shuffle_ps(v, v, 1)));
}

// A run of four of a slot's values from value m on into a single-precision
// ring, whose slot starts at `to`, and its second copy R values later; and
// reversed into the mirror, whose slot ends at `back`, and its copy. Returns
// the values' magnitudes.
template <int R>
inline __m128 StoreSingleRun(float* to, float* back, int m, __m128 run)
{
    const __m128 reversed = _mm_shuffle_ps(run, run, 0x1B);
    _mm_storeu_ps(to + m, run);
    _mm_storeu_ps(to + R + m, run);
    _mm_storeu_ps(back - m - 3, reversed);
    _mm_storeu_ps(back - R - m - 3, reversed);
    return _mm_and_ps(run, _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF)));
}

// Notes the largest magnitude `peak` of the slot stored in the ring at
// position p (slot index `slot`).
inline void NoteSlotPeak(SynthesisRing& ring, int slot, float peak)
{
    // The peaks loaded before the new one is stored: a load that spans a
    // store still on its way waits for it.
    const __m128 all = _mm_max_ps(_mm_max_ps(_mm_loadu_ps(ring.SlotPeaks), _mm_loadu_ps(ring.SlotPeaks + 4)),
                                  _mm_max_ps(_mm_loadu_ps(ring.SlotPeaks + 8), _mm_loadu_ps(ring.SlotPeaks + 12)));
    __m128 largest = _mm_max_ps(all, _mm_movehl_ps(all, all));
    largest = _mm_max_ss(_mm_max_ss(largest, _mm_shuffle_ps(largest, largest, 1)), _mm_set_ss(peak));
    ring.Peak = _mm_cvtss_f32(largest);
    ring.SlotPeaks[slot] = peak;
}
#endif

// Windows the ring at position p into 32 >> shift samples, written to
// out[0], out[step], out[2 step], ...
using WindowRoutine = void (*)(const SynthesisRing& ring, int p, std::uint8_t* out, int step);
// Both channels of a stereo slot at once (the rings of channel 0 and 1 at
// their positions), interleaved into out: channel 0's samples at out,
// channel 1's one sample size later.
using WindowPairRoutine = void (*)(const SynthesisRing* const rings[2], const int p[2], std::uint8_t* out);
// One slot (0 or 1) of two slots transformed together into both channels'
// rings at their positions (and their mirrors). Each of the transform's
// values is four lanes: channels 0 and 1 of the first slot, then of the
// second.
using RingsRoutine = void (*)(const float* values, int slot, SynthesisRing* const rings[2], const int p[2]);
// Four slots of both channels transformed at once, a transform in each lane:
// x and values hold two runs of 32 four-lane values as RingsRoutine reads
// them, the first two slots and then the next two. Clears x's sub-band 15 at
// half rate. True when the window is exact for usual values only and a
// value is not usual (UsualValues).
using TransformRoutine = bool (*)(float* x, float* values);
// One form of the window, by 8-bit output and rate shift.
struct WindowForms {
    WindowRoutine Single[2][3];
    WindowPairRoutine Pair[2][3];
};
// One build's routines, by rate shift.
struct WindowRoutines {
    WindowForms Windows;
    RingsRoutine Rings[3];
    TransformRoutine Transform[3];
    // Whether the window is exact for usual values only (the wide builds,
    // which round by splitting).
    bool UsualOnly;
    // Whether the rings hold single precision (Singles, SingleMirror and
    // SlotPeaks) instead of double.
    bool SingleRings;
};

// Usual ring values are zero or of a magnitude from 2^-87 to 2^120. The taps
// are multiples of 2^-16 of at most 1.15, and a product of two
// single-precision values is exact in double precision; so every sum of
// usual values, rounded or not, is a multiple of 2^-16 2^(-87 - 23) = 2^-126,
// below the normal single-precision range only when zero, and less than
// 16 x 1.15 x 2^120 < 2^125, never above it.
constexpr std::uint32_t LowestUsualBits = (127 - 87) << 23, HighestUsualBits = (127 + 120) << 23;

// Nonzero for the values that are not usual (a not-a-number is not), given
// their bits: of one value, or of each lane of a vector.
template <typename Bits>
inline auto UnusualBits(Bits bits)
{
    bits &= 0x7FFFFFFFu;
    return (bits - 1u < LowestUsualBits - 1u) | (bits > HighestUsualBits);
}

// Whether all `count` values are usual.
inline bool UsualValues(const float* values, int count)
{
    bool unusual = false;
    for (int i = 0; i < count; ++i)
        unusual |= UnusualBits(__builtin_bit_cast(std::uint32_t, values[i]));
    return !unusual;
}

// The routines built for AVX2 with FMA and for AVX-512; null when the
// processor lacks what they need, or the build has no such routines.
const WindowRoutines* Avx2WindowRoutines();
const WindowRoutines* Avx512WindowRoutines();

namespace {

constexpr const float* Coefficients(int n)
{
    return n == 16 ? DctCoefficients : n == 8 ? DctCoefficients + 16 : n == 4 ? DctCoefficients + 24
                                                      : n == 2 ? DctCoefficients + 28 : DctCoefficients + 30;
}

// The transform's stages work on single values or on vectors of them (each
// lane its own transform, with the same operations in the same order).
// One butterfly stage over blocks of Size values: sums in the first half of
// each block, differences times the factors of Size / 2 in the second.
template <int N, int Size, typename T>
inline void Butterflies(const T* in, T* out)
{
    const float* f = Coefficients(Size / 2);
    for (int block = 0; block < N; block += Size) {
        for (int i = 0; i < Size / 2; ++i) {
            out[block + i] = in[block + i] + in[block + Size - 1 - i];
            out[block + Size / 2 + i] = (in[block + i] - in[block + Size - 1 - i]) * f[i];
        }
    }
    if constexpr (Size > 2)
        Butterflies<N, Size / 2>(out, const_cast<T*>(in));
}

// One recombination stage over blocks of Size values, then the next larger
// one; the last writes to `final`.
template <int N, int Size, typename T>
inline void Recombine(const T* in, T* scratch, T* final)
{
    T* to = Size == N ? final : scratch;
    for (int block = 0; block < N; block += Size) {
        for (int i = 0; i < Size / 2; ++i)
            to[block + 2 * i] = in[block + i];
        for (int i = 0; i < Size / 2 - 1; ++i)
            to[block + 2 * i + 1] = in[block + Size / 2 + i] + in[block + Size / 2 + i + 1];
        to[block + Size - 1] = in[block + Size - 1];
    }
    if constexpr (Size < N)
        Recombine<N, Size * 2>(to, const_cast<T*>(in), final);
}

// Number of butterfly stages after the first (sizes N / 2 down to 2).
constexpr int ButterflyStages(int n)
{
    int stages = 0;
    for (int size = n / 2; size >= 2; size /= 2)
        ++stages;
    return stages;
}

// X[m] = sum x[k] cos((2k + 1) m pi / 2N) into out[0..N-1].
template <int N, typename T>
inline void Dct(const T* x, T* out)
{
    T a[N], b[N];
    const float* c = Coefficients(N / 2);
    for (int i = 0; i < N / 2; ++i) {
        a[i] = x[i] + x[N - 1 - i];
        a[N / 2 + i] = (x[i] - x[N - 1 - i]) * c[i];
    }
    Butterflies<N, N / 2>(a, b);
    // The butterflies alternate between the two arrays: an odd number of
    // stages ends in b.
    if constexpr (ButterflyStages(N) % 2 == 1)
        Recombine<N, 4>(b, a, out);
    else
        Recombine<N, 4>(a, b, out);
}

#if defined(__AVX512F__) && defined(__FMA__)
struct Lanes {
    static constexpr int Width = 8;
    static constexpr bool SplitRounding = true;
    __m512d Value;
    static Lanes Zero() { return {_mm512_setzero_pd()}; }
    static Lanes Load(const double* p) { return {_mm512_loadu_pd(p)}; }
    static Lanes LoadSingles(const float* p) { return {_mm512_cvtps_pd(_mm256_loadu_ps(p))}; }
    // The new sum s rounded to 24 significant bits by splitting: with
    // g = (2^29 + 1) s, g + (s - g) is s rounded to the nearest such value,
    // ties to even. That is the conversion to single precision and back for
    // a zero sum or a normal single-precision magnitude, in three operations
    // on the vector ports instead of the conversions' four, and with less
    // latency.
    void Accumulate(Lanes w, Lanes v)
    {
        AccumulateLast(w, v);
        const __m512d g = _mm512_mul_pd(Value, _mm512_set1_pd(536870913.0));
        Value = _mm512_add_pd(g, _mm512_sub_pd(Value, g));
    }
    void AccumulateLast(Lanes w, Lanes v) { Value = _mm512_fmadd_pd(w.Value, v.Value, Value); }
    void Store(float* p) const { _mm256_storeu_ps(p, _mm512_cvtpd_ps(Value)); }
};
#elif defined(__AVX2__) && defined(__FMA__)
struct Lanes {
    static constexpr int Width = 4;
    static constexpr bool SplitRounding = true;
    __m256d Value;
    static Lanes Zero() { return {_mm256_setzero_pd()}; }
    static Lanes Load(const double* p) { return {_mm256_loadu_pd(p)}; }
    static Lanes LoadSingles(const float* p) { return {_mm256_cvtps_pd(_mm_loadu_ps(p))}; }
    // Rounded by splitting, as in the AVX-512 build.
    void Accumulate(Lanes w, Lanes v)
    {
        AccumulateLast(w, v);
        const __m256d g = _mm256_mul_pd(Value, _mm256_set1_pd(536870913.0));
        Value = _mm256_add_pd(g, _mm256_sub_pd(Value, g));
    }
    void AccumulateLast(Lanes w, Lanes v) { Value = _mm256_fmadd_pd(w.Value, v.Value, Value); }
    void Store(float* p) const { _mm_storeu_ps(p, _mm256_cvtpd_ps(Value)); }
};
#elif defined(__SSE2__)
struct Lanes {
    static constexpr int Width = 2;
    static constexpr bool SplitRounding = false;
    __m128d Value;
    static Lanes Zero() { return {_mm_setzero_pd()}; }
    static Lanes Load(const double* p) { return {_mm_loadu_pd(p)}; }
    static Lanes LoadSingles(const float* p)
    {
        return {_mm_cvtps_pd(_mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(p))))};
    }
    void Accumulate(Lanes w, Lanes v)
    {
        Value = _mm_cvtps_pd(_mm_cvtpd_ps(_mm_add_pd(Value, _mm_mul_pd(w.Value, v.Value))));
    }
    void AccumulateLast(Lanes w, Lanes v) { Value = _mm_add_pd(Value, _mm_mul_pd(w.Value, v.Value)); }
    void Store(float* p) const { _mm_storel_pi(reinterpret_cast<__m64*>(p), _mm_cvtpd_ps(Value)); }
};
#else
struct Lanes {
    static constexpr int Width = 2;
    static constexpr bool SplitRounding = false;
    double Value[2];
    static Lanes Zero() { return {{0, 0}}; }
    static Lanes Load(const double* p) { return {{p[0], p[1]}}; }
    static Lanes LoadSingles(const float* p) { return {{p[0], p[1]}}; }
    void Accumulate(Lanes w, Lanes v)
    {
        for (int i = 0; i < 2; ++i)
            Value[i] = static_cast<float>(Value[i] + w.Value[i] * v.Value[i]);
    }
    void AccumulateLast(Lanes w, Lanes v)
    {
        for (int i = 0; i < 2; ++i)
            Value[i] = Value[i] + w.Value[i] * v.Value[i];
    }
    void Store(float* p) const
    {
        p[0] = static_cast<float>(Value[0]);
        p[1] = static_cast<float>(Value[1]);
    }
};
#endif

// Lanes of ring values from a ring of either precision.
inline Lanes LoadRun(const double* p)
{
    return Lanes::Load(p);
}
inline Lanes LoadRun(const float* p)
{
    return Lanes::LoadSingles(p);
}

// The samples of one half are summed Width at a time, tap after tap, each
// in the order of the standard's sum; the sums of C channels at once, from
// their rings V (double or single precision) and mirrors.
template <int Shift, int C, typename T>
void WindowSums(const T* const V[C], const T* const mirror[C], const int p[C], float sums[C][64])
{
    constexpr int N = 32 >> Shift, H = N / 2, W = Lanes::Width, M = 2 * (512 >> Shift);
    // Ring values x, x - 1, x - 2, ... of channel c in one load.
    const auto downFrom = [mirror](int c, int x) { return LoadRun(mirror[c] + M - x); };
    // All the sums of both halves (and channels) advance together: the
    // independent sums overlap in the processor instead of waiting for one
    // another.
    constexpr int Groups = H / W > 0 ? H / W : 1;
    const WindowTaps& taps = SynthTaps[Shift];

    Lanes first[C][Groups], second[C][Groups];
    for (int c = 0; c < C; ++c)
        for (int q = 0; q < Groups; ++q)
            first[c][q] = second[c][q] = Lanes::Zero();
    for (int i = 0; i < 8; ++i) {
        for (int q = 0; q < Groups; ++q) {
            const int j = q * W;
            const Lanes firstEven = Lanes::Load(taps.First[2 * i] + j);
            const Lanes firstOdd = Lanes::Load(taps.First[2 * i + 1] + j);
            const Lanes secondEven = Lanes::Load(taps.Second[2 * i] + j);
            const Lanes secondOdd = Lanes::Load(taps.Second[2 * i + 1] + j);
            for (int c = 0; c < C; ++c) {
                const int a = p[c] + H + 2 * N * i;      // a + j
                const int b = p[c] + H + N + 2 * N * i;  // b - j
                const int d = p[c] + N + 2 * N * i;      // d - k and d + k
                first[c][q].Accumulate(firstEven, LoadRun(V[c] + a + j));
                // Sample H + k at lane k of the second half. Lane 0, the
                // middle sample, reads ring value d at both taps: the even
                // tap holds its coefficient, the odd one zero, which adds
                // nothing (ring values are finite).
                second[c][q].Accumulate(secondEven, downFrom(c, d - j));
                // The last step's sum is rounded where it is stored.
                if (i < 7) {
                    first[c][q].Accumulate(firstOdd, downFrom(c, b - j));
                    second[c][q].Accumulate(secondOdd, LoadRun(V[c] + d + j));
                } else {
                    first[c][q].AccumulateLast(firstOdd, downFrom(c, b - j));
                    second[c][q].AccumulateLast(secondOdd, LoadRun(V[c] + d + j));
                }
            }
        }
    }
    for (int c = 0; c < C; ++c) {
        for (int q = 0; q < Groups; ++q)
            first[c][q].Store(sums[c] + q * W);
        // After the first half, lane 0 the middle sample: lanes of the
        // first half past H are spare.
        for (int q = 0; q < Groups; ++q)
            second[c][q].Store(sums[c] + H + q * W);
    }
}

// The sums of C rings: from their values in double precision, or with
// Singles, in single precision.
template <int Shift, int C, bool Singles = false>
inline void RingSums(const SynthesisRing* const rings[C], const int p[C], float sums[C][64])
{
    if constexpr (Singles) {
        const float* V[C];
        const float* mirror[C];
        for (int c = 0; c < C; ++c)
            V[c] = rings[c]->Singles, mirror[c] = rings[c]->SingleMirror;
        WindowSums<Shift, C>(V, mirror, p, sums);
    } else {
        const double* V[C];
        const double* mirror[C];
        for (int c = 0; c < C; ++c)
            V[c] = rings[c]->Values, mirror[c] = rings[c]->Mirror;
        WindowSums<Shift, C>(V, mirror, p, sums);
    }
}

#if defined(__SSE2__)
// PcmValue of four sums: a NaN or a sum from 32767 up gives 32767 (the
// minimum yields its second operand for a NaN), one down to -32768 gives
// -32768, the rest truncates toward zero.
inline __m128i PcmFour(const float* sums)
{
    __m128 v = _mm_min_ps(_mm_loadu_ps(sums), _mm_set1_ps(32767.0f));
    v = _mm_max_ps(v, _mm_set1_ps(-32768.0f));
    return _mm_cvttps_epi32(v);
}
#endif

// The sums of a slot as samples at out, out + step, ...
template <int N, bool Bits8>
void StoreSums(const float* sums, std::uint8_t* out, int step)
{
    std::int32_t values[N];
#if defined(__SSE2__)
    for (int j = 0; j < N; j += 4)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(values + j), PcmFour(sums + j));
#else
    for (int j = 0; j < N; ++j)
        values[j] = PcmValue(sums[j]);
#endif
#if defined(__SSE2__)
    if (!Bits8 && step == 1) {
        // A single channel: the values narrowed (already in range) and
        // stored four at a time.
        for (int j = 0; j < N; j += 4) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(values + j));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 2 * j), _mm_packs_epi32(v, v));
        }
        return;
    }
#endif
    for (int j = 0; j < N; ++j)
        StoreSample(out + (Bits8 ? 1 : 2) * j * step, values[j], Bits8);
}

// Both channels' sums of a slot, interleaved into out.
template <int N, bool Bits8>
void StoreSumPair(const float (&sums)[2][64], std::uint8_t* out)
{
#if defined(__SSE2__)
    if constexpr (!Bits8) {
        // Sixteen-bit frames four at a time: both channels converted,
        // narrowed (already in range) and interleaved.
        for (int j = 0; j < N; j += 4) {
            const __m128i left = PcmFour(sums[0] + j), right = PcmFour(sums[1] + j);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * j),
                             _mm_unpacklo_epi16(_mm_packs_epi32(left, left), _mm_packs_epi32(right, right)));
        }
        return;
    }
#endif
    StoreSums<N, Bits8>(sums[0], out, 2);
    StoreSums<N, Bits8>(sums[1], out + (Bits8 ? 1 : 2), 2);
}

#if defined(__SSE2__) && !defined(__AVX__)
// The baseline's quick window. Its sums come four at a time in single
// precision, each product and each new sum rounded, while the window above
// rounds only each new sum, two at a time in double precision: the same
// sums but for the roundings, at a quarter of the work. Only the 16-bit
// sample (or its top 8 bits) is kept, which changes at whole numbers only;
// so a quick sum farther from every boundary than the two sums can differ
// gives the same sample, and the few samples nearer one are formed again
// the exact way (DeferredSums).
//
// How far apart they can be: with u = 2^-24, every rounding to single
// precision errs by at most u times the value rounded. For the products
// p_1 .. p_16 in the order of the sum and the exact sums s_k after each
// step (s_16 the final one), the exact way errs by at most
// u (|s_1| + .. + |s_16|), and the quick way by as much again plus
// u (|p_1| + .. + |p_16|) for its products (to first order in u). Before
// the window's main taps |s_k| <= |p_1| + .. + |p_k|; from there on
// |s_k| <= |s_16| + |p_k+1| + .. + |p_16|, with |s_16| within the bound of
// the quick sum. With |p_k| <= |w_k| |v|max, the bound is QuickPeakFactors
// times the largest magnitude in the ring plus QuickSumFactors times the
// quick sum's magnitude, both with a hundredth to spare for the terms of
// second order in u and for the roundings of the bound itself.
//
// Values below single precision's normal range err by at most 2^-150 a
// rounding, far below the bound wherever a sum can reach a whole number (a
// ring of values all below 2^-100 gives sums all below 1, and samples all
// 0). A ring loud enough for the bound to reach 1/2 (LoudRing), or whose
// largest magnitude is infinite or not a number, is windowed the exact way
// throughout; elsewhere a value that is not a number makes the sums that
// read it not numbers either, which are near every boundary.
//
// A sample is near a boundary when its quick sum is within the bound of a
// whole number other than 0 (0 is no boundary: the sample truncates toward
// it from both sides).

// The sums of the ring at p, in the order of WindowSums, four at a time.
template <int Shift>
void QuickWindowSums(const SynthesisRing& ring, int p, float* sums)
{
    constexpr int N = 32 >> Shift, H = N / 2, M = 2 * (512 >> Shift), Groups = H / 4;
    const SingleWindowTaps& taps = SynthSingleTaps[Shift];
    const float* const up = ring.Singles;
    // Ring values x, x - 1, x - 2, x - 3 at down - x.
    const float* const down = ring.SingleMirror + M;
    __m128 first[Groups], second[Groups];
    for (int q = 0; q < Groups; ++q)
        first[q] = second[q] = _mm_setzero_ps();
    const auto step = [](__m128& sum, const float* tap, const float* values) {
        sum = _mm_add_ps(sum, _mm_mul_ps(_mm_loadu_ps(tap), _mm_loadu_ps(values)));
    };
    for (int i = 0; i < 8; ++i) {
        const int a = p + H + 2 * N * i, b = p + H + N + 2 * N * i, d = p + N + 2 * N * i;
        for (int q = 0; q < Groups; ++q) {
            const int j = 4 * q;
            step(first[q], taps.First[2 * i] + j, up + a + j);
            step(second[q], taps.Second[2 * i] + j, down - (d - j));
            step(first[q], taps.First[2 * i + 1] + j, down - (b - j));
            step(second[q], taps.Second[2 * i + 1] + j, up + d + j);
        }
    }
    for (int q = 0; q < Groups; ++q) {
        _mm_storeu_ps(sums + 4 * q, first[q]);
        _mm_storeu_ps(sums + H + 4 * q, second[q]);
    }
}

// Whether a ring whose largest magnitude is `peak` is so loud that the
// bound reaches 1/2, which leaves no sample clear of a boundary (or whose
// peak is infinite or not a number).
template <int Shift>
inline bool LoudRing(float peak)
{
    constexpr int N = 32 >> Shift;
    return !(peak * QuickPeakFactors[Shift][0] < 0.5f) || !(peak * QuickPeakFactors[Shift][N / 2] < 0.5f);
}

// One channel's sums the quick way; returns the samples near a boundary
// (bit s for sample s), or 0 when the ring is loud enough for so many to be
// near one that the sums were formed the exact way instead.
template <int Shift>
std::uint32_t QuickSums(const SynthesisRing& ring, int p, float (&sums)[64])
{
    constexpr int N = 32 >> Shift;
    const float peak = ring.Peak;
    if (LoudRing<Shift>(peak)) {
        const SynthesisRing* const rings[1] = {&ring};
        RingSums<Shift, 1, true>(rings, &p, &sums);
        return 0;
    }
    QuickWindowSums<Shift>(ring, p, sums);
    const __m128 one = _mm_set1_ps(1.0f), magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    const __m128 peaks = _mm_set1_ps(peak);
    std::uint32_t near = 0;
    for (int j = 0; j < N; j += 4) {
        // The whole part (toward zero, whatever the rounding mode) and the
        // magnitude of the rest, both exact.
        const __m128 sum = _mm_loadu_ps(sums + j);
        const __m128 bound =
            _mm_add_ps(_mm_mul_ps(peaks, _mm_loadu_ps(QuickPeakFactors[Shift] + j)),
                       _mm_mul_ps(_mm_and_ps(sum, magnitude), _mm_loadu_ps(QuickSumFactors[Shift] + j)));
        const __m128i whole = _mm_cvttps_epi32(sum);
        const __m128 rest = _mm_and_ps(_mm_sub_ps(sum, _mm_cvtepi32_ps(whole)), magnitude);
        // Near the whole part (unless 0) or the next whole number away from
        // zero.
        const __m128 nearWhole = _mm_andnot_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(whole, _mm_setzero_si128())),
                                               _mm_cmpngt_ps(rest, bound));
        const __m128 nearNext = _mm_cmpngt_ps(_mm_sub_ps(one, rest), bound);
        near |= static_cast<std::uint32_t>(_mm_movemask_ps(_mm_or_ps(nearWhole, nearNext))) << j;
    }
    return near;
}

// Samples near a boundary, gathered to be formed again the exact way many
// at once (one alone would wait on each of its roundings in turn): the ring
// values and taps of each, by step, and where its sample goes. Formed and
// stored when the store fills and at the end of each output routine
// (FinishDeferredSums), while their output is still the caller's.
struct DeferredSums {
    static constexpr int Capacity = 64;
    alignas(16) float Values[16][Capacity];
    const double* Taps[Capacity];  // SampleTaps of the sample
    std::uint8_t* Out[Capacity];
    bool Bits8[Capacity];
    int Count;
};
inline DeferredSums Deferred;

inline void FinishDeferredSums()
{
    const int count = Deferred.Count;
    // Eight sums at a time in four registers, each step of each the way
    // WindowSums takes it (the entries past the count are spare: their taps
    // those of the last entry).
    for (int e = count; e % 8 != 0; ++e)
        Deferred.Taps[e] = Deferred.Taps[count - 1];
    alignas(16) float sums[DeferredSums::Capacity];
    for (int e = 0; e < count; e += 8) {
        const double* const* const taps = Deferred.Taps + e;
        __m128d sum[4] = {_mm_setzero_pd(), _mm_setzero_pd(), _mm_setzero_pd(), _mm_setzero_pd()};
        for (int k = 0; k < 16; ++k) {
            for (int r = 0; r < 4; ++r) {
                const __m128d v = _mm_cvtps_pd(
                    _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(Deferred.Values[k] + e + 2 * r))));
                const __m128d w = _mm_loadh_pd(_mm_load_sd(taps[2 * r] + k), taps[2 * r + 1] + k);
                sum[r] = _mm_cvtps_pd(_mm_cvtpd_ps(_mm_add_pd(sum[r], _mm_mul_pd(w, v))));
            }
        }
        for (int r = 0; r < 4; ++r)
            _mm_storel_pi(reinterpret_cast<__m64*>(sums + e + 2 * r), _mm_cvtpd_ps(sum[r]));
    }
    for (int e = 0; e < count; ++e)
        StoreSample(Deferred.Out[e], PcmValue(sums[e]), Deferred.Bits8[e]);
    Deferred.Count = 0;
}

// Gathers the samples of the ring at p marked in `near`, sample s going to
// out + s * stride.
template <int Shift, bool Bits8>
void DeferSums(const SynthesisRing& ring, int p, std::uint32_t near, std::uint8_t* out, int stride)
{
    constexpr int N = 32 >> Shift, H = N / 2;
    // Room for a whole slot.
    if (Deferred.Count > DeferredSums::Capacity - 32)
        FinishDeferredSums();
    const float* const v = ring.Singles + p;
    for (; near != 0; near &= near - 1) {
        const int s = static_cast<int>(__builtin_ctz(near)), e = Deferred.Count++;
        // The ring values of the even and odd steps as WindowSums reads them:
        // even + 2Ni and odd + 2Ni at step i.
        const int even = s < H ? H + s : N - (s - H), odd = s < H ? H + N - s : N + (s - H);
        for (int i = 0; i < 8; ++i) {
            Deferred.Values[2 * i][e] = v[even + 2 * N * i];
            Deferred.Values[2 * i + 1][e] = v[odd + 2 * N * i];
        }
        Deferred.Taps[e] = SampleTaps[Shift][s];
        Deferred.Out[e] = out + s * stride;
        Deferred.Bits8[e] = Bits8;
    }
}
#endif

// How a window forms its sums: the exact way from double-precision rings
// (the wide builds, and the baseline while it holds a wide build's rings) or
// from single-precision ones, or the baseline's quick way.
enum class WindowForm { Exact, ExactFromSingles, Quick };

// One channel's sums of the ring at p; returns the samples that the quick
// way left near a boundary.
template <int Shift, WindowForm Form>
inline std::uint32_t ChannelSums(const SynthesisRing& ring, int p, float (&sums)[64])
{
#if defined(__SSE2__) && !defined(__AVX__)
    if constexpr (Form == WindowForm::Quick)
        return QuickSums<Shift>(ring, p, sums);
#endif
    const SynthesisRing* const rings[1] = {&ring};
    RingSums<Shift, 1, Form != WindowForm::Exact>(rings, &p, &sums);
    return 0;
}

// The samples left near a boundary formed again, sample s going to
// out + s * stride.
template <int Shift, bool Bits8>
inline void FormAgain(const SynthesisRing& ring, int p, std::uint32_t near, std::uint8_t* out, int stride)
{
#if defined(__SSE2__) && !defined(__AVX__)
    if (near != 0)
        DeferSums<Shift, Bits8>(ring, p, near, out, stride);
#else
    (void)ring, (void)p, (void)near, (void)out, (void)stride;
#endif
}

template <int Shift, bool Bits8, WindowForm Form>
void WindowSlot(const SynthesisRing& ring, int p, std::uint8_t* out, int step)
{
    float sums[64];
    const std::uint32_t near = ChannelSums<Shift, Form>(ring, p, sums);
    StoreSums<(32 >> Shift), Bits8>(sums, out, step);
    FormAgain<Shift, Bits8>(ring, p, near, out, step * (Bits8 ? 1 : 2));
}

template <int Shift, bool Bits8, WindowForm Form>
void WindowPair(const SynthesisRing* const rings[2], const int p[2], std::uint8_t* out)
{
    float sums[2][64];
    std::uint32_t near[2] = {0, 0};
#if defined(__AVX__)
    // Both channels' sums at once: the chains of one channel alone would
    // leave the processor waiting on each rounding. (The AVX2 build lacks
    // registers for all of them, but its few spills cost less than the wait.)
    RingSums<Shift, 2>(rings, p, sums);
#else
    near[0] = ChannelSums<Shift, Form>(*rings[0], p[0], sums[0]);
    near[1] = ChannelSums<Shift, Form>(*rings[1], p[1], sums[1]);
#endif
    StoreSumPair<(32 >> Shift), Bits8>(sums, out);
    constexpr int SampleBytes = Bits8 ? 1 : 2;
    for (int c = 0; c < 2; ++c)
        FormAgain<Shift, Bits8>(*rings[c], p[c], near[c], out + c * SampleBytes, 2 * SampleBytes);
}

#if defined(__SSE2__)
inline void StoreDoubles(double* to, __m128d v)
{
    _mm_storeu_pd(to, v);
}
#endif
#if defined(__AVX__)
inline void StoreDoubles(double* to, __m256d v)
{
    _mm256_storeu_pd(to, v);
}
#endif
#if defined(__AVX512F__)
inline void StoreDoubles(double* to, __m512d v)
{
    _mm512_storeu_pd(to, v);
}
#endif

// A run of a slot's values from value m on into the ring, whose slot starts
// at `to`, and its second copy R values later; and reversed (the run's last
// value first) into the mirror, whose slot ends at `back`, and its copy.
template <int R, typename Vector>
inline void StoreRun(double* to, double* back, int m, Vector run, Vector reversed)
{
    constexpr int Last = static_cast<int>(sizeof(Vector) / sizeof(double)) - 1;
    StoreDoubles(to + m, run);
    StoreDoubles(to + R + m, run);
    StoreDoubles(back - m - Last, reversed);
    StoreDoubles(back - R - m - Last, reversed);
}

template <int Shift>
void RingsFromSlot(const float* values, int slot, SynthesisRing* const rings[2], const int p[2])
{
    constexpr int N = 32 >> Shift, R = 512 >> Shift, M = 2 * R;
#if defined(__SSE2__) && !defined(__AVX__)
    // In single precision, four values of both channels at a time, picked
    // out of four four-lane values, with the largest magnitude of each
    // channel's slot.
    float* const to[2] = {rings[0]->Singles + p[0], rings[1]->Singles + p[1]};
    float* const back[2] = {rings[0]->SingleMirror + M - p[0], rings[1]->SingleMirror + M - p[1]};
    __m128 peaks[2] = {_mm_setzero_ps(), _mm_setzero_ps()};
    for (int m = 0; m < N; m += 4) {
        __m128 a = _mm_loadu_ps(values + 4 * m), b = _mm_loadu_ps(values + 4 * m + 4);
        __m128 c = _mm_loadu_ps(values + 4 * m + 8), d = _mm_loadu_ps(values + 4 * m + 12);
        // Channels 0 and 1 of values m and m + 1, and of m + 2 and m + 3.
        const __m128 first = slot == 0 ? _mm_unpacklo_ps(a, b) : _mm_unpackhi_ps(a, b);
        const __m128 second = slot == 0 ? _mm_unpacklo_ps(c, d) : _mm_unpackhi_ps(c, d);
        const __m128 runs[2] = {_mm_movelh_ps(first, second), _mm_movehl_ps(second, first)};
        for (int ch = 0; ch < 2; ++ch)
            peaks[ch] = _mm_max_ps(peaks[ch], StoreSingleRun<R>(to[ch], back[ch], m, runs[ch]));
    }
    for (int ch = 0; ch < 2; ++ch)
        NoteSlotPeak(*rings[ch], p[ch] / N, LargestLane(peaks[ch]));
#else
    // Each channel's run in its ring, and the end of its run in the mirror,
    // held here: the vector stores may write anywhere as far as the compiler
    // knows, and it would read the positions and rings again after each.
    double* const to[2] = {rings[0]->Values + p[0], rings[1]->Values + p[1]};
    double* const back[2] = {rings[0]->Mirror + M - p[0], rings[1]->Mirror + M - p[1]};
#if defined(__AVX512F__)
    // Eight values of both channels picked out of eight four-lane values at
    // once: channel 0's in the low half, channel 1's in the high half.
    const __m512i pick = _mm512_add_epi32(
        _mm512_setr_epi32(0, 4, 8, 12, 16, 20, 24, 28, 1, 5, 9, 13, 17, 21, 25, 29), _mm512_set1_epi32(2 * slot));
    const __m512i reverse = _mm512_setr_epi64(7, 6, 5, 4, 3, 2, 1, 0);
    for (int m = 0; m < N; m += 8) {
        const __m512 both =
            _mm512_permutex2var_ps(_mm512_loadu_ps(values + 4 * m), pick, _mm512_loadu_ps(values + 4 * m + 16));
        const __m512d runs[2] = {
            _mm512_cvtps_pd(_mm512_castps512_ps256(both)),
            _mm512_cvtps_pd(_mm256_castpd_ps(_mm512_extractf64x4_pd(_mm512_castps_pd(both), 1)))};
        for (int c = 0; c < 2; ++c)
            StoreRun<R>(to[c], back[c], m, runs[c], _mm512_permutexvar_pd(reverse, runs[c]));
    }
#elif defined(__AVX__)
    // Four values of both channels at a time, picked out of four four-lane
    // values.
    for (int m = 0; m < N; m += 4) {
        const __m128 a = _mm_loadu_ps(values + 4 * m), b = _mm_loadu_ps(values + 4 * m + 4);
        const __m128 c = _mm_loadu_ps(values + 4 * m + 8), d = _mm_loadu_ps(values + 4 * m + 12);
        // Channels 0 and 1 of values m and m + 1, and of m + 2 and m + 3.
        const __m128 first = slot == 0 ? _mm_unpacklo_ps(a, b) : _mm_unpackhi_ps(a, b);
        const __m128 second = slot == 0 ? _mm_unpacklo_ps(c, d) : _mm_unpackhi_ps(c, d);
        const __m256d runs[2] = {_mm256_cvtps_pd(_mm_movelh_ps(first, second)),
                                 _mm256_cvtps_pd(_mm_movehl_ps(second, first))};
        for (int ch = 0; ch < 2; ++ch)
            StoreRun<R>(to[ch], back[ch], m, runs[ch], _mm256_permute4x64_pd(runs[ch], 0x1B));
    }
#else
    for (int m = 0; m < N; ++m) {
        for (int c = 0; c < 2; ++c) {
            const double v = values[4 * m + 2 * slot + c];
            to[c][m] = to[c][R + m] = v;
            back[c][-m] = back[c][-R - m] = v;
        }
    }
#endif
#endif
}

template <int Shift>
bool TransformFourSlots(float* x, float* values)
{
    constexpr int N = 32 >> Shift;
    if constexpr (N == 16) {
        // Sub-band 15 does not contribute at half rate.
        for (int lane = 0; lane < 4; ++lane)
            x[4 * 15 + lane] = x[128 + 4 * 15 + lane] = 0;
    }
#if defined(__AVX__)
    // Eight lanes at once. The stack of a Windows build is aligned to 16
    // bytes only, so the vectors here are declared to need no more.
    using Float8 = float __attribute__((vector_size(32), aligned(4)));
    Float8 in[32], out[32];
    for (int k = 0; k < N; ++k)
        in[k] = Float8(_mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(x + 4 * k)),
                                            _mm_loadu_ps(x + 128 + 4 * k), 1));
    Dct<N>(in, out);
    // The values are checked for the split rounding as they are stored.
#if defined(__AVX512F__)
    // Four values of each run in one store, as RingsFromSlot loads them: a
    // load that spans several stores waits until they reach the cache.
    using Bits16 = std::uint32_t __attribute__((vector_size(64), aligned(4)));
    __m512i unusual = _mm512_setzero_si512();
    for (int m = 0; m < N; m += 4) {
        const auto pair = [&out](int k) {
            return _mm512_castpd_ps(_mm512_insertf64x4(_mm512_castps_pd(_mm512_castps256_ps512(__m256(out[k]))),
                                                       _mm256_castps_pd(__m256(out[k + 1])), 1));
        };
        const __m512 first = pair(m), second = pair(m + 2);
        const __m512 runs[2] = {_mm512_shuffle_f32x4(first, second, 0x88), _mm512_shuffle_f32x4(first, second, 0xDD)};
        for (int run = 0; run < 2; ++run) {
            _mm512_storeu_ps(values + 128 * run + 4 * m, runs[run]);
            unusual = _mm512_or_si512(unusual, __m512i(UnusualBits(Bits16(runs[run]))));
        }
    }
    const bool anyUnusual = Lanes::SplitRounding && _mm512_test_epi32_mask(unusual, unusual) != 0;
#else
    using Bits8 = std::uint32_t __attribute__((vector_size(32), aligned(4)));
    __m256i unusual = _mm256_setzero_si256();
    for (int m = 0; m < N; ++m) {
        const __m256 v = __m256(out[m]);
        _mm_storeu_ps(values + 4 * m, _mm256_castps256_ps128(v));
        _mm_storeu_ps(values + 128 + 4 * m, _mm256_extractf128_ps(v, 1));
        unusual = _mm256_or_si256(unusual, __m256i(UnusualBits(Bits8(out[m]))));
    }
    const bool anyUnusual = Lanes::SplitRounding && !_mm256_testz_si256(unusual, unusual);
#endif
#else
    using Float4 = float __attribute__((vector_size(16), aligned(4)));
    for (int half = 0; half < 2; ++half)
        Dct<N>(reinterpret_cast<const Float4*>(x + 128 * half), reinterpret_cast<Float4*>(values + 128 * half));
    constexpr bool anyUnusual = false;  // this build's window takes any values
#endif
    return anyUnusual;
}

template <WindowForm Form>
constexpr WindowForms FormsOf = {
    {{WindowSlot<0, false, Form>, WindowSlot<1, false, Form>, WindowSlot<2, false, Form>},
     {WindowSlot<0, true, Form>, WindowSlot<1, true, Form>, WindowSlot<2, true, Form>}},
    {{WindowPair<0, false, Form>, WindowPair<1, false, Form>, WindowPair<2, false, Form>},
     {WindowPair<0, true, Form>, WindowPair<1, true, Form>, WindowPair<2, true, Form>}},
};

#if defined(__SSE2__) && !defined(__AVX__)
constexpr WindowForm ThisBuildsForm = WindowForm::Quick;
#else
constexpr WindowForm ThisBuildsForm = WindowForm::Exact;
#endif

// This build's routines.
constexpr WindowRoutines ThisBuildsRoutines = {
    FormsOf<ThisBuildsForm>,
    {RingsFromSlot<0>, RingsFromSlot<1>, RingsFromSlot<2>},
    {TransformFourSlots<0>, TransformFourSlots<1>, TransformFourSlots<2>},
    Lanes::SplitRounding,
    ThisBuildsForm != WindowForm::Exact,
};

}  // namespace
