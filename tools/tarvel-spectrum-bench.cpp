// How long one refresh of the spectrum analyser takes: the two 512-point
// transforms, the levels and the bands of both channels, without the
// painting. Not a test: it prints the time.
// usage: tarvel-spectrum-bench [REFRESHES]
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "ui/Spectrum.h"

int main(int argc, char** argv)
{
    const int refreshes = argc > 1 ? std::atoi(argv[1]) : 20000;
    CFFT fft;
    if (!fft.Init(1, 9, 1))
        return 1;
    SpectrumAnalyser analyser(fft);
    // Music-like input: two tones and noise, a new window each refresh.
    std::vector<std::int16_t> pcm(2 * 44100);
    std::uint32_t noise = 1;
    for (std::size_t i = 0; i < pcm.size() / 2; ++i) {
        noise = noise * 1103515245u + 12345u;
        const double t = static_cast<double>(i) / 44100;
        pcm[2 * i] = static_cast<std::int16_t>(9000 * std::sin(2 * 3.141592653589793 * 440 * t) + (noise >> 20) - 2048);
        pcm[2 * i + 1] = static_cast<std::int16_t>(7000 * std::sin(2 * 3.141592653589793 * 2583.984375 * t));
    }
    const std::size_t windows = pcm.size() / 2 - SpectrumFrames;
    int lit = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int r = 0; r < refreshes; ++r) {
        analyser.Update(pcm.data() + 2 * ((static_cast<std::size_t>(r) * 441) % windows));
        lit += analyser.Left.Shown[4] + analyser.Right.Shown[10];
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("UpdateSpectrum: %d refreshes in %.3f s, %.1f us each (checksum %d)\n", refreshes, seconds,
                seconds * 1e6 / refreshes, lit);
    return 0;
}
