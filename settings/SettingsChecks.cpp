#include "SettingsChecks.h"

#include <algorithm>
#include <cstring>

std::optional<std::int32_t> StoredDword(std::uint32_t type, const void* data, std::size_t size)
{
    if (type != StoredNumber || size != 4 || data == nullptr)
        return std::nullopt;
    std::uint32_t bits = 0;
    std::memcpy(&bits, data, 4);
    return static_cast<std::int32_t>(bits);
}

std::optional<std::string> StoredString(std::uint32_t type, const char* data, std::size_t size)
{
    if (type != StoredText || data == nullptr || size == 0 || size > StoredTextBytes)
        return std::nullopt;
    const void* end = std::memchr(data, '\0', size);
    if (end == nullptr)
        return std::nullopt;
    return std::string(data, static_cast<const char*>(end) - data);
}

std::int32_t CheckedScale(std::int32_t value)
{
    return value == 1 || value == 2 || value == 4 ? value : 1;
}

std::int32_t CheckedRepeat(std::int32_t value)
{
    return value >= 0 && value <= 2 ? value : 0;
}

std::int32_t CheckedFlag(std::int32_t value, std::int32_t fallback)
{
    return value == 0 || value == 1 ? value : fallback;
}

std::int32_t CheckedTrack(std::int32_t value, std::int32_t count)
{
    return value >= 0 && value < count ? value : 0;
}

WindowPlace CheckedPlace(const WindowPlace& place, const WindowPlace& fallback, const std::vector<ScreenRect>& workAreas)
{
    if (place.Width <= 0 || place.Height <= 0)
        return fallback;
    // In 64 bits: a stored edge near the end of the range must not wrap.
    const std::int64_t left = place.X, top = place.Y;
    const std::int64_t right = left + place.Width, bottom = top + place.Height;
    for (const ScreenRect& area : workAreas) {
        const std::int64_t width = std::min<std::int64_t>(right, area.Right) - std::max<std::int64_t>(left, area.Left);
        const std::int64_t height = std::min<std::int64_t>(bottom, area.Bottom) - std::max<std::int64_t>(top, area.Top);
        // Enough of it to take hold of, or all of it when it is smaller.
        if (width >= std::min<std::int64_t>(ReachableEdge, place.Width) &&
            height >= std::min<std::int64_t>(ReachableEdge, place.Height))
            return place;
    }
    return fallback;
}
