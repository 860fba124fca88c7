// PCM conversion shared by the synthesis and its tests.
#pragma once

#include <cstdint>

// A window sum as a 16-bit sample: truncated toward zero, then clamped.
// Always inlined: the synthesis is also built for wider processors, and no
// shared copy built for one may serve the other.
[[gnu::always_inline]] inline std::int32_t PcmValue(float sum)
{
    if (!(sum < 32768.0f))
        return 32767;  // also catches a NaN
    if (sum <= -32769.0f)
        return -32768;
    return static_cast<std::int32_t>(sum);
}

[[gnu::always_inline]] inline void StoreSample16(std::uint8_t* to, std::int32_t v)
{
    to[0] = static_cast<std::uint8_t>(v & 0xFF);
    to[1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
}

// A sample as 16 bits, or as its top 8 bits offset by 128.
[[gnu::always_inline]] inline void StoreSample(std::uint8_t* to, std::int32_t v, bool bits8)
{
    if (bits8)
        to[0] = static_cast<std::uint8_t>(((v >> 8) & 0xFF) ^ 0x80);
    else
        StoreSample16(to, v);
}

// The forms of the synthesis window, narrowest first: four quick sums at a
// time in single precision, the few near a boundary formed again (SSE2,
// every x86-64 processor), four exact sums (AVX2 with FMA) or eight
// (AVX-512).
// All give the same bytes; the widest the processor runs is chosen when the
// tables are built.
enum class SynthesisPath { Baseline, Avx2, Avx512 };
// Uses `path` and returns true when the processor runs it; otherwise the
// baseline is used and false returned.
bool UseSynthesisPath(SynthesisPath path);
// The widest form the processor runs.
SynthesisPath WidestSynthesisPath();
// The baseline with its window formed the exact way throughout, where it is
// otherwise formed the quick way (the same bytes; for tests).
void UseExactBaselineWindow();

// The synthesis position of a channel (for tests).
std::int32_t SynthesisPosition(int channel);

// The synthesis window in units of 1/65536: sixteen rows of 16 coefficients
// (row j: D[j], D[32 + j], D[64 + j], D[96 + j], ...), then the middle row
// -D[48], -D[112], ...
extern const std::int32_t SynthWindowUnits[264];
