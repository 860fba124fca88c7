// Polyphase synthesis: a fast DCT per slot into a ring of 32 values per slot
// and channel, then windowing over the ring into PCM.
#include <cmath>
#include <cstring>
#include <utility>

#include "decoder/DecoderInternal.h"
#include "decoder/Synthesis.h"

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

float Window[264];           // sixteen rows of 16, then the middle row
const float* const Middle = Window + 256;

struct SynthesisState {
    float Ring[2][512];
    std::int32_t Position[2];
};
SynthesisState Synth;

// X[m] = sum x[k] cos((2k + 1) m pi / 2N) into out[0..N-1]; x is scratch.
template <int N>
inline void Dct(const float* x, float* out)
{
    float a[N], b[N];
    const float* c = Coefficients(N / 2);
    for (int i = 0; i < N / 2; ++i) {
        a[i] = x[i] + x[N - 1 - i];
        a[N / 2 + i] = (x[i] - x[N - 1 - i]) * c[i];
    }
    float* in = a;
    float* next = b;
    for (int size = N / 2; size >= 2; size /= 2) {
        const float* f = Coefficients(size / 2);
        for (int block = 0; block < N; block += size) {
            for (int i = 0; i < size / 2; ++i) {
                next[block + i] = in[block + i] + in[block + size - 1 - i];
                next[block + size / 2 + i] = (in[block + i] - in[block + size - 1 - i]) * f[i];
            }
        }
        std::swap(in, next);
    }
    for (int size = 4; size <= N; size *= 2) {
        float* to = size == N ? out : next;
        for (int block = 0; block < N; block += size) {
            for (int i = 0; i < size / 2; ++i)
                to[block + 2 * i] = in[block + i];
            for (int i = 0; i < size / 2 - 1; ++i)
                to[block + 2 * i + 1] = in[block + size / 2 + i] + in[block + size / 2 + i + 1];
            to[block + size - 1] = in[block + size - 1];
        }
        std::swap(in, next);
    }
}

inline float Accumulate(float sum, float w, float v)
{
    return static_cast<float>(static_cast<double>(sum) + static_cast<double>(w) * static_cast<double>(v));
}

// Windows the ring at position p into N = 32 >> Shift samples, written to
// out[0], out[step], out[2 step], ...
template <int Shift, bool Bits8>
inline void WindowSlot(const float* V, int p, std::uint8_t* out, int step)
{
    constexpr int N = 32 >> Shift, H = N / 2, Mask = (512 >> Shift) - 1;
    int a = p + H, b = p + H + N;
    int sample = 0;
    auto emit = [&](float sum) {
        std::int32_t v = PcmValue(sum);
        if constexpr (Bits8)
            out[sample * step] = static_cast<std::uint8_t>(((v >> 8) & 0xFF) ^ 0x80);
        else
            StoreSample16(out + 2 * sample * step, v);
        ++sample;
    };
    for (int j = 0; j < H; ++j) {
        const float* w = Window + 16 * (j << Shift);
        float sum = 0;
        int x = a, y = b;
        for (int i = 0; i < 8; ++i) {
            sum = Accumulate(sum, w[2 * i], V[x & Mask]);
            x += 2 * N;
            sum = Accumulate(sum, -w[2 * i + 1], V[y & Mask]);
            y += 2 * N;
        }
        emit(sum);
        ++a;
        --b;
    }
    float sum = 0;
    for (int i = 0; i < 8; ++i)
        sum = Accumulate(sum, Middle[i], V[(b + 2 * N * i) & Mask]);
    emit(sum);
    for (int k = 1; k < H; ++k) {
        const float* w = Window + 16 * (16 - (k << Shift));
        --a;
        ++b;
        sum = 0;
        int x = a, y = b;
        for (int t = 0; t < 8; ++t) {
            sum = Accumulate(sum, w[15 - 2 * t], V[x & Mask]);
            x += 2 * N;
            sum = Accumulate(sum, w[14 - 2 * t], V[y & Mask]);
            y += 2 * N;
        }
        emit(sum);
    }
}

enum class Arrangement { Mono, Stereo, Mix, Left, Right };

// One channel's slot: gather, transform into the ring, window into PCM.
template <int Shift, bool Bits8>
inline void SynthesizeSlot(float* x, int ring, int position, std::uint8_t* out, int step)
{
    constexpr int N = 32 >> Shift;
    if constexpr (N == 16)
        x[15] = 0;  // sub-band 15 does not contribute at half rate
    Dct<N>(x, Synth.Ring[ring] + position);
    WindowSlot<Shift, Bits8>(Synth.Ring[ring], position, out, step);
}

template <Arrangement A, bool Bits8, int Shift>
void OutFrame(const float* samples, std::uint8_t* pcm, std::int32_t slots)
{
    constexpr int N = 32 >> Shift, Mask = (512 >> Shift) - 1;
    constexpr int SampleBytes = Bits8 ? 1 : 2;
    float x[32];
    for (std::int32_t slot = 0; slot < slots; ++slot, samples += 64) {
        const int p = Synth.Position[0];
        if constexpr (A == Arrangement::Stereo) {
            for (int c = 0; c < 2; ++c) {
                for (int k = 0; k < N; ++k)
                    x[k] = samples[2 * k + c];
                SynthesizeSlot<Shift, Bits8>(x, c, p, pcm + c * SampleBytes, 2);
            }
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

void BuildSynthesisTables()
{
    const double pi = 4.0 * std::atan(1.0);
    int k = 0;
    for (int n = 16; n >= 1; n /= 2) {
        for (int i = 0; i < n; ++i)
            DctCoefficients[k++] = static_cast<float>(0.5 / std::cos((2 * i + 1) * pi / (4.0 * n)));
    }
    for (int i = 0; i < 264; ++i)
        Window[i] = static_cast<float>(SynthWindowUnits[i] / 65536.0);
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

std::int32_t SynthesisPosition(int channel)
{
    return Synth.Position[channel & 1];
}
