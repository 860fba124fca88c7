#include "engine/PlaylistTable.h"

#include <cstdio>
#include <ctime>
#include <new>

#include "platform/WinPath.h"

PlaylistTable::PlaylistTable()
{
    for (std::int32_t i = 0; i < MaxTracks; ++i) {
        Tracks[i] = nullptr;
        PlayHistory[i] = -1;
    }
}

PlaylistTable::~PlaylistTable()
{
    for (std::int32_t i = 0; i < MaxTracks; ++i)
        delete Tracks[i];
}

void PlaylistTable::AddFile(const char* path)
{
    if (TrackCount >= MaxTracks)
        return;  // a full table takes nothing more: no need to read the file
    TrackEntry* entry = new (std::nothrow) TrackEntry{};
    if (entry == nullptr)
        return;
    if (!ReadTrackInfo(path, entry)) {
        delete entry;
        return;
    }
    if (entry->Title[0] == '\0')
        DefaultTitle(path, entry->Title, sizeof entry->Title);
    AppendEntry(entry);
}

bool PlaylistTable::AppendEntry(TrackEntry* entry)
{
    if (TrackCount >= MaxTracks) {
        delete entry;
        return false;
    }
    AddRow(entry);
    // The play loop reads the table under the engine lock.
    LockEngine();
    Tracks[TrackCount] = entry;
    ++TrackCount;
    UnlockEngine();
    return true;
}

void PlaylistTable::DefaultTitle(const char* path, char* destination, int size)
{
    PathParts parts;
    SplitPath(path, &parts);
    std::snprintf(destination, static_cast<std::size_t>(size), "%s", parts.Name);
}

bool PlaylistTable::MoveEntry(std::int32_t from, std::int32_t to)
{
    if (!IsValidIndex(from) || !IsValidIndex(to) || Tracks[from] == nullptr || Tracks[to] == nullptr)
        return false;

    LockEngine();
    // The current index keeps naming the same entry, whatever the state: a
    // drag may carry a row past several others in one step.
    CurrentIndex = FollowMove(CurrentIndex, from, to);
    TrackEntry* moved = Tracks[from];
    if (from < to) {
        for (std::int32_t i = from; i < to; ++i)
            Tracks[i] = Tracks[i + 1];
    } else {
        for (std::int32_t i = from; i > to; --i)
            Tracks[i] = Tracks[i - 1];
    }
    Tracks[to] = moved;
    UnlockEngine();

    RefreshMain();
    return true;
}

bool PlaylistTable::RemoveEntry(std::int32_t index)
{
    // An index outside the filled slots names nothing to remove; going on
    // would count an entry that does not exist.
    if (!IsValidIndex(index) || index >= TrackCount || Tracks[index] == nullptr)
        return false;

    // The current entry goes only after the engine has let go of it, paused
    // as much as playing; playback then goes on only if it was playing. The
    // play loop may move to the next entry meanwhile: the whole change is
    // made under the engine lock.
    LockEngine();
    const bool wasPlaying = index == CurrentIndex && IsPlaying();
    if (index == CurrentIndex && (wasPlaying || IsPaused())) {
        StopPlayback();
        CurrentIndex = index;
    }

    SubtractTotals(Tracks[index]);
    delete Tracks[index];
    Tracks[index] = nullptr;
    PlayHistory[index] = -1;
    for (std::int32_t i = index; i + 1 < MaxTracks && Tracks[i + 1] != nullptr; ++i) {
        Tracks[i] = Tracks[i + 1];
        Tracks[i + 1] = nullptr;
        PlayHistory[i] = PlayHistory[i + 1];
        PlayHistory[i + 1] = -1;
    }
    --TrackCount;
    if (index < CurrentIndex)
        --CurrentIndex;
    if (CurrentIndex == TrackCount && TrackCount != 0)
        --CurrentIndex;
    if (wasPlaying && TrackCount > 0)
        PlayPause();
    UnlockEngine();
    RefreshMain();
    return true;
}

void PlaylistTable::ClearPlaylist()
{
    StopPlayback();
    // The play thread looks at the current entry under the engine lock.
    LockEngine();
    for (std::int32_t i = 0; i < MaxTracks && Tracks[i] != nullptr; ++i) {
        delete Tracks[i];
        Tracks[i] = nullptr;
        PlayHistory[i] = -1;
    }
    CurrentIndex = 0;
    TrackCount = 0;
    UnlockEngine();
    RefreshMain();
}

std::int32_t PlaylistTable::NextIndex()
{
    if (RepeatState == RepeatOne)
        return CurrentIndex;

    if (ShuffleState == 0) {
        std::int32_t next = CurrentIndex + 1;
        if (next < TrackCount)
            return next;
        return RepeatState == RepeatAll ? 0 : -1;
    }

    if (TrackCount == 0)
        return -1;

    // Every entry is chosen once per cycle, in random order, by rejection.
    for (;;) {
        if (IsUnplayed(-1)) {
            ResetPlayHistory();
            if (RepeatState != RepeatAll)
                return -1;
            CurrentIndex = 0;
        }
        std::int32_t r = NextRandom() % TrackCount;
        if (IsUnplayed(r)) {
            for (std::int32_t i = 0; i < TrackCount; ++i) {
                if (PlayHistory[i] == -1) {
                    PlayHistory[i] = r;
                    break;
                }
            }
            return r;
        }
    }
}

std::int32_t PlaylistTable::PreviousIndex() const
{
    if (ShuffleState != 0)
        return CurrentIndex;
    std::int32_t previous = CurrentIndex - 1;
    if (previous >= 0)
        return previous;
    return RepeatState == RepeatAll ? TrackCount - 1 : -1;
}

void PlaylistTable::ToggleShuffle()
{
    ShuffleState = ShuffleState == 0 ? 1 : 0;
    DrawShuffle();
    if (ShuffleState != 0) {
        for (std::int32_t i = 0; i < MaxTracks; ++i)
            PlayHistory[i] = -1;
        SeedRandom(static_cast<std::uint32_t>(std::time(nullptr)));
    }
}

void PlaylistTable::ResetPlayHistory()
{
    for (std::int32_t i = 0; i < TrackCount; ++i)
        PlayHistory[i] = -1;
}

bool PlaylistTable::IsUnplayed(std::int32_t value) const
{
    for (std::int32_t i = 0; i < TrackCount; ++i) {
        if (PlayHistory[i] == value)
            return false;
    }
    return true;
}

std::int32_t PlaylistTable::NextRandom()
{
    RandomState = RandomState * 214013u + 2531011u;
    return static_cast<std::int32_t>((RandomState >> 16) & 0x7FFF);
}
