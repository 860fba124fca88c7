// Win32 record layouts that the portable code shares with the Windows build.
// On Windows they come from the system headers; elsewhere the same layouts
// are declared here so that the portable code compiles unchanged.
#pragma once

#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#include <mmreg.h>
#else

#pragma pack(push, 1)
struct WAVEFORMATEX {
    std::uint16_t wFormatTag;
    std::uint16_t nChannels;
    std::uint32_t nSamplesPerSec;
    std::uint32_t nAvgBytesPerSec;
    std::uint16_t nBlockAlign;
    std::uint16_t wBitsPerSample;
    std::uint16_t cbSize;
};
#pragma pack(pop)

#endif

static_assert(sizeof(WAVEFORMATEX) == 18, "WAVEFORMATEX must keep its 18-byte layout");

// Length of the path buffers used throughout the player (MAX_PATH).
inline constexpr int PathBufferSize = 260;
