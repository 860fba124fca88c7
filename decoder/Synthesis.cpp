// Polyphase synthesis: a fast DCT per slot into a ring of 32 values per slot
// and channel, then windowing over the ring into PCM (SynthesisWindow.h, in
// the widest form the processor runs).
#include <cmath>
#include <cstring>
#include <utility>

#include "decoder/DecoderInternal.h"
#include "decoder/Synthesis.h"
#include "decoder/SynthesisWindow.h"

namespace {

// c16[0..15], c8[0..7], c4[0..3], c2[0..1], c1[0]: cn[i] = 0.5 / cos((2i + 1)pi / 4n).
float DctCoefficients[31];

constexpr const float* Coefficients(int n)
{
    return n == 16 ? DctCoefficients : n == 8 ? DctCoefficients + 16 : n == 4 ? DctCoefficients + 24
                                                      : n == 2 ? DctCoefficients + 28 : DctCoefficients + 30;
}

}  // namespace

const std::int32_t SynthWindowUnits[264] = {
#include "decoder/SynthWindow.inc"
};

namespace {

// Each ring holds its 512 >> s values twice (entry x again at x + (512 >> s)),
// so that the windowing reads straight runs without wrapping.
struct SynthesisState {
    // Aligned so that the window's loads of whole runs never straddle two
    // cache lines.
    alignas(64) double Ring[2][1024];  // values of single precision, held as double
    alignas(64) double Mirror[2][1024 + 16];  // the same backwards (SynthesisWindow.h)
    std::int32_t Position[2];
};
SynthesisState Synth;

// The windowing in use: this build's, or a wider one the processor runs.
const WindowRoutines* Window = &ThisBuildsRoutines;


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

enum class Arrangement { Mono, Stereo, Mix, Left, Right };

// One channel's slot transformed into its ring at `position`.
template <int Shift>
inline void TransformIntoRing(float* x, int ring_, int position)
{
    constexpr int N = 32 >> Shift, R = 512 >> Shift;
    if constexpr (N == 16)
        x[15] = 0;  // sub-band 15 does not contribute at half rate
    constexpr int M = 2 * R;
    double* ring = Synth.Ring[ring_];
    double* mirror = Synth.Mirror[ring_];
    alignas(16) float values[N];
    Dct<N>(x, values);
#if defined(__SSE2__)
    // Two values at a time into both copies of the ring, and reversed into
    // both copies of the mirror.
    for (int m = 0; m < N; m += 2) {
        const __m128d v = _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(values + m))));
        const __m128d reversed = _mm_shuffle_pd(v, v, 1);
        _mm_storeu_pd(ring + position + m, v);
        _mm_storeu_pd(ring + position + R + m, v);
        _mm_storeu_pd(mirror + M - position - m - 1, reversed);
        _mm_storeu_pd(mirror + M - position - R - m - 1, reversed);
    }
#else
    for (int m = 0; m < N; ++m) {
        ring[position + m] = ring[position + R + m] = values[m];
        mirror[M - position - m] = mirror[M - position - R - m] = values[m];
    }
#endif
}

// One channel's slot: gather, transform into the ring, window into PCM.
template <int Shift, bool Bits8>
inline void SynthesizeSlot(float* x, int ring_, int position, std::uint8_t* out, int step)
{
    TransformIntoRing<Shift>(x, ring_, position);
    Window->Single[Bits8 ? 1 : 0][Shift](Synth.Ring[ring_], Synth.Mirror[ring_], position, out, step);
}

// Both channels' slots windowed together, interleaved into `out`.
template <int Shift, bool Bits8>
inline void WindowBoth(const int positions[2], std::uint8_t* out)
{
    const double* const rings[2] = {Synth.Ring[0], Synth.Ring[1]};
    const double* const mirrors[2] = {Synth.Mirror[0], Synth.Mirror[1]};
    Window->Pair[Bits8 ? 1 : 0][Shift](rings, mirrors, positions, out);
}

#if defined(__SSE2__)
// Two slots of both channels transformed at once, a transform in each lane:
// lanes 0 and 1 hold channels 0 and 1 of the first slot, lanes 2 and 3 of
// the second.
using Float4 = float __attribute__((vector_size(16)));

