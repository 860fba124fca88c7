// The playlist: a fixed table of up to 10000 entries in play-list order, with
// the rules that choose the next and the previous entry under the repeat and
// shuffle modes.
//
// The table is the base of the engine. What it needs from the rest of the
// engine (reading a file's information, the playlist's rows and totals,
// playback, a redraw, the engine lock) it reaches through the hooks below.
// NextIndex, PreviousIndex and ToggleShuffle change or read the play order:
// the engine lock is held around them.
#pragma once

#include <cstdint>

#include "engine/TrackEntry.h"

inline constexpr std::int32_t MaxTracks = 10000;

// Where the entry at `index` is after the entry at `from` moved to `to`: the
// moved one goes to `to`, and those it passed shift by one toward `from`.
inline std::int32_t FollowMove(std::int32_t index, std::int32_t from, std::int32_t to)
{
    if (index == from)
        return to;
    if (from < to && index > from && index <= to)
        return index - 1;
    if (to < from && index >= to && index < from)
        return index + 1;
    return index;
}

enum : std::int32_t {
    RepeatOff = 0,  // stop after the last entry
    RepeatOne = 1,  // repeat the current entry
    RepeatAll = 2,  // wrap around the list
};

class PlaylistTable {
public:
    PlaylistTable();
    virtual ~PlaylistTable();

    PlaylistTable(const PlaylistTable&) = delete;
    PlaylistTable& operator=(const PlaylistTable&) = delete;

    // Reads the file's information and appends it; a file that cannot be
    // read is dropped silently.
    void AddFile(const char* path);
    // Appends a filled entry when there is room; releases it otherwise.
    // Returns true when the entry joined the table.
    bool AppendEntry(TrackEntry* entry);
    // The file name of `path` without folder and extension.
    static void DefaultTitle(const char* path, char* destination, int size);

    bool MoveEntry(std::int32_t from, std::int32_t to);
    bool RemoveEntry(std::int32_t index);
    void ClearPlaylist();

    // -1 when there is no such entry.
    std::int32_t NextIndex();
    std::int32_t PreviousIndex() const;

    void ToggleShuffle();
    void ResetPlayHistory();
    bool IsUnplayed(std::int32_t value) const;

    // The runtime library's pseudo-random sequence: 0 to 32767.
    void SeedRandom(std::uint32_t seed) { RandomState = seed; }
    std::int32_t NextRandom();

    TrackEntry* Tracks[MaxTracks];
    std::int32_t PlayHistory[MaxTracks];
    std::int32_t CurrentIndex = 0;
    std::int32_t TrackCount = 0;
    std::int32_t ShuffleState = 0;
    std::int32_t RepeatState = RepeatOff;

protected:
    // Hooks into the rest of the player.
    virtual bool ReadTrackInfo(const char* path, TrackEntry* entry) = 0;
    virtual void AddRow(const TrackEntry* entry) = 0;        // row and totals
    virtual void SubtractTotals(const TrackEntry* entry) = 0;
    virtual bool IsPlaying() = 0;                           // wave output state 1
    virtual bool IsPaused() = 0;
    virtual void StopPlayback() = 0;
    virtual void PlayPause() = 0;
    virtual void RefreshMain() = 0;
    virtual void DrawShuffle() = 0;
    virtual void LockEngine() = 0;
    virtual void UnlockEngine() = 0;

private:
    static bool IsValidIndex(std::int32_t index) { return index >= 0 && index < MaxTracks; }

    std::uint32_t RandomState = 1;
};
