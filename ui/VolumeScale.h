// The volume slider's scale: positions 0 (top, loudest) to 100 (bottom,
// silent) against the mixer's 0 to 65535. Both ways round to the nearest,
// so a position set is the position shown when the slider opens again.
#pragma once

#include <cstdint>

inline constexpr std::int32_t SliderPositions = 100;
inline constexpr std::uint32_t MixerFull = 65535;

constexpr std::uint32_t VolumeFromSlider(std::int32_t position)
{
    if (position < 0)
        position = 0;
    if (position > SliderPositions)
        position = SliderPositions;
    const auto steps = static_cast<std::uint32_t>(SliderPositions - position);
    return (steps * MixerFull + SliderPositions / 2) / SliderPositions;
}

constexpr std::int32_t SliderFromVolume(std::uint32_t volume)
{
    if (volume > MixerFull)
        volume = MixerFull;
    return SliderPositions - static_cast<std::int32_t>((volume * SliderPositions + MixerFull / 2) / MixerFull);
}