template <int Shift>
inline void TransformTwoSlots(Float4* x, Float4* values)
{
    constexpr int N = 32 >> Shift;
    if constexpr (N == 16)
        x[15] = Float4{};  // sub-band 15 does not contribute at half rate
    Dct<N>(x, values);
}

// The pair's first `count` slots (2, or 1 for a last slot alone), one after
// the other: each into the rings, windowed into `pcm` (interleaved), and the
// positions moved on.
template <int Shift, bool Bits8>
inline std::uint8_t* OutTwoSlots(Float4* x, std::uint8_t* pcm, bool sharedPosition, int count = 2)
{
    constexpr int N = 32 >> Shift, Mask = (512 >> Shift) - 1;
    Float4 values[32];
    TransformTwoSlots<Shift>(x, values);
    for (int slot = 0; slot < count; ++slot) {
        const int positions[2] = {Synth.Position[0], Synth.Position[sharedPosition ? 0 : 1]};
        double* const rings[2] = {Synth.Ring[0], Synth.Ring[1]};
        double* const mirrors[2] = {Synth.Mirror[0], Synth.Mirror[1]};
        Window->Rings[Shift](reinterpret_cast<const float*>(values), slot, rings, mirrors, positions);
        WindowBoth<Shift, Bits8>(positions, pcm);
        pcm += 2 * N * (Bits8 ? 1 : 2);
        Synth.Position[0] = (positions[0] - N) & Mask;
        if (!sharedPosition)
            Synth.Position[1] = (positions[1] - N) & Mask;
    }
    return pcm;
}
#endif

template <Arrangement A, bool Bits8, int Shift>
void OutFrame(const float* samples, std::uint8_t* pcm, std::int32_t slots)
{
    constexpr int N = 32 >> Shift, Mask = (512 >> Shift) - 1;
    constexpr int SampleBytes = Bits8 ? 1 : 2;
    float x[32];
    std::int32_t slot = 0;
#if defined(__SSE2__)
    if constexpr (A == Arrangement::Stereo) {
        // Two slots at a time, both channels of each already side by side;
        // a last slot alone pairs with silence.
        for (; slot < slots; slot += 2, samples += 128) {
            const int count = slots - slot >= 2 ? 2 : 1;
            Float4 pair[32];
            for (int k = 0; k < N; ++k) {
                const __m128 first = _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(samples + 2 * k)));
                pair[k] = count == 2 ? _mm_loadh_pi(first, reinterpret_cast<const __m64*>(samples + 64 + 2 * k)) : first;
            }
            pcm = OutTwoSlots<Shift, Bits8>(pair, pcm, true, count);
        }
        return;
    }
#endif
    for (; slot < slots; ++slot, samples += 64) {
        const int p = Synth.Position[0];
        if constexpr (A == Arrangement::Stereo) {
            float channels[2][32];
            for (int k = 0; k < N; ++k) {
                channels[0][k] = samples[2 * k];
                channels[1][k] = samples[2 * k + 1];
            }
            for (int c = 0; c < 2; ++c)
                TransformIntoRing<Shift>(channels[c], c, p);
            const int positions[2] = {p, p};
            WindowBoth<Shift, Bits8>(positions, pcm);
            pcm += 2 * N * SampleBytes;
        } else {
            for (int k = 0; k < N; ++k) {
                if constexpr (A == Arrangement::Mono)
                    x[k] = samples[k];
                else if constexpr (A == Arrangement::Mix)
                    x[k] = 0.5f * (samples[2 * k] + samples[2 * k + 1]);
                else if constexpr (A == Arrangement::Left)
                    x[k] = samples[2 * k];
                else
                    x[k] = samples[2 * k + 1];
            }
            SynthesizeSlot<Shift, Bits8>(x, 0, p, pcm, 1);
            pcm += N * SampleBytes;
        }
        Synth.Position[0] = (p - N) & Mask;
    }
}

