// A minute of a person hammering the player: keys, commands and seeks every
// few milliseconds while a playlist of short clips changes track several
// times a second. The program must keep answering and close cleanly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <set>
#include <string>

#include "RemoteList.h"
#include "TarvelProcess.h"
#include "TestWave.h"
#include "WinTestSupport.h"
#include "resources/resource.h"

namespace {

bool Topmost(HWND main)
{
    return (GetWindowLongA(main, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

// Types F1 after a burst of input and waits up to 5 s for the window to
// change its topmost state: then all input before it was taken. The wait.
::testing::AssertionResult Drain(HWND main, DWORD* waited)
{
    const bool wasTopmost = Topmost(main);
    const DWORD typed = GetTickCount();
    TypeKey(main, VK_F1);
    while (Topmost(main) == wasTopmost) {
        if (GetTickCount() - typed >= 5000)
            return ::testing::AssertionFailure() << "gave up after 5000 ms waiting for the window to take its input";
        Sleep(2);
    }
    *waited = GetTickCount() - typed;
    return ::testing::AssertionSuccess();
}

}  // namespace

TEST(Stress, CommandsSeeksAndKeysWhileTracksChange)
{
    const std::string folder = MakeTestFolder("stress");
    std::string arguments;
    for (int i = 0; i < 12; ++i) {
        const std::string path = folder + "\\clip" + std::to_string(i) + ".wav";
        WriteToneWave(path, 2, 0.25, 2000);
        arguments += "\"" + path + "\" ";
    }
    TarvelProcess player;
    HWND main = player.Open(arguments, folder);
    ASSERT_NE(main, nullptr) << "gave up after 20000 ms waiting for the main window";
    // Repeat all: the clips go round for the whole minute.
    for (int i = 0; i < 2; ++i) {
        PostMessageA(main, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(79, 57));
        PostMessageA(main, WM_LBUTTONUP, 0, MAKELPARAM(79, 57));
    }

    std::mt19937 random(20261207);
    // Input arrives as it does from a person: keys, button commands and
    // presses through the window's queue, in bursts of twenty a few
    // milliseconds apart. After each burst F1 (typed last) must put the
    // window on top or take it off within 5 s: everything before it was taken.
    const UINT keys[] = {VK_RETURN, VK_RIGHT, VK_SPACE, VK_LEFT, VK_DOWN, VK_UP, VK_F2, VK_F5};
    const WORD commands[] = {120, 120, 120, 40002, 40003, 40004};
    std::set<std::string> playing;
    int actions = 0;
    DWORD slowest = 0;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 60000) {
        for (int i = 0; i < 20; ++i, ++actions) {
            const unsigned choice = random() % 8;
            if (choice < 3) {
                TypeKey(main, keys[random() % std::size(keys)]);
            } else if (choice < 6) {
                PostMessageA(main, WM_COMMAND, commands[random() % std::size(commands)], 0);
            } else {
                const int x = 5 + static_cast<int>(random() % 217);
                PostMessageA(main, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, 70));
                PostMessageA(main, WM_LBUTTONUP, 0, MAKELPARAM(x, 70));
            }
            Sleep(1 + random() % 8);
        }
        DWORD waited = 0;
        ASSERT_TRUE(Drain(main, &waited)) << GetTickCount() - start << " ms in";
        slowest = std::max(slowest, waited);
        char caption[1024] = {};
        GetWindowTextA(main, caption, sizeof caption);
        const std::string text = caption;
        const std::size_t at = text.find("/0012");
        if (at != std::string::npos && at >= 4)
            playing.insert(text.substr(at - 4, 4));
    }
    ASSERT_TRUE(player.IsRunning()) << "the program ended during the run";
    std::printf("%d actions in 60 s; the longest wait for a burst to be taken %lu ms; %zu different tracks seen "
                "playing\n", actions, static_cast<unsigned long>(slowest), playing.size());
    EXPECT_GT(playing.size(), 3u) << "tracks changed during the run";

    const DWORD closing = GetTickCount();
    DWORD exitCode = 1234;
    ASSERT_TRUE(player.Close(main, 2000, &exitCode)) << "gave up after 2000 ms waiting for the program to close";
    std::printf("closed in %lu ms\n", static_cast<unsigned long>(GetTickCount() - closing));
    EXPECT_EQ(exitCode, 0u);
    RemoveTree(folder);
}

// A minute of deleting, dragging and double-clicking rows of the playlist
// window while clips of a quarter second change track after track.
TEST(Stress, RowsDeletedDraggedAndPlayedWhileTracksChange)
{
    const std::string folder = MakeTestFolder("stress-rows");
    std::string lines;
    for (int i = 0; i < 12; ++i)
        WriteToneWave(folder + "\\c" + std::to_string(i) + ".wav", 2, 0.25, 2000);
    for (int i = 0; i < 300; ++i)
        lines += folder + "\\c" + std::to_string(i % 12) + ".wav\r\n";
    ASSERT_TRUE(WriteText(folder + "\\PrePlayList.m3u", lines));
    TarvelProcess player;
    HWND main = player.Open("", folder);
    ASSERT_NE(main, nullptr) << "gave up after 20000 ms waiting for the main window";
    HWND frame = player.WaitForWindow("Tarvel PlayList", 5000);
    ASSERT_NE(frame, nullptr);
    for (int i = 0; i < 2; ++i) {  // repeat all
        PostMessageA(main, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(79, 57));
        PostMessageA(main, WM_LBUTTONUP, 0, MAKELPARAM(79, 57));
    }
    TypeKey(main, 'P');
    TypeKey(main, VK_RETURN);
    RemoteList list(GetDlgItem(frame, IDC_LIST_VIEW), GetDlgItem(frame, IDC_STATUS_BAR));
    ASSERT_TRUE(list.Ready());
    DWORD ignored = 0;
    ASSERT_TRUE(Drain(main, &ignored));
    ASSERT_EQ(list.Rows(), 300);

    std::mt19937 random(20261208);
    int deletes = 0, drags = 0, plays = 0;
    DWORD slowest = 0;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 60000) {
        for (int i = 0; i < 6; ++i) {
            const int rows = list.Rows();
            const int a = static_cast<int>(random() % 12), b = static_cast<int>(random() % 12);
            const RECT from = list.RowRect(a, LVIR_LABEL), to = list.RowRect(b, LVIR_LABEL);
            const unsigned choice = random() % 3;
            if (choice == 0 && rows > 40) {
                ClickAt((from.left + from.right) / 2, (from.top + from.bottom) / 2);
                TypeKey(main, VK_DELETE);
                ++deletes;
            } else if (choice == 1) {
                MovePointer((from.left + from.right) / 2, (from.top + from.bottom) / 2);
                PressPointer(true);
                for (int step = 1; step <= 6; ++step) {
                    MovePointer((from.left + from.right) / 2 + step, (from.top + from.bottom) / 2);
                    Sleep(5);
                }
                MovePointer((to.left + to.right) / 2, (to.top + to.bottom) / 2);
                Sleep(5);
                PressPointer(false);
                ++drags;
            } else {
                ClickAt((from.left + from.right) / 2, (from.top + from.bottom) / 2, 2);
                ++plays;
            }
            Sleep(20 + random() % 40);
        }
        DWORD waited = 0;
        ASSERT_TRUE(Drain(main, &waited)) << GetTickCount() - start << " ms in";
        slowest = std::max(slowest, waited);
    }
    ASSERT_TRUE(player.IsRunning()) << "the program ended during the run";
    const int rows = list.Rows();
    std::printf("%d deletes, %d drags, %d double clicks in 60 s; %d rows left; the longest wait for a burst to be "
                "taken %lu ms\n", deletes, drags, plays, rows, static_cast<unsigned long>(slowest));
    EXPECT_GT(deletes, 20);
    EXPECT_GT(drags, 20);

    DWORD exitCode = 1234;
    ASSERT_TRUE(player.Close(main, 2000, &exitCode)) << "gave up after 2000 ms waiting for the program to close";
    EXPECT_EQ(exitCode, 0u);
    const std::string saved = ReadText(folder + "\\PrePlayList.m3u");
    EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), rows) << "the rows and the saved playlist agree";
    RemoveTree(folder);
}
