#include "PlaylistText.h"

#include <cstdio>

namespace {

template <typename... Values>
std::string Format(const char* format, Values... values)
{
    char text[64];
    const int length = std::snprintf(text, sizeof text, format, values...);
    return length < 0 ? std::string() : std::string(text);
}

}  // namespace

std::string RowNumberText(int row)
{
    return Format("%03d", row + 1);
}

std::string CellText(const TrackEntry& entry, int row, PlaylistColumn column)
{
    switch (column) {
    case ColumnNumber:
        return RowNumberText(row);
    case ColumnTitle:
        return entry.Title;
    case ColumnArtist:
        // The artist keeps a space after it, clear of the next column.
        return std::string(entry.Artist) + ' ';
    case ColumnTime:
        return Format("%02d:%02d", entry.Duration / 60, entry.Duration % 60);
    case ColumnKbps:
        return Format("%u", static_cast<unsigned>(entry.BitRate));
    case ColumnKhz:
        return Format("%4.1f", entry.SampleRate / 1000.0);
    case ColumnFile:
        return entry.Path;
    case PlaylistColumnCount:
        break;
    }
    return std::string();
}

std::string FileCountText(int rows)
{
    return Format("%04d Files", rows);
}

std::string TotalText(std::int32_t seconds, std::int64_t bytes)
{
    const int hours = seconds / 3600;
    const int minutes = seconds / 60 % 60;
    const int rest = seconds % 60;
    const long long size = bytes;
    if (bytes >= 1073741824)
        return Format("Total %02d:%02d:%02d  /  %lld M bytes", hours, minutes, rest, size / 1024 / 1024);
    return Format("Total %02d:%02d:%02d  /  %lld K bytes", hours, minutes, rest, size / 1024);
}
