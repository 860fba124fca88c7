// The main window's face as numbers: glyph cells, clamps, the seek bar's
// arithmetic, the window snap and the title line.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ui/FaceLayout.h"
#include "ui/VolumeScale.h"

namespace {

// The source x of each cell, and the places of the first and last.
std::string Sources(const SkinCopy* cells, int n)
{
    std::string s;
    for (int i = 0; i < n; ++i)
        s += std::to_string(cells[i].SourceX) + (i + 1 < n ? "," : "");
    return s;
}

}  // namespace

TEST(FaceLayout, TimeCellsShowElapsedAndRemainingTimeWithinTheirGlyphs)
{
    SkinCopy cells[5];
    // 12:34 elapsed: blank sign (x 114, 6 wide), then 1, 2, 3, 4 at 10 per glyph.
    ASSERT_EQ(TimeCells(754, 900, 0, false, cells), 5);
    EXPECT_EQ(Sources(cells, 5), "114,10,20,30,40");
    EXPECT_EQ(cells[0].SourceW, 6);
    EXPECT_EQ(cells[0].To.W, 10) << "the narrow sign fills a whole cell";
    EXPECT_EQ(cells[0].To.X, 30);
    EXPECT_EQ(cells[4].To.X, 75);
    EXPECT_EQ(cells[4].To.Y, 33);
    // Remaining 02:26 with the minus (x 108).
    TimeCells(754, 900, 1, false, cells);
    EXPECT_EQ(Sources(cells, 5), "108,0,20,20,60");
    // Past the end nothing remains; 100 minutes and more show 99:59.
    TimeCells(1000, 900, 1, false, cells);
    EXPECT_EQ(Sources(cells, 5), "108,0,0,0,0");
    TimeCells(6000, 0, 0, false, cells);
    EXPECT_EQ(Sources(cells, 5), "114,90,90,50,90");
    TimeCells(-5, 0, 0, false, cells);
    EXPECT_EQ(Sources(cells, 5), "114,0,0,0,0");
    EXPECT_EQ(TimeCells(5, 10, 2, false, cells), 0) << "an unknown time mode draws nothing";
    // The compact face: small digits at 62, 67, 73, 85, 91 on row 4.
    TimeCells(65, 0, 1, true, cells);
    EXPECT_EQ(Sources(cells, 5), "55,0,0,0,0");
    EXPECT_EQ(cells[0].To.X, 62);
    EXPECT_EQ(cells[2].To.X, 73);
    EXPECT_EQ(cells[4].To.X, 91);
    EXPECT_EQ(cells[4].To.Y, 4);
}

TEST(FaceLayout, TrackInfoCellsAndIndicatorsStayInTheirGlyphSets)
{
    SkinCopy cells[5];
    // 99 entries: two large digits; from 100, four small ones (7 of 150 is 0007).
    ASSERT_EQ(TrackNumberCells(6, 99, cells), 2);
    EXPECT_EQ(Sources(cells, 2), "0,70");
    ASSERT_EQ(TrackNumberCells(6, 150, cells), 4);
    EXPECT_EQ(Sources(cells, 4), "0,0,0,35");
    EXPECT_EQ(cells[0].To.X, 7);
    EXPECT_EQ(cells[3].To.X, 25);
    TrackNumberCells(12344, 12345, cells);
    EXPECT_EQ(Sources(cells, 4), "45,45,45,45") << "past 9999 the number stays 9999";
    EXPECT_EQ(TrackNumberCells(0, 0, cells), 2);
    EXPECT_EQ(Sources(cells, 2), "0,0") << "no entries: 00";

    // 1411 kbit/s starts at x 7; 0 shows three zeros from x 9; 12000 stays 9999.
    ASSERT_EQ(BitRateCells(1411, cells), 4);
    EXPECT_EQ(Sources(cells, 4), "3,12,3,3");
    EXPECT_EQ(cells[0].To.X, 7);
    EXPECT_EQ(cells[3].To.X, 19);
    ASSERT_EQ(BitRateCells(0, cells), 3);
    EXPECT_EQ(cells[0].To.X, 9);
    BitRateCells(12000, cells);
    EXPECT_EQ(Sources(cells, 4), "27,27,27,27");
    ASSERT_EQ(SampleRateCells(44100, cells), 5);
    EXPECT_EQ(Sources(cells, 5), "12,12,3,0,0");
    EXPECT_EQ(cells[4].To.X, 25);
    EXPECT_EQ(cells[4].To.Y, 57);
    SampleRateCells(192000, cells);
    EXPECT_EQ(Sources(cells, 5), "27,27,27,27,27");

    EXPECT_EQ(ChannelModeCell(1).SourceX, 23);
    EXPECT_EQ(ChannelModeCell(2).SourceX, 0);
    EXPECT_EQ(RepeatCell(2).SourceX, 30);
    EXPECT_EQ(RepeatCell(7).SourceX, 0) << "a state out of range shows as off";
    EXPECT_EQ(RepeatCell(-1).SourceX, 0);
    EXPECT_EQ(ShuffleCell(1).SourceX, 27);
    EXPECT_EQ(SeekKnobCell(0, false).To.X, 5);
    EXPECT_EQ(SeekKnobCell(200, true).To.X, 205);
    EXPECT_EQ(SeekKnobCell(200, true).SourceX, 17);
    EXPECT_EQ(SeekKnobCell(999, false).To.X, 205);
    EXPECT_EQ(SeekKnobCell(-3, false).To.X, 5);
}