template <bool Stereo, bool Bits8, int Shift>
void OutGranule(const float* samples, std::uint8_t* pcm, std::int32_t channel)
{
    constexpr int N = 32 >> Shift, Mask = (512 >> Shift) - 1;
    constexpr int SampleBytes = Bits8 ? 1 : 2;
    const int c = Stereo ? (channel & 1) : 0;
    std::uint8_t* out = pcm + (Stereo ? c * SampleBytes : 0);
    const int step = Stereo ? 2 : 1;
    float x[32];
    for (int slot = 0; slot < 18; ++slot, samples += 32) {
        const int p = Synth.Position[c];
        std::memcpy(x, samples, N * sizeof(float));
        SynthesizeSlot<Shift, Bits8>(x, c, p, out, step);
        out += N * step * SampleBytes;
        Synth.Position[c] = (p - N) & Mask;
    }
}

// Both channels' granules (18 slots x 32 sub-bands each) into interleaved
// PCM, each slot of both channels windowed together.
template <bool Bits8, int Shift>
void OutGranulePair(const float* left, const float* right, std::uint8_t* pcm)
{
    constexpr int N = 32 >> Shift;
#if defined(__SSE2__)
    // Two slots at a time: four values of each channel and slot turned into
    // four lanes of each value.
    for (int slot = 0; slot < 18; slot += 2, left += 64, right += 64) {
        Float4 pair[32];
        for (int k = 0; k < N; k += 4) {
            __m128 a = _mm_loadu_ps(left + k), b = _mm_loadu_ps(right + k);
            __m128 c = _mm_loadu_ps(left + 32 + k), d = _mm_loadu_ps(right + 32 + k);
            _MM_TRANSPOSE4_PS(a, b, c, d);
            pair[k] = a, pair[k + 1] = b, pair[k + 2] = c, pair[k + 3] = d;
        }
        pcm = OutTwoSlots<Shift, Bits8>(pair, pcm, false);
    }
#else
    constexpr int Mask = (512 >> Shift) - 1, SampleBytes = Bits8 ? 1 : 2;
    float x[32];
    for (int slot = 0; slot < 18; ++slot, left += 32, right += 32) {
        const int positions[2] = {Synth.Position[0], Synth.Position[1]};
        std::memcpy(x, left, N * sizeof(float));
        TransformIntoRing<Shift>(x, 0, positions[0]);
        std::memcpy(x, right, N * sizeof(float));
        TransformIntoRing<Shift>(x, 1, positions[1]);
        WindowBoth<Shift, Bits8>(positions, pcm);
        pcm += 2 * N * SampleBytes;
        for (int c = 0; c < 2; ++c)
            Synth.Position[c] = (positions[c] - N) & Mask;
    }
#endif
}

constexpr PairOutputRoutine GranulePairs[2][3] = {
    {OutGranulePair<false, 0>, OutGranulePair<false, 1>, OutGranulePair<false, 2>},
    {OutGranulePair<true, 0>, OutGranulePair<true, 1>, OutGranulePair<true, 2>},
};

// Index 6b + 2s + c: b = 8-bit, s = rate shift, c = two-channel entry.
template <template <bool, int> class Pick>
constexpr OutputRoutine SelectionTable[12] = {
    Pick<false, 0>::Mono, Pick<false, 0>::Stereo, Pick<false, 1>::Mono, Pick<false, 1>::Stereo,
    Pick<false, 2>::Mono, Pick<false, 2>::Stereo, Pick<true, 0>::Mono,  Pick<true, 0>::Stereo,
    Pick<true, 1>::Mono,  Pick<true, 1>::Stereo,  Pick<true, 2>::Mono,  Pick<true, 2>::Stereo,
};

template <bool Bits8, int Shift>
struct FrameRoutines {
    static constexpr OutputRoutine Mono = OutFrame<Arrangement::Mono, Bits8, Shift>;
    static constexpr OutputRoutine Stereo = OutFrame<Arrangement::Stereo, Bits8, Shift>;
    static constexpr OutputRoutine Mix = OutFrame<Arrangement::Mix, Bits8, Shift>;
    static constexpr OutputRoutine Left = OutFrame<Arrangement::Left, Bits8, Shift>;
    static constexpr OutputRoutine Right = OutFrame<Arrangement::Right, Bits8, Shift>;
};

template <bool Bits8, int Shift>
struct GranuleRoutines {
    static constexpr OutputRoutine Mono = OutGranule<false, Bits8, Shift>;
    static constexpr OutputRoutine Stereo = OutGranule<true, Bits8, Shift>;
};

