// The texts of the playlist window: the cells of a row and the two parts of
// the status bar.
#pragma once

#include <cstdint>
#include <string>

#include "engine/TrackEntry.h"

// The list's columns, left to right.
enum PlaylistColumn : int {
    ColumnNumber,  // position in the list, from 1
    ColumnTitle,
    ColumnArtist,
    ColumnTime,    // minutes and seconds
    ColumnKbps,
    ColumnKhz,
    ColumnFile,
    PlaylistColumnCount
};

// Column `column` of the row at `row` (counted from 0) that shows `entry`.
std::string CellText(const TrackEntry& entry, int row, PlaylistColumn column);
// The number cell alone: the row's position from 1, three digits at least.
std::string RowNumberText(int row);
// The status bar's first part: how many files the list holds.
std::string FileCountText(int rows);
// The second part: their total time, and their size in K bytes below 1 GiB
// and in M bytes from there on.
std::string TotalText(std::int32_t seconds, std::int64_t bytes);
