// Polyphase synthesis: a fast DCT per slot into a ring of 32 values per slot
// and channel, then windowing over the ring into PCM (SynthesisWindow.h, in
// the widest form the processor runs, as are the DCT of two-channel slots
// and its stores into the rings).
#include <cmath>
#include <cstring>
#include <utility>

#include "decoder/DecoderInternal.h"
#include "decoder/Synthesis.h"
#include "decoder/SynthesisWindow.h"

const std::int32_t SynthWindowUnits[264] = {
#include "decoder/SynthWindow.inc"
};

namespace {

struct SynthesisState {
    SynthesisRing Rings[2];
    std::int32_t Position[2];
    // How many more windowings of each ring must round by conversion: a ring
    // holds a slot's values for 16 windowings, and values that are not usual
    // (SynthesisWindow.h) need it.
    std::int32_t ConvertingSlots[2];
    // The transform's values of four slots (OutFourSlots), in whole cache
    // lines for the widest loads and stores.
    alignas(64) float FourSlots[256];
};
SynthesisState Synth;

// The windowing in use: this build's, or a wider one the processor runs.
const WindowRoutines* Window = &ThisBuildsRoutines;

// Notes that ring `ring_` now holds values that are not usual, from the
// windowing `later` slots ahead on.
inline void NoteUnusualValues(int ring_, int later)
{
    Synth.ConvertingSlots[ring_] = 16 + later;
}

// This build's exact forms of the window, from double-precision rings and
// from single-precision ones.
constexpr WindowForms ExactForms = FormsOf<WindowForm::Exact>;
constexpr WindowForms ExactFormsFromSingles = FormsOf<WindowForm::ExactFromSingles>;

// The window for the next windowing of `count` rings from ring 0 (or of
// ring `ring_` alone): the one in use, or while a ring holds values that are
// not usual, an exact one.
inline const WindowForms* FormsForWindowing(int ring_, int count)
{
    bool converting = false;
    for (int r = ring_; r < ring_ + count; ++r) {
        if (Synth.ConvertingSlots[r] > 0) {
            --Synth.ConvertingSlots[r];
            converting = true;
        }
    }
    if (!converting)
        return &Window->Windows;
    return Window->SingleRings ? &ExactFormsFromSingles : &ExactForms;
}

// Forms the samples that the quick window left near a boundary
// (DeferredSums) before an output routine returns.
struct SamplesFormedAgain {
    SamplesFormedAgain() = default;
    SamplesFormedAgain(const SamplesFormedAgain&) = delete;
    SamplesFormedAgain& operator=(const SamplesFormedAgain&) = delete;
    ~SamplesFormedAgain()
    {
#if defined(__SSE2__) && !defined(__AVX__)
        if (Deferred.Count != 0)
            FinishDeferredSums();
#endif
    }
};

enum class Arrangement { Mono, Stereo, Mix, Left, Right };

// One channel's slot transformed into its ring at `position`.
template <int Shift>
inline void TransformIntoRing(float* x, int ring_, int position)
{
    constexpr int N = 32 >> Shift, R = 512 >> Shift;
    if constexpr (N == 16)
        x[15] = 0;  // sub-band 15 does not contribute at half rate
    constexpr int M = 2 * R;
    SynthesisRing& ring = Synth.Rings[ring_];
    alignas(16) float values[N];
    Dct<N>(x, values);
    if (Window->UsualOnly && !UsualValues(values, N))
        NoteUnusualValues(ring_, 0);
#if defined(__SSE2__)
    // Only the baseline's quick window holds single-precision rings.
    if (Window->SingleRings) {
        float* const to = ring.Singles + position;
        float* const back = ring.SingleMirror + M - position;
        __m128 peaks = _mm_setzero_ps();
        for (int m = 0; m < N; m += 4)
            peaks = _mm_max_ps(peaks, StoreSingleRun<R>(to, back, m, _mm_load_ps(values + m)));
        NoteSlotPeak(ring, position / N, LargestLane(peaks));
        return;
    }
#endif
    double* const to = ring.Values + position;
    double* const back = ring.Mirror + M - position;
#if defined(__SSE2__)
    // Two values at a time into both copies of the ring, and reversed into
    // both copies of the mirror.
    for (int m = 0; m < N; m += 2) {
        const __m128d v = _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(values + m))));
        StoreRun<R>(to, back, m, v, _mm_shuffle_pd(v, v, 1));
    }
