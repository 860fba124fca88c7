// The playlist window of the real program, read and driven from outside:
// its rows and totals, deletion, showing and hiding, dragging and double
// clicks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "RemoteList.h"
#include "TarvelProcess.h"
#include "TestWave.h"
#include "WinTestSupport.h"
#include "resources/resource.h"

namespace {

const DWORD StartLimitMs = 20000;
const DWORD StepLimitMs = 5000;

// The caption scrolls: its text twice holds every part of it whole.
std::string Caption(HWND window)
{
    return WindowText(window) + WindowText(window);
}

std::vector<std::string> Column(const RemoteList& list, int column)
{
    std::vector<std::string> cells;
    for (int row = 0; row < list.Rows(); ++row)
        cells.push_back(list.Cell(row, column));
    return cells;
}

// The rows showing a different icon from the rest: the playing one, when
// one plays (the rows not playing share one image).
std::vector<int> MarkedRows(const RemoteList& list)
{
    std::vector<int> images;
    for (int row = 0; row < list.Rows(); ++row)
        images.push_back(list.Image(row));
    std::vector<int> marked;
    for (int row = 0; row < list.Rows(); ++row) {
        if (std::count(images.begin(), images.end(), images[static_cast<std::size_t>(row)]) == 1 && images.size() > 2)
            marked.push_back(row);
    }
    return marked;
}

RECT WindowPlace(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

bool SamePlace(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// The middle of a row's number cell, on the screen.
POINT RowPoint(const RemoteList& list, int row)
{
    const RECT rect = list.RowRect(row, LVIR_LABEL);
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

}  // namespace

// Three WAV files and a missing one in the resume playlist: three rows with
// every cell, the count and the totals; Del and Ctrl+Del; P, the close box
// and P again.
TEST(PlaylistWindow, ShowsEveryCellAndTheTotalsAndDeletesRows)
{
    const std::string folder = MakeTestFolder("playlist-window");
    const std::string one = folder + "\\first.wav", two = folder + "\\second.wav", three = folder + "\\third.wav";
    WriteToneWave(one, 2, 5.0, 3000);
    WriteToneWave(two, 2, 5.0, 3000);
    WriteToneWave(three, 2, 5.0, 3000, 48000);
    ASSERT_TRUE(WriteText(folder + "\\PrePlayList.m3u",
                          one + "\r\n" + folder + "\\missing.wav\r\n" + two + "\r\n" + three + "\r\n"));

    TarvelProcess player;
    HWND main = player.Open("", folder, StartLimitMs);
    ASSERT_NE(main, nullptr) << "gave up after " << StartLimitMs << " ms waiting for the main window";
    HWND frame = player.WaitForWindow("Tarvel PlayList", StepLimitMs);
    ASSERT_NE(frame, nullptr) << "no playlist window";
    EXPECT_FALSE(IsWindowVisible(frame)) << "the playlist window starts hidden";
    RemoteList list(GetDlgItem(frame, IDC_LIST_VIEW), GetDlgItem(frame, IDC_STATUS_BAR));
    ASSERT_TRUE(list.Ready());

    TypeKey(main, 'P');
    ASSERT_TRUE(WaitFor("P to show the playlist window", StepLimitMs, [&] { return IsWindowVisible(frame) != 0; }));
    ASSERT_TRUE(WaitFor("the status bar's count", StepLimitMs, [&] { return list.StatusText(0) == "0003 Files"; }));
    const std::vector<std::vector<std::string>> rows = {
        {"001", "first", " ", "00:05", "1411", "44.1", one},
        {"002", "second", " ", "00:05", "1411", "44.1", two},
        {"003", "third", " ", "00:05", "1536", "48.0", three},
    };
    ASSERT_EQ(list.Rows(), 3);
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 7; ++column)
            EXPECT_EQ(list.Cell(row, column), rows[row][column]) << "row " << row << " column " << column;
    }
    // 5 s at 176400 and 192000 bytes a second: 2724000 bytes.
    EXPECT_EQ(list.StatusText(1), "Total 00:00:15  /  2660 K bytes");

    // The close box hides it; P brings it back where it was, rows and all.
    const RECT place = WindowPlace(frame);
    PostMessageA(frame, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(WaitFor("the close box to hide the window", StepLimitMs, [&] { return !IsWindowVisible(frame); }));
    TypeKey(main, 'P');
    ASSERT_TRUE(WaitFor("P to show it again", StepLimitMs, [&] { return IsWindowVisible(frame) != 0; }));
    EXPECT_TRUE(SamePlace(WindowPlace(frame), place));
    EXPECT_EQ(list.Rows(), 3);

    // A click selects the second row; Del removes it and selects the row
    // that took its place.
    const POINT second = RowPoint(list, 1);
    ClickAt(second.x, second.y);
    ASSERT_TRUE(WaitFor("the click to select row 2", StepLimitMs, [&] { return list.Selected() == 1; }));
    TypeKey(main, VK_DELETE);
    ASSERT_TRUE(WaitFor("Del to remove a row", StepLimitMs, [&] { return list.Rows() == 2; }));
    EXPECT_EQ(Column(list, 0), (std::vector<std::string>{"001", "002"}));
    EXPECT_EQ(Column(list, 1), (std::vector<std::string>{"first", "third"}));
    EXPECT_EQ(list.Selected(), 1);
    ASSERT_TRUE(WaitFor("the status bar after Del", StepLimitMs, [&] { return list.StatusText(0) == "0002 Files"; }));
    EXPECT_EQ(list.StatusText(1), "Total 00:00:10  /  1798 K bytes");

    // Ctrl+Del from the keyboard empties the list.
    SetForegroundWindow(main);
    TypeChord(VK_CONTROL, VK_DELETE);
    ASSERT_TRUE(WaitFor("Ctrl+Del to empty the list", StepLimitMs, [&] { return list.Rows() == 0; }));
    ASSERT_TRUE(WaitFor("the status bar after Ctrl+Del", StepLimitMs, [&] { return list.StatusText(0) == "0000 Files"; }));
    EXPECT_EQ(list.StatusText(1), "Total 00:00:00  /  0 K bytes");

    TypeKey(main, 'P');
    EXPECT_TRUE(WaitFor("P to hide the window", StepLimitMs, [&] { return !IsWindowVisible(frame); }));
    DWORD exitCode = 1234;
    ASSERT_TRUE(player.Close(main, 10000, &exitCode)) << "gave up after 10000 ms waiting for the program to end";
    EXPECT_EQ(exitCode, 0u);
    RemoveTree(folder);
}

// A double click plays its row; a row dragged over several others in one
// move while another plays: the list, the playing mark, the entry that
// plays and the playlist saved at exit all agree.
TEST(PlaylistWindow, DoubleClickPlaysARowAndADragKeepsTheListAndThePlayingEntryInStep)
{
    const std::string folder = MakeTestFolder("playlist-drag");
    std::string arguments;
    std::vector<std::string> paths;
    for (int i = 0; i < 6; ++i) {
        paths.push_back(folder + "\\tone" + std::to_string(i) + ".wav");
        WriteToneWave(paths.back(), 2, 30.0, 2000);
        arguments += "\"" + paths.back() + "\" ";
    }
    TarvelProcess player;
    HWND main = player.Open(arguments, folder, StartLimitMs);
    ASSERT_NE(main, nullptr) << "gave up after " << StartLimitMs << " ms waiting for the main window";
    HWND frame = player.WaitForWindow("Tarvel PlayList", StepLimitMs);
    ASSERT_NE(frame, nullptr);
    RemoteList list(GetDlgItem(frame, IDC_LIST_VIEW), GetDlgItem(frame, IDC_STATUS_BAR));
    TypeKey(main, 'P');
    ASSERT_TRUE(WaitFor("P to show the playlist window", StepLimitMs, [&] { return IsWindowVisible(frame) != 0; }));
    ASSERT_TRUE(WaitFor("the first row to be marked playing", StepLimitMs,
                       [&] { return MarkedRows(list) == std::vector<int>{0}; }));

    const POINT third = RowPoint(list, 2);
    ClickAt(third.x, third.y, 2);
    ASSERT_TRUE(WaitFor("the double click to mark row 3 playing", StepLimitMs,
                       [&] { return MarkedRows(list) == std::vector<int>{2}; }));
    ASSERT_TRUE(WaitFor("the caption to name tone2", StepLimitMs,
                       [&] { return Caption(main).find("tone2") != std::string::npos; }));

    // Row 1 pressed, nudged to start the drag, then carried to row 5 in one move.
    const POINT first = RowPoint(list, 0), fifth = RowPoint(list, 4);
    MovePointer(first.x, first.y);
    Sleep(50);
    PressPointer(true);
    Sleep(50);
    for (int step = 1; step <= 6; ++step) {
        MovePointer(first.x + step, first.y);
        Sleep(30);
    }
    MovePointer(fifth.x, fifth.y);
    Sleep(100);
    PressPointer(false);
    const std::vector<std::string> order = {"tone1", "tone2", "tone3", "tone4", "tone0", "tone5"};
    ASSERT_TRUE(WaitFor("the drag to reorder the rows", StepLimitMs, [&] { return Column(list, 1) == order; }))
        << "titles now: " << ::testing::PrintToString(Column(list, 1));
    EXPECT_EQ(Column(list, 0), (std::vector<std::string>{"001", "002", "003", "004", "005", "006"}));
    EXPECT_EQ(MarkedRows(list), std::vector<int>{1}) << "the playing mark follows tone2";
    Sleep(1500);  // the caption is refreshed every second of playback
    EXPECT_NE(Caption(main).find(" 0002/0006 "), std::string::npos) << Caption(main);
    EXPECT_NE(Caption(main).find("tone2"), std::string::npos) << Caption(main);

    DWORD exitCode = 1234;
    ASSERT_TRUE(player.Close(main, 10000, &exitCode)) << "gave up after 10000 ms waiting for the program to end";
    EXPECT_EQ(exitCode, 0u);
    std::string saved;
    for (const std::string& title : order)
        saved += folder + "\\" + title + ".wav\r\n";
    EXPECT_EQ(ReadText(folder + "\\PrePlayList.m3u"), saved);
    RemoveTree(folder);
}

// Not part of the test run (scripts/bench-playlist.sh): how long resume
// playlists of 2500, 5000 and 10000 lines take to fill the list and to give
// a window that answers, and to scroll the list from its first row to its
// last. Time that grows with the square of the rows shows here.
TEST(PlaylistBench, LongResumePlaylistsLoadAndScroll)
{
    const std::string folder = MakeTestFolder("playlist-bench");
    for (int i = 0; i < 10; ++i)
        WriteToneWave(folder + "\\clip" + std::to_string(i) + ".wav", 2, 0.1, 2000);
    for (int count : {2500, 5000, 10000}) {
        std::string lines;
        for (int i = 0; i < count; ++i)
            lines += folder + "\\clip" + std::to_string(i % 10) + ".wav\r\n";
        ASSERT_TRUE(WriteText(folder + "\\PrePlayList.m3u", lines));

        LARGE_INTEGER frequency, started, now;
        QueryPerformanceFrequency(&frequency);
        const auto seconds = [&] {
            QueryPerformanceCounter(&now);
            return static_cast<double>(now.QuadPart - started.QuadPart) / frequency.QuadPart;
        };
        QueryPerformanceCounter(&started);
        TarvelProcess player;
        HWND main = player.Open("", folder, 120000);
        ASSERT_NE(main, nullptr) << "gave up after 120000 ms waiting for the main window";
        HWND frame = player.WaitForWindow("Tarvel PlayList", 5000);
        ASSERT_NE(frame, nullptr);
        RemoteList list(GetDlgItem(frame, IDC_LIST_VIEW), GetDlgItem(frame, IDC_STATUS_BAR));
        ASSERT_TRUE(WaitFor("the rows", 120000, [&] { return list.Rows() == count; }));
        const double filled = seconds();
        // Responsive: P shows the playlist window and its paint counts the rows.
        TypeKey(main, 'P');
        const std::string files = std::to_string(count) + " Files";
        ASSERT_TRUE(WaitFor("the shown window's count", 120000, [&] { return list.StatusText(0) == files; }))
            << "status: " << list.StatusText(0) << ", shown: " << IsWindowVisible(frame);
        const double responsive = seconds();

        // From the first row to the last, a page at a time, each page painted.
        HWND view = GetDlgItem(frame, IDC_LIST_VIEW);
        SendMessageA(view, WM_KEYDOWN, VK_HOME, 0);
        RedrawWindow(view, nullptr, nullptr, RDW_UPDATENOW);
        QueryPerformanceCounter(&started);
        int pages = 0;
        while (SendMessageA(view, LVM_GETNEXTITEM, -1, LVNI_FOCUSED) != count - 1 && pages < count) {
            SendMessageA(view, WM_KEYDOWN, VK_NEXT, 0);
            RedrawWindow(view, nullptr, nullptr, RDW_UPDATENOW);
            ++pages;
        }
        const double scrolled = seconds();
        std::printf("%5d rows: filled %.2f s after the start, window answering %.2f s; %d pages to the last row in "
                    "%.2f s (%.1f ms a page)\n",
                    count, filled, responsive, pages, scrolled, scrolled * 1000 / std::max(pages, 1));
        DWORD exitCode = 1234;
        ASSERT_TRUE(player.Close(main, 60000, &exitCode)) << "gave up after 60000 ms waiting for the program to end";
    }
    RemoveTree(folder);
}
