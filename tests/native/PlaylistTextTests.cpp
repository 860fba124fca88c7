#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "playlist/PlaylistText.h"

TEST(PlaylistText, TheCellsOfARow)
{
    TrackEntry entry{};
    std::strcpy(entry.Title, "Song One");
    std::strcpy(entry.Artist, "Someone");
    std::strcpy(entry.Path, "C:\\Music\\Song One.mp3");
    entry.Duration = 3 * 60 + 7;
    entry.BitRate = 192;
    entry.SampleRate = 44100;
    const char* expected[] = {"010", "Song One", "Someone ", "03:07", "192", "44.1", "C:\\Music\\Song One.mp3"};
    for (int column = 0; column < PlaylistColumnCount; ++column)
        EXPECT_EQ(CellText(entry, 9, static_cast<PlaylistColumn>(column)), expected[column]) << "column " << column;

    // A Xing stream has no fixed rate; 8 kHz keeps its width; an hour and more.
    entry.BitRate = 0;
    entry.SampleRate = 8000;
    entry.Duration = 6000;
    EXPECT_EQ(CellText(entry, 0, ColumnKbps), "0");
    EXPECT_EQ(CellText(entry, 0, ColumnKhz), " 8.0");
    EXPECT_EQ(CellText(entry, 0, ColumnTime), "100:00");
    EXPECT_EQ(RowNumberText(0), "001");
    EXPECT_EQ(RowNumberText(9999), "10000");

    // The longest texts an entry holds come whole.
    std::memset(entry.Artist, 'a', 255);
    entry.Artist[255] = '\0';
    std::memset(entry.Path, 'p', 255);
    entry.Path[255] = '\0';
    EXPECT_EQ(CellText(entry, 0, ColumnArtist), std::string(255, 'a') + " ");
    EXPECT_EQ(CellText(entry, 0, ColumnFile), std::string(255, 'p'));
}

TEST(PlaylistText, TheStatusBarCountsFilesTimeAndSize)
{
    EXPECT_EQ(FileCountText(3), "0003 Files");
    EXPECT_EQ(FileCountText(0), "0000 Files");
    EXPECT_EQ(TotalText(3725, 0), "Total 01:02:05  /  0 K bytes");
    EXPECT_EQ(TotalText(0, 1023LL << 20), "Total 00:00:00  /  1047552 K bytes");
    EXPECT_EQ(TotalText(0, 1LL << 30), "Total 00:00:00  /  1024 M bytes");
    // Past what 32 bits count.
    EXPECT_EQ(TotalText(360000, 5LL << 30), "Total 100:00:00  /  5120 M bytes");
}