// The channel selections of a two-channel Layer I/II stream: mix, left, right.
constexpr OutputRoutine FrameSelections[2][3][3] = {
    {{FrameRoutines<false, 0>::Mix, FrameRoutines<false, 0>::Left, FrameRoutines<false, 0>::Right},
     {FrameRoutines<false, 1>::Mix, FrameRoutines<false, 1>::Left, FrameRoutines<false, 1>::Right},
     {FrameRoutines<false, 2>::Mix, FrameRoutines<false, 2>::Left, FrameRoutines<false, 2>::Right}},
    {{FrameRoutines<true, 0>::Mix, FrameRoutines<true, 0>::Left, FrameRoutines<true, 0>::Right},
     {FrameRoutines<true, 1>::Mix, FrameRoutines<true, 1>::Left, FrameRoutines<true, 1>::Right},
     {FrameRoutines<true, 2>::Mix, FrameRoutines<true, 2>::Left, FrameRoutines<true, 2>::Right}},
};

}  // namespace

WindowTaps SynthTaps[3];
float SynthWindow[264];

bool UseSynthesisPath(SynthesisPath path)
{
    const WindowRoutines* routines = path == SynthesisPath::Avx512 ? Avx512WindowRoutines()
                                     : path == SynthesisPath::Avx2 ? Avx2WindowRoutines()
                                                                   : &ThisBuildsRoutines;
    Window = routines != nullptr ? routines : &ThisBuildsRoutines;
    return routines != nullptr;
}

SynthesisPath WidestSynthesisPath()
{
    return Avx512WindowRoutines() != nullptr ? SynthesisPath::Avx512
           : Avx2WindowRoutines() != nullptr ? SynthesisPath::Avx2
                                             : SynthesisPath::Baseline;
}

void BuildSynthesisTables()
{
    const double pi = 4.0 * std::atan(1.0);
    int k = 0;
    for (int n = 16; n >= 1; n /= 2) {
        for (int i = 0; i < n; ++i)
            DctCoefficients[k++] = static_cast<float>(0.5 / std::cos((2 * i + 1) * pi / (4.0 * n)));
    }
    for (int i = 0; i < 264; ++i)
        SynthWindow[i] = static_cast<float>(SynthWindowUnits[i] / 65536.0);
    for (int shift = 0; shift < 3; ++shift) {
        const int h = 16 >> shift;
        WindowTaps& taps = SynthTaps[shift];
        std::memset(&taps, 0, sizeof taps);
        for (int i = 0; i < 16; ++i) {
            for (int j = 0; j < h; ++j)
                taps.First[i][j] = (i % 2 ? -1.0 : 1.0) * SynthWindow[16 * (j << shift) + i];
            for (int k = 1; k < h; ++k)
                taps.Second[i][k] = SynthWindow[16 * (16 - (k << shift)) + 15 - i];
            taps.Second[i][0] = i % 2 ? 0.0 : SynthWindow[256 + i / 2];
        }
    }
    UseSynthesisPath(WidestSynthesisPath());
}

void ResetSynthesis()
{
    std::memset(&Synth, 0, sizeof Synth);
}

OutputRoutine SelectFrameOutput(const FrameHeader* header)
{
    const int bits8 = (Options.OutputFlags & 8) ? 1 : 0;
    const int shift = Options.RateShift;
    const int selection = Options.OutputFlags & 3;
    if (header->Mode != 3 && selection != 0)
        return FrameSelections[bits8][shift][selection - 1];
    return SelectionTable<FrameRoutines>[6 * bits8 + 2 * shift + (header->Mode == 3 ? 0 : 1)];
}

OutputRoutine SelectGranuleOutput(bool mono)
{
    const int bits8 = (Options.OutputFlags & 8) ? 1 : 0;
    return SelectionTable<GranuleRoutines>[6 * bits8 + 2 * Options.RateShift + (mono ? 0 : 1)];
}

PairOutputRoutine SelectGranulePairOutput()
{
    return GranulePairs[(Options.OutputFlags & 8) ? 1 : 0][Options.RateShift];
}

std::int32_t SynthesisPosition(int channel)
{
    return Synth.Position[channel & 1];
}
