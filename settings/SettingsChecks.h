// What a stored setting must look like before the player uses it. Values
// come back from the store as they were found there (another program, an
// older version or a damaged store may have left anything); each check
// gives the value, or the default when the stored one cannot be right.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The store's kinds of value that the settings use.
enum StoredType : std::uint32_t { StoredText = 1, StoredNumber = 4 };

// Texts are kept in 256 bytes, the terminator included.
inline constexpr std::size_t StoredTextBytes = 256;

// A number: exactly four bytes stored as a number.
std::optional<std::int32_t> StoredDword(std::uint32_t type, const void* data, std::size_t size);
// A text: stored as text, terminated within its data, and fitting.
std::optional<std::string> StoredString(std::uint32_t type, const char* data, std::size_t size);

// The face's scale: 1, 2 or 4.
std::int32_t CheckedScale(std::int32_t value);
// Repeat: off, one or all (0, 1, 2).
std::int32_t CheckedRepeat(std::int32_t value);
// A flag: 0 or 1.
std::int32_t CheckedFlag(std::int32_t value, std::int32_t fallback);
// An entry of a playlist of `count` entries; 0 when it names none.
std::int32_t CheckedTrack(std::int32_t value, std::int32_t count);

struct ScreenRect {
    std::int32_t Left, Top, Right, Bottom;
};
struct WindowPlace {
    std::int32_t X, Y, Width, Height;
};

// How much of a window must lie in one work area for a person to reach it.
inline constexpr std::int32_t ReachableEdge = 24;

// The place, when it has a size and enough of it lies on one of the work
// areas (the monitors as they are now); otherwise `fallback`.
WindowPlace CheckedPlace(const WindowPlace& place, const WindowPlace& fallback, const std::vector<ScreenRect>& workAreas);
