#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/PlaylistTable.h"

namespace {

// A table whose links to the rest of the player are recorded.
class RecordingTable : public PlaylistTable {
public:
    bool Playing = false;
    bool Paused = false;
    std::vector<std::string> Calls;
    std::int64_t TotalBytes = 0;
    std::int32_t TotalSeconds = 0;
    int LockDepth = 0;
    int Reads = 0;  // files whose information was read

    void Fill(int count)
    {
        for (int i = 0; i < count; ++i)
            AddFile(("C:\\Music\\track" + std::to_string(i) + ".mp3").c_str());
    }
    std::string PathAt(int index) const { return Tracks[index] ? Tracks[index]->Path : "(null)"; }

protected:
    bool ReadTrackInfo(const char* path, TrackEntry* entry) override
    {
        ++Reads;
        if (std::strstr(path, "unreadable"))
            return false;
        std::snprintf(entry->Path, sizeof entry->Path, "%s", path);
        entry->Duration = 10;
        entry->DataLength = 1000;
        return true;
    }
    void AddRow(const TrackEntry* entry) override
    {
        TotalSeconds += entry->Duration;
        TotalBytes += entry->DataLength;
    }
    void SubtractTotals(const TrackEntry* entry) override
    {
        EXPECT_GT(LockDepth, 0) << "totals change under the engine lock";
        TotalSeconds -= entry->Duration;
        TotalBytes -= entry->DataLength;
    }
    bool IsPlaying() override { return Playing; }
    bool IsPaused() override { return Paused; }
    void StopPlayback() override
    {
        Calls.push_back("StopPlayback");
        Playing = false;
        Paused = false;
        ShuffleState = 0;
    }
    void PlayPause() override
    {
        Calls.push_back("PlayPause " + std::to_string(CurrentIndex));
        Playing = true;
    }
    void RefreshMain() override { Calls.push_back("RefreshMain"); }
    void DrawShuffle() override { Calls.push_back("DrawShuffle"); }
    void LockEngine() override { ++LockDepth; }
    void UnlockEngine() override { --LockDepth; }
};

std::vector<int> Draw(PlaylistTable& table, int count)
{
    std::vector<int> drawn;
    for (int i = 0; i < count; ++i)
        drawn.push_back(table.NextIndex());
    return drawn;
}

bool IsPermutation(std::vector<int> values, int n)
{
    std::sort(values.begin(), values.end());
    for (int i = 0; i < n; ++i) {
        if (values[static_cast<std::size_t>(i)] != i)
            return false;
    }
    return static_cast<int>(values.size()) == n;
}

}  // namespace

TEST(PlaylistTable, AddFileDropsUnreadableFilesAndDerivesTitles)
{
    RecordingTable table;
    table.AddFile("C:\\Music\\unreadable.mp3");
    EXPECT_EQ(table.TrackCount, 0);
    EXPECT_EQ(table.Tracks[0], nullptr);

    table.AddFile("D:\\Music\\Song One.mp3");
    table.AddFile("D:\\Music\\archive.2020\\take.two.wav");
    ASSERT_EQ(table.TrackCount, 2);
    EXPECT_STREQ(table.Tracks[0]->Title, "Song One");
    EXPECT_STREQ(table.Tracks[1]->Title, "take.two");
    EXPECT_EQ(table.TotalSeconds, 20);
    EXPECT_EQ(table.TotalBytes, 2000);
}

TEST(PlaylistTable, HoldsAtMostTenThousandEntries)
{
    RecordingTable table;
    table.Fill(MaxTracks);
    ASSERT_EQ(table.TrackCount, MaxTracks);
    table.AddFile("C:\\one-too-many.mp3");
    EXPECT_EQ(table.TrackCount, MaxTracks);
    EXPECT_EQ(table.Reads, MaxTracks) << "a full table does not read the file";
    EXPECT_EQ(table.TotalSeconds, 10 * MaxTracks);

    table.PlayHistory[1] = 77;
    ASSERT_TRUE(table.RemoveEntry(0));
    EXPECT_EQ(table.TrackCount, MaxTracks - 1);
    EXPECT_EQ(table.PathAt(0), "C:\\Music\\track1.mp3");
    EXPECT_EQ(table.PathAt(MaxTracks - 2), "C:\\Music\\track9999.mp3");
    EXPECT_EQ(table.Tracks[MaxTracks - 1], nullptr);
    EXPECT_EQ(table.PlayHistory[0], 77) << "history slots move with their entries";
    EXPECT_EQ(table.PlayHistory[MaxTracks - 1], -1);
}