#else
    for (int m = 0; m < N; ++m) {
        to[m] = to[R + m] = values[m];
        back[-m] = back[-R - m] = values[m];
    }
#endif
}

// One channel's slot: gather, transform into the ring, window into PCM.
template <int Shift, bool Bits8>
inline void SynthesizeSlot(float* x, int ring_, int position, std::uint8_t* out, int step)
{
    TransformIntoRing<Shift>(x, ring_, position);
    FormsForWindowing(ring_, 1)->Single[Bits8 ? 1 : 0][Shift](Synth.Rings[ring_], position, out, step);
}

// Both channels' slots windowed together, interleaved into `out`.
template <int Shift, bool Bits8>
inline void WindowBoth(const int positions[2], std::uint8_t* out)
{
    const SynthesisRing* const rings[2] = {&Synth.Rings[0], &Synth.Rings[1]};
    FormsForWindowing(0, 2)->Pair[Bits8 ? 1 : 0][Shift](rings, positions, out);
}

#if defined(__SSE2__)
// Four slots of both channels transformed at once (SynthesisWindow.h): two
// runs of 32 four-lane values, lanes 0 and 1 holding channels 0 and 1 of the
// first slot of a run, lanes 2 and 3 of its second.
using Float4 = float __attribute__((vector_size(16)));

