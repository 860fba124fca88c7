// The processor levels the decoder has forms for. Every part that chooses its
// form by the processor (the synthesis, the Layer III transform, the Layer II
// sample reads) takes the widest the processor runs when the decoder starts;
// a level can be held for measuring and testing. Every level gives the same
// bytes.
#pragma once

enum class CpuLevel {
    Baseline,  // every x86-64 processor (SSE2)
    Avx2,      // AVX2 with FMA, and BMI2
    Avx512,    // AVX-512
};

// "baseline", "avx2" or "avx512"; false for any other name.
bool ParseCpuLevel(const char* name, CpuLevel* level);
const char* CpuLevelName(CpuLevel level);
// Whether this processor, and this build, run `level`.
bool CpuRuns(CpuLevel level);
// Holds every part to `level` (after MpegInit); false, changing nothing,
// when the processor does not run it.
bool UseCpuLevel(CpuLevel level);