TEST(FaceLayout, SeekBarArithmeticNeverDividesByZero)
{
    // 30 s of 44100 Hz stereo: half way is knob 100.
    EXPECT_EQ(KnobPosition(15 * 176400, 176400, 30), 100);
    EXPECT_EQ(KnobPosition(40 * 176400, 176400, 30), 200) << "past the end the knob stays at the end";
    EXPECT_EQ(KnobPosition(176400, 176400, 0), 0) << "a track under a second";
    EXPECT_EQ(KnobPosition(176400, 0, 30), 0) << "no byte rate";
    EXPECT_EQ(KnobPosition(-1, 176400, 30), 0);
    // The knob's centre follows the pointer: 13 units in, and 200 at 213.
    EXPECT_EQ(KnobFromPointer(13, 1), 0);
    EXPECT_EQ(KnobFromPointer(113, 1), 100);
    EXPECT_EQ(KnobFromPointer(226, 2), 100);
    EXPECT_EQ(KnobFromPointer(426, 2), 200);
    EXPECT_EQ(KnobFromPointer(-40, 1), 0);
    EXPECT_EQ(SeekMilliseconds(30, 200), 30000);
    EXPECT_EQ(SeekMilliseconds(7, 33), 1155);
    EXPECT_EQ(SeekMilliseconds(0, 150), 0);
}

TEST(FaceLayout, WindowSnapsToEdgesCloserThanTenPixels)
{
    const WorkArea work{0, 0, 1280, 1000};
    auto snapped = [&](int left, int top, int width, int height) {
        SnapToWorkArea(work, width, height, &left, &top);
        return std::to_string(left) + "," + std::to_string(top);
    };
    EXPECT_EQ(snapped(9, 300, 250, 93), "0,300");
    EXPECT_EQ(snapped(10, 300, 250, 93), "10,300");
    EXPECT_EQ(snapped(-9, 300, 250, 93), "0,300");
    EXPECT_EQ(snapped(1280 - 250 - 9, 300, 250, 93), "1030,300") << "right edge 9 pixels away";
    EXPECT_EQ(snapped(1280 - 250 - 10, 300, 250, 93), "1020,300");
    EXPECT_EQ(snapped(500, 1000 - 15 - 5, 250, 15), "500,985") << "the compact face snaps with its own height";
    EXPECT_EQ(snapped(500, 1000 - 93 - 12, 250, 93), "500,895");
}

TEST(FaceLayout, TitleLineIsBoundedAndCutAtACharacterBoundary)
{
    char line[600];
    EXPECT_EQ(TitleLine("Song", "", line, sizeof line), 11);
    EXPECT_STREQ(line, "Title: Song");
    TitleLine("Song", "Band", line, sizeof line);
    EXPECT_STREQ(line, "Title: Song / Artist: Band");

    // Fields of 256 bytes without a terminator are read to their end only.
    char title[300];
    char artist[300];
    std::memset(title, 'T', sizeof title);
    std::memset(artist, 'A', sizeof artist);
    EXPECT_EQ(TitleLine(title, artist, line, sizeof line), 7 + 256 + 11 + 256);
    EXPECT_EQ(std::string(line), "Title: " + std::string(256, 'T') + " / Artist: " + std::string(256, 'A'));

    // "Title: " and two double-byte characters in 10 bytes: the second one
    // does not fit whole and is left out.
    const char kana[] = "\x83\x65\x83\x58";  // two code page 932 characters
    EXPECT_EQ(TitleLine(kana, "", line, 11), 9);
    EXPECT_EQ(std::string(line), std::string("Title: \x83\x65"));
    EXPECT_EQ(Cp932Fit("a\x83\x65" "b", 4, 2), 1);
    EXPECT_EQ(Cp932Fit("\x5C\x95\x5C", 3, 3), 3) << "0x5C after a lead byte is a trail byte";
}

TEST(VolumeScale, EveryPositionComesBackAndTheEndsAreFullAndSilent)
{
    EXPECT_EQ(VolumeFromSlider(0), 65535u);
    EXPECT_EQ(VolumeFromSlider(100), 0u);
    EXPECT_EQ(SliderFromVolume(32768), 50);
    EXPECT_EQ(SliderFromVolume(65535), 0);
    EXPECT_EQ(SliderFromVolume(0), 100);
    for (int position = 0; position <= 100; ++position) {
        EXPECT_EQ(SliderFromVolume(VolumeFromSlider(position)), position);
        // A mixer that keeps the volume one step off still shows the position.
        EXPECT_EQ(SliderFromVolume(VolumeFromSlider(position) + (position < 100 ? -1 : 1)), position);
    }
}