TEST(PlaylistTable, NextAndPreviousInListOrder)
{
    RecordingTable table;
    table.Fill(5);
    table.CurrentIndex = 4;
    EXPECT_EQ(table.NextIndex(), -1);
    table.RepeatState = RepeatAll;
    EXPECT_EQ(table.NextIndex(), 0);
    table.CurrentIndex = 2;
    EXPECT_EQ(table.NextIndex(), 3);

    table.CurrentIndex = 0;
    table.RepeatState = RepeatOff;
    EXPECT_EQ(table.PreviousIndex(), -1);
    table.RepeatState = RepeatOne;
    EXPECT_EQ(table.PreviousIndex(), -1);
    table.RepeatState = RepeatAll;
    EXPECT_EQ(table.PreviousIndex(), 4);
    table.CurrentIndex = 3;
    EXPECT_EQ(table.PreviousIndex(), 2);
}

TEST(PlaylistTable, RepeatOneStaysOnTheCurrentEntryInEveryMode)
{
    RecordingTable table;
    table.Fill(4);
    table.RepeatState = RepeatOne;
    table.CurrentIndex = 3;
    EXPECT_EQ(table.NextIndex(), 3);
    table.ToggleShuffle();
    EXPECT_EQ(table.NextIndex(), 3);
    EXPECT_EQ(table.PreviousIndex(), 3) << "no going back in shuffle mode";
}

TEST(PlaylistTable, ShuffleCyclesArePermutations)
{
    for (int count : {1, 2, 3, 7, 50}) {
        RecordingTable table;
        table.Fill(count);
        table.ToggleShuffle();
        ASSERT_EQ(table.ShuffleState, 1);
        table.SeedRandom(static_cast<std::uint32_t>(count));

        table.RepeatState = RepeatOff;
        EXPECT_TRUE(IsPermutation(Draw(table, count), count)) << count << " entries";
        EXPECT_EQ(table.NextIndex(), -1) << "a cycle without repeat ends";
        // The end of the cycle freed the history: a new cycle can start.
        EXPECT_TRUE(IsPermutation(Draw(table, count), count));

        table.RepeatState = RepeatAll;
        table.CurrentIndex = count - 1;
        std::vector<int> wrapped = Draw(table, 1);
        EXPECT_EQ(table.CurrentIndex, 0) << "the wrap resets the current entry";
        std::vector<int> rest = Draw(table, count - 1);
        wrapped.insert(wrapped.end(), rest.begin(), rest.end());
        EXPECT_TRUE(IsPermutation(wrapped, count));
    }
}

TEST(PlaylistTable, ShuffleOnAnEmptyTableHasNoNextEntry)
{
    RecordingTable table;
    table.ToggleShuffle();
    table.RepeatState = RepeatAll;
    EXPECT_EQ(table.NextIndex(), -1);
}

TEST(PlaylistTable, ShuffleSurvivesRemovalWithStaleHistory)
{
    RecordingTable table;
    table.Fill(3);
    table.ToggleShuffle();
    table.RepeatState = RepeatAll;
    table.PlayHistory[0] = 2;
    table.PlayHistory[1] = 0;
    ASSERT_TRUE(table.RemoveEntry(2));
    // Two entries left, history {2, 0}: both slots are taken, so the cycle is
    // over and a fresh one begins.
    std::vector<int> drawn = Draw(table, 2);
    EXPECT_TRUE(IsPermutation(drawn, 2));
}

TEST(PlaylistTable, ToggleShuffleClearsTheWholeHistory)
{
    RecordingTable table;
    table.Fill(2);
    table.PlayHistory[5000] = 3;
    table.ToggleShuffle();
    EXPECT_EQ(table.PlayHistory[5000], -1);
    EXPECT_EQ(table.Calls.back(), "DrawShuffle");
    table.ToggleShuffle();
    EXPECT_EQ(table.ShuffleState, 0);
}

TEST(PlaylistTable, MoveEntryShiftsTheEntriesBetween)
{
    RecordingTable table;
    table.Fill(5);
    ASSERT_TRUE(table.MoveEntry(1, 3));
    EXPECT_EQ(table.PathAt(1), "C:\\Music\\track2.mp3");
    EXPECT_EQ(table.PathAt(2), "C:\\Music\\track3.mp3");
    EXPECT_EQ(table.PathAt(3), "C:\\Music\\track1.mp3");
    ASSERT_TRUE(table.MoveEntry(3, 0));
    EXPECT_EQ(table.PathAt(0), "C:\\Music\\track1.mp3");
    EXPECT_EQ(table.PathAt(1), "C:\\Music\\track0.mp3");
    EXPECT_EQ(table.PathAt(4), "C:\\Music\\track4.mp3");
    EXPECT_EQ(table.LockDepth, 0);
    EXPECT_EQ(table.Calls.back(), "RefreshMain");

    EXPECT_FALSE(table.MoveEntry(0, 5)) << "empty slot";
    EXPECT_FALSE(table.MoveEntry(-1, 2));
    EXPECT_FALSE(table.MoveEntry(2, MaxTracks));
}

