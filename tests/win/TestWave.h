// WAV files the Windows tests write.
#pragma once

#include <windows.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// A canonical WAV file of `frames` frames of `channels` samples at `rate`,
// 16 or 24 bits each; sample(frame, channel) gives each value in 16 bits
// (24-bit samples carry it in their upper two bytes).
template <typename Sample>
void WriteWave(const std::string& path, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
               std::uint32_t frames, Sample sample)
{
    const std::uint32_t sampleBytes = bits / 8u;
    const std::uint32_t bytes = frames * sampleBytes * channels;
    std::vector<std::uint8_t> file(44 + static_cast<std::size_t>(bytes), 0);
    auto put = [&](std::size_t at, std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            file[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    std::memcpy(file.data(), "RIFF", 4);
    put(4, 36 + bytes, 4);
    std::memcpy(file.data() + 8, "WAVEfmt ", 8);
    put(16, 16, 4);
    put(20, 1, 2);
    put(22, channels, 2);
    put(24, rate, 4);
    put(28, rate * sampleBytes * channels, 4);
    put(32, sampleBytes * channels, 2);
    put(34, bits, 2);
    std::memcpy(file.data() + 36, "data", 4);
    put(40, bytes, 4);
    for (std::uint32_t i = 0; i < frames; ++i)
        for (std::uint16_t c = 0; c < channels; ++c) {
            const auto v = static_cast<std::uint16_t>(sample(i, c));
            put(44 + (static_cast<std::size_t>(i) * channels + c) * sampleBytes + sampleBytes - 2, v, 2);
        }
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(h, file.data(), static_cast<DWORD>(file.size()), &written, nullptr);
    CloseHandle(h);
}

// A canonical 16-bit WAV file of `seconds` at `rate` (44100 Hz unless
// given): a tone of `amplitude` (0 for silence) in every channel.
inline void WriteToneWave(const std::string& path, std::uint16_t channels, double seconds, double amplitude,
                          std::uint32_t rate = 44100)
{
    WriteWave(path, channels, rate, 16, static_cast<std::uint32_t>(seconds * rate), [&](std::uint32_t i, int) {
        return static_cast<std::int16_t>(amplitude * std::sin(i * 0.0627));
    });
}
