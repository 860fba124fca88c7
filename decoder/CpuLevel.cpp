#include "decoder/CpuLevel.h"

#include <cstring>

#include "decoder/DecoderInternal.h"
#include "decoder/Layer3.h"
#include "decoder/Synthesis.h"

namespace {

const char* const LevelNames[] = {"baseline", "avx2", "avx512"};

bool RunsBmi2()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    return __builtin_cpu_supports("bmi2");
#else
    return false;
#endif
}

}  // namespace

bool ParseCpuLevel(const char* name, CpuLevel* level)
{
    for (int i = 0; i < 3; ++i) {
        if (std::strcmp(name, LevelNames[i]) == 0) {
            *level = static_cast<CpuLevel>(i);
            return true;
        }
    }
    return false;
}

const char* CpuLevelName(CpuLevel level)
{
    return LevelNames[static_cast<int>(level)];
}

bool CpuRuns(CpuLevel level)
{
    if (level == CpuLevel::Baseline)
        return true;
    const SynthesisPath widest = WidestSynthesisPath();
    const bool synthesis = level == CpuLevel::Avx512 ? widest == SynthesisPath::Avx512 : widest != SynthesisPath::Baseline;
    return synthesis && WideLongTransform() != nullptr && RunsBmi2();
}

bool UseCpuLevel(CpuLevel level)
{
    if (!CpuRuns(level))
        return false;
    const bool wide = level != CpuLevel::Baseline;
    UseSynthesisPath(level == CpuLevel::Avx512 ? SynthesisPath::Avx512
                     : wide                    ? SynthesisPath::Avx2
                                               : SynthesisPath::Baseline);
    UseWideLayer3Transform(wide);
    UseWideLayer2Reads(wide);
    return true;
}