TEST(PlaylistTable, TheCurrentIndexFollowsItsEntryThroughEveryMoveInEveryState)
{
    struct Case {
        int from, to, expected;
    };
    // The current entry is track4 at index 4.
    for (bool playing : {true, false}) {
        for (Case c : {Case{4, 7, 7}, Case{7, 4, 5}, Case{2, 9, 3}, Case{9, 2, 5}, Case{4, 0, 0}, Case{0, 4, 3},
                       Case{5, 9, 4}, Case{1, 3, 4}}) {
            RecordingTable table;
            table.Fill(10);
            table.CurrentIndex = 4;
            table.Playing = playing;
            ASSERT_TRUE(table.MoveEntry(c.from, c.to));
            EXPECT_EQ(table.CurrentIndex, c.expected) << c.from << " -> " << c.to << (playing ? " playing" : " stopped");
            EXPECT_EQ(table.PathAt(table.CurrentIndex), "C:\\Music\\track4.mp3");
        }
    }
}

TEST(PlaylistTable, RemoveEntryBeforeAndAtTheEnd)
{
    RecordingTable table;
    table.Fill(5);
    table.CurrentIndex = 3;
    ASSERT_TRUE(table.RemoveEntry(1));
    EXPECT_EQ(table.CurrentIndex, 2);
    EXPECT_EQ(table.TrackCount, 4);
    EXPECT_EQ(table.TotalSeconds, 40);
    EXPECT_EQ(table.TotalBytes, 4000);

    table.CurrentIndex = 3;  // the last entry, not playing
    ASSERT_TRUE(table.RemoveEntry(3));
    EXPECT_EQ(table.CurrentIndex, 2);
    EXPECT_EQ(std::count(table.Calls.begin(), table.Calls.end(), "StopPlayback"), 0);

    table.CurrentIndex = 0;
    ASSERT_TRUE(table.RemoveEntry(2));
    EXPECT_EQ(table.CurrentIndex, 0);

    EXPECT_FALSE(table.RemoveEntry(2)) << "past the filled slots";
    EXPECT_FALSE(table.RemoveEntry(-1));
    EXPECT_EQ(table.TrackCount, 2);
}

TEST(PlaylistTable, RemovingThePlayingEntryPlaysTheOneAfterIt)
{
    RecordingTable table;
    table.Fill(4);
    table.CurrentIndex = 1;
    table.Playing = true;
    ASSERT_TRUE(table.RemoveEntry(1));
    EXPECT_EQ(table.CurrentIndex, 1);
    EXPECT_EQ(table.PathAt(1), "C:\\Music\\track2.mp3");
    std::vector<std::string> expected{"StopPlayback", "PlayPause 1", "RefreshMain"};
    EXPECT_EQ(std::vector<std::string>(table.Calls.end() - 3, table.Calls.end()), expected);

    // The playing last entry: playback goes on with the new last entry.
    table.CurrentIndex = 2;
    ASSERT_TRUE(table.RemoveEntry(2));
    EXPECT_EQ(table.CurrentIndex, 1);
    EXPECT_EQ(table.Calls[table.Calls.size() - 2], "PlayPause 1");

    // The only entry, playing: nothing left to play.
    RecordingTable single;
    single.Fill(1);
    single.Playing = true;
    ASSERT_TRUE(single.RemoveEntry(0));
    EXPECT_EQ(single.TrackCount, 0);
    EXPECT_EQ(single.CurrentIndex, 0);
    EXPECT_EQ(std::count(single.Calls.begin(), single.Calls.end(), "PlayPause 0"), 0);
}

TEST(PlaylistTable, RemovingThePausedEntryStopsWithoutPlayingOn)
{
    RecordingTable table;
    table.Fill(3);
    table.CurrentIndex = 1;
    table.Paused = true;
    ASSERT_TRUE(table.RemoveEntry(1));
    EXPECT_EQ(std::count(table.Calls.begin(), table.Calls.end(), "StopPlayback"), 1);
    EXPECT_EQ(std::count(table.Calls.begin(), table.Calls.end(), "PlayPause 1"), 0);
    EXPECT_EQ(table.PathAt(table.CurrentIndex), "C:\\Music\\track2.mp3");
}

TEST(PlaylistTable, ClearPlaylistStopsAndEmptiesTheTable)
{
    RecordingTable table;
    table.Fill(3);
    table.CurrentIndex = 2;
    table.PlayHistory[1] = 0;
    table.ClearPlaylist();
    EXPECT_EQ(table.Calls.front(), "StopPlayback");
    EXPECT_EQ(table.TrackCount, 0);
    EXPECT_EQ(table.CurrentIndex, 0);
    EXPECT_EQ(table.Tracks[0], nullptr);
    EXPECT_EQ(table.PlayHistory[1], -1);
    table.Fill(1);
    EXPECT_EQ(table.TrackCount, 1);
}

TEST(PlaylistTable, RandomSequenceMatchesTheRuntimeGenerator)
{
    RecordingTable table;
    // The first values of the runtime library's generator from seed 1.
    EXPECT_EQ(table.NextRandom(), 41);
    EXPECT_EQ(table.NextRandom(), 18467);
    EXPECT_EQ(table.NextRandom(), 6334);
}