// The first `count` of the four slots in x (four, or fewer at the end), one
// after the other: each into the rings, windowed into `pcm` (interleaved),
// and the positions moved on.
template <int Shift, bool Bits8>
inline std::uint8_t* OutFourSlots(Float4 (&x)[2][32], std::uint8_t* pcm, bool sharedPosition, int count)
{
    constexpr int N = 32 >> Shift, Mask = (512 >> Shift) - 1;
    float* const values = Synth.FourSlots;
    if (Window->Transform[Shift](reinterpret_cast<float*>(x), values)) {
        // The last of the slots stays in the rings for 15 windowings after its own.
        for (int r = 0; r < 2; ++r)
            NoteUnusualValues(r, count - 1);
    }
    SynthesisRing* const rings[2] = {&Synth.Rings[0], &Synth.Rings[1]};
    for (int slot = 0; slot < count; ++slot) {
        const int positions[2] = {Synth.Position[0], Synth.Position[sharedPosition ? 0 : 1]};
        Window->Rings[Shift](values + 128 * (slot / 2), slot % 2, rings, positions);
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
    const SamplesFormedAgain formedAgain;
    constexpr int N = 32 >> Shift, Mask = (512 >> Shift) - 1;
    constexpr int SampleBytes = Bits8 ? 1 : 2;
    float x[32];
    std::int32_t slot = 0;
#if defined(__SSE2__)
    if constexpr (A == Arrangement::Stereo) {
        // Four slots at a time, both channels of each already side by side;
        // slots missing at the end are silence.
        for (; slot < slots; slot += 4, samples += 256) {
            const int count = slots - slot >= 4 ? 4 : slots - slot;
            Float4 x[2][32];
            for (int run = 0; run < 2; ++run) {
                const float* first = samples + 128 * run;
                const int present = count - 2 * run;
                for (int k = 0; k < N; ++k) {
                    const __m128 a = present > 0 ? _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(first + 2 * k)))
                                                 : _mm_setzero_ps();
                    x[run][k] = present > 1 ? _mm_loadh_pi(a, reinterpret_cast<const __m64*>(first + 64 + 2 * k)) : a;
                }
            }
            pcm = OutFourSlots<Shift, Bits8>(x, pcm, true, count);
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
    const SamplesFormedAgain formedAgain;
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
    const SamplesFormedAgain formedAgain;
    constexpr int N = 32 >> Shift;
#if defined(__SSE2__)
    // Four slots at a time (two at the end): four values of each channel
    // and slot of a pair of slots turned into four lanes of each value.
    for (int slot = 0; slot < 18; slot += 4, left += 128, right += 128) {
        const int count = 18 - slot >= 4 ? 4 : 18 - slot;
        Float4 x[2][32];
        for (int run = 0; run < count / 2; ++run) {
            const float* l = left + 64 * run;
            const float* r = right + 64 * run;
            for (int k = 0; k < N; k += 4) {
                __m128 a = _mm_loadu_ps(l + k), b = _mm_loadu_ps(r + k);
                __m128 c = _mm_loadu_ps(l + 32 + k), d = _mm_loadu_ps(r + 32 + k);
                _MM_TRANSPOSE4_PS(a, b, c, d);
                x[run][k] = a, x[run][k + 1] = b, x[run][k + 2] = c, x[run][k + 3] = d;
            }
        }
        if (count < 4)
            std::memset(x[1], 0, sizeof x[1]);
        pcm = OutFourSlots<Shift, Bits8>(x, pcm, false, count);
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
SingleWindowTaps SynthSingleTaps[3];
double SampleTaps[3][32][16];
float QuickPeakFactors[3][32];
float QuickSumFactors[3][32];
float SynthWindow[264];

void UseExactBaselineWindow()
{
    // This build's routines with its exact form of the window.
    static constexpr WindowRoutines exact = {
        ExactFormsFromSingles, {ThisBuildsRoutines.Rings[0], ThisBuildsRoutines.Rings[1], ThisBuildsRoutines.Rings[2]},
        {ThisBuildsRoutines.Transform[0], ThisBuildsRoutines.Transform[1], ThisBuildsRoutines.Transform[2]},
        ThisBuildsRoutines.UsualOnly, ThisBuildsRoutines.SingleRings};
    UseSynthesisPath(SynthesisPath::Baseline);
    if (ThisBuildsRoutines.SingleRings)
        Window = &exact;
}

bool UseSynthesisPath(SynthesisPath path)
{
    const WindowRoutines* routines = path == SynthesisPath::Avx512 ? Avx512WindowRoutines()
                                     : path == SynthesisPath::Avx2 ? Avx2WindowRoutines()
                                                                   : &ThisBuildsRoutines;
    const WindowRoutines* const previous = Window;
    Window = routines != nullptr ? routines : &ThisBuildsRoutines;
    // The rings of one form are no use to the other.
    if (Window->SingleRings != previous->SingleRings)
        ResetSynthesis();
    return routines != nullptr;
}

SynthesisPath WidestSynthesisPath()
{
    return Avx512WindowRoutines() != nullptr ? SynthesisPath::Avx512
           : Avx2WindowRoutines() != nullptr ? SynthesisPath::Avx2
                                             : SynthesisPath::Baseline;
}

float DctCoefficients[31];

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
        for (int j = 0; j < 2 * h; ++j) {
            double w[16];
            for (int i = 0; i < 16; ++i) {
                w[i] = j < h ? taps.First[i][j] : taps.Second[i][j - h];
                (j < h ? SynthSingleTaps[shift].First[i][j] : SynthSingleTaps[shift].Second[i][j - h]) =
                    static_cast<float>(w[i]);
                SampleTaps[shift][j][i] = w[i];
            }
            // The sums after each step are bounded by the products so far
            // before step m, and by the final sum and the products still to
            // come from step m on (SynthesisWindow.h); m where the bound is
            // least for a final sum a quarter of the ring's largest value.
            double best = 1e300, peakFactor = 0, sumFactor = 0;
            for (int m = 0; m <= 16; ++m) {
                double peakPart = 0;
                for (int k = 0; k < 16; ++k) {
                    double bound = 0;
                    for (int i = k < m ? 0 : k + 1; i <= (k < m ? k : 15); ++i)
                        bound += std::fabs(w[i]);
                    peakPart += 2 * bound + std::fabs(w[k]);
                }
                const double sumPart = 2.0 * (16 - m);
                if (peakPart + sumPart / 4 < best)
                    best = peakPart + sumPart / 4, peakFactor = peakPart, sumFactor = sumPart;
            }
            // A hundredth more: the terms of second order in 2^-24, and the
            // roundings of the bound itself.
            QuickPeakFactors[shift][j] = static_cast<float>(std::ldexp(peakFactor * 1.01, -24));
            QuickSumFactors[shift][j] = static_cast<float>(std::ldexp(sumFactor * 1.01, -24));
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
