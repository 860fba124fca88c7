// The real program's small windows: the volume slider, the tray mode, the
// options dialog and the about box.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include <string>
#include <vector>

#include "TarvelProcess.h"
#include "TestWave.h"
#include "WinTestSupport.h"
#include "resources/resource.h"

namespace {

const DWORD StartLimitMs = 20000;
const DWORD StepLimitMs = 5000;

// The visible dialog windows of `process` with the caption `caption`.
std::vector<HWND> Dialogs(const TarvelProcess& process, const std::string& caption)
{
    std::vector<HWND> found;
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, "#32770", nullptr)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == process.Info.dwProcessId && IsWindowVisible(window) && WindowText(window) == caption)
            found.push_back(window);
    }
    return found;
}

HWND WaitForDialog(const TarvelProcess& process, const std::string& caption)
{
    HWND dialog = nullptr;
    WaitFor("the dialog", StepLimitMs, [&] {
        const std::vector<HWND> found = Dialogs(process, caption);
        dialog = found.empty() ? nullptr : found.front();
        return dialog != nullptr;
    });
    return dialog;
}

int SliderPosition(HWND dialog)
{
    return static_cast<int>(SendMessageA(GetDlgItem(dialog, IDC_VOLUME_SLIDER), TBM_GETPOS, 0, 0));
}

// The slider dragged to `position`, as its thumb reports a drag's end.
void DragSlider(HWND dialog, int position)
{
    HWND slider = GetDlgItem(dialog, IDC_VOLUME_SLIDER);
    SendMessageA(slider, TBM_SETPOS, TRUE, position);
    SendMessageA(dialog, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, position), reinterpret_cast<LPARAM>(slider));
}

}  // namespace

TEST(VolumeWindow, OpensOnceByThePointerKeepsEveryPositionMutesAndClosesItself)
{
    const std::string folder = MakeTestFolder("volume");
    TarvelProcess player;
    HWND main = player.Open("", folder, StartLimitMs);
    ASSERT_NE(main, nullptr) << "gave up after " << StartLimitMs << " ms waiting for the main window";

    // Low on the screen the window opens above the pointer, near the top below it.
    for (const POINT pointer : {POINT{400, 500}, POINT{400, 100}}) {
        MovePointer(pointer.x, pointer.y);
        Sleep(100);
        TypeKey(main, 'V');
        HWND dialog = WaitForDialog(player, "Volume");
        ASSERT_NE(dialog, nullptr) << "V opened no volume window";
        RECT place{};
        GetWindowRect(dialog, &place);
        EXPECT_EQ(place.left, pointer.x - 48);
        EXPECT_EQ(place.top, pointer.y < 240 ? pointer.y - 5 : pointer.y - 150);
        EXPECT_TRUE((GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0);
        TypeKey(main, 'V');
        Sleep(200);
        EXPECT_EQ(Dialogs(player, "Volume").size(), 1u) << "a second V opens no second window";
        TypeKey(dialog, VK_ESCAPE);
        ASSERT_TRUE(WaitFor("Esc to close the volume window", StepLimitMs, [&] { return !IsWindow(dialog); }));
        EXPECT_TRUE(player.IsRunning()) << "Esc closed the program";
    }
    MovePointer(400, 500);

    // Every position set is the position the next opening shows.
    TypeKey(main, 'V');
    HWND dialog = WaitForDialog(player, "Volume");
    ASSERT_NE(dialog, nullptr);
    HWND slider = GetDlgItem(dialog, IDC_VOLUME_SLIDER);
    EXPECT_EQ(SendMessageA(slider, TBM_GETRANGEMIN, 0, 0), 0);
    EXPECT_EQ(SendMessageA(slider, TBM_GETRANGEMAX, 0, 0), 100);
    const int before = SliderPosition(dialog);
    std::vector<int> wrong;
    for (int position = 0; position <= 100; ++position) {
        DragSlider(dialog, position);
        TypeKey(dialog, VK_ESCAPE);
        ASSERT_TRUE(WaitFor("Esc to close the volume window", StepLimitMs, [&] { return !IsWindow(dialog); }));
        TypeKey(main, 'V');
        dialog = WaitForDialog(player, "Volume");
        ASSERT_NE(dialog, nullptr);
        if (SliderPosition(dialog) != position)
            wrong.push_back(position);
    }
    EXPECT_TRUE(wrong.empty()) << ::testing::PrintToString(wrong) << " came back elsewhere";

    // A page down by key (as a click beside the thumb pages) sets the volume too.
    DragSlider(dialog, 40);
    TypeKey(GetDlgItem(dialog, IDC_VOLUME_SLIDER), VK_NEXT);
    ASSERT_TRUE(WaitFor("the page to move the thumb", StepLimitMs, [&] { return SliderPosition(dialog) == 60; }));
    TypeKey(dialog, VK_ESCAPE);
    ASSERT_TRUE(WaitFor("Esc to close the volume window", StepLimitMs, [&] { return !IsWindow(dialog); }));
    TypeKey(main, 'V');
    dialog = WaitForDialog(player, "Volume");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(SliderPosition(dialog), 60) << "the paged position is the volume";

    // Mute: the slider to the bottom; again: back where it was.
    DragSlider(dialog, 30);
    HWND mute = GetDlgItem(dialog, IDC_MUTE);
    SendMessageA(mute, BM_CLICK, 0, 0);
    EXPECT_EQ(SliderPosition(dialog), 100);
    EXPECT_EQ(SendMessageA(mute, BM_GETCHECK, 0, 0), BST_CHECKED);
    SendMessageA(mute, BM_CLICK, 0, 0);
    EXPECT_EQ(SliderPosition(dialog), 30);
    DragSlider(dialog, before);  // the sink as it was

    // Left alone, it closes itself after one to two ticks of a second.
    const DWORD left = GetTickCount();
    ASSERT_TRUE(WaitFor("the idle volume window to close", 5000, [&] { return !IsWindow(dialog); }));
    const DWORD idle = GetTickCount() - left;
    std::printf("the volume window closed itself %lu ms after it was left alone\n", static_cast<unsigned long>(idle));
    EXPECT_GE(idle, 900u);
    EXPECT_TRUE(player.IsRunning());

    DWORD exitCode = 1234;
    ASSERT_TRUE(player.Close(main, 10000, &exitCode)) << "gave up after 10000 ms waiting for the program to end";
    EXPECT_EQ(exitCode, 0u);
    RemoveTree(folder);
}

TEST(Tray, F3HidesBothWindowsBehindAnIconThatBringsThemBack)
{
    const std::string folder = MakeTestFolder("tray");
    TarvelProcess player;
    HWND main = player.Open("", folder, StartLimitMs);
    ASSERT_NE(main, nullptr) << "gave up after " << StartLimitMs << " ms waiting for the main window";
    HWND list = player.WaitForWindow("Tarvel PlayList", StepLimitMs);
    TypeKey(main, 'P');
    ASSERT_TRUE(WaitFor("P to show the playlist window", StepLimitMs, [&] { return IsWindowVisible(list) != 0; }));

    NOTIFYICONDATAA icon{};
    icon.cbSize = sizeof icon;
    icon.hWnd = main;
    icon.uID = 1;
    icon.uFlags = NIF_TIP;
    std::strcpy(icon.szTip, "Tarvel");
    EXPECT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &icon)) << "no icon before F3";

    TypeKey(main, VK_F3);
    ASSERT_TRUE(WaitFor("F3 to hide both windows", StepLimitMs,
                       [&] { return !IsWindowVisible(main) && !IsWindowVisible(list); }));
    EXPECT_TRUE(Shell_NotifyIconA(NIM_MODIFY, &icon)) << "the icon is there";
    EXPECT_TRUE((GetWindowLongA(main, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0) << "off the taskbar";

    // A right click brings nothing back; a left click both windows.
    PostMessageA(main, WM_APP + 5, 1, WM_RBUTTONDOWN);
    Sleep(300);
    EXPECT_FALSE(IsWindowVisible(main));
    PostMessageA(main, WM_APP + 5, 1, WM_LBUTTONDOWN);
    ASSERT_TRUE(WaitFor("the click to bring both windows back", StepLimitMs,
                       [&] { return IsWindowVisible(main) && IsWindowVisible(list); }));
    EXPECT_FALSE((GetWindowLongA(main, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0);
    EXPECT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &icon)) << "the icon went";

    // Into the tray again, and out of the program from there: no icon is left.
    TypeKey(main, VK_F3);
    ASSERT_TRUE(WaitFor("F3 to hide the main window", StepLimitMs, [&] { return !IsWindowVisible(main); }));
    DWORD exitCode = 1234;
    ASSERT_TRUE(player.Close(main, 10000, &exitCode)) << "gave up after 10000 ms waiting for the program to end";
    EXPECT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &icon)) << "an icon outlived the program";
    RemoveTree(folder);
}

TEST(Options, TheToolTipBoxStopsAndStartsTipsAtOnceAndOkOrCancelDecides)
{
    const std::string folder = MakeTestFolder("options");
    for (const int answer : {IDOK, IDCANCEL}) {
        TarvelProcess player;
        HWND main = player.Open("", folder, StartLimitMs);
        ASSERT_NE(main, nullptr) << "gave up after " << StartLimitMs << " ms waiting for the main window";
        TypeKey(main, 'O');
        HWND dialog = WaitForDialog(player, "オプション");
        ASSERT_NE(dialog, nullptr) << "O opened no options dialog";
        HWND box = GetDlgItem(dialog, IDC_TOOL_HINTS);
        EXPECT_EQ(WindowText(box), "ツールヒントを表示する");
        EXPECT_EQ(WindowText(GetDlgItem(dialog, IDOK)), "OK");
        EXPECT_EQ(WindowText(GetDlgItem(dialog, IDCANCEL)), "ｷｬﾝｾﾙ");
        EXPECT_EQ(SendMessageA(box, BM_GETCHECK, 0, 0), BST_CHECKED);

        SendMessageA(box, BM_CLICK, 0, 0);
        EXPECT_EQ(SendMessageA(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);
        EXPECT_FALSE(TipShows(main, 1, 1500)) << "unticked: no tips at once";
        PostMessageA(dialog, WM_COMMAND, answer, 0);
        ASSERT_TRUE(WaitFor("the dialog to close", StepLimitMs, [&] { return !IsWindow(dialog); }));
        EXPECT_EQ(TipShows(main, 1, 3000), answer == IDCANCEL) << (answer == IDOK ? "OK" : "Cancel");

        // Esc in the dialog closes the dialog, not the program.
        TypeKey(main, 'O');
        dialog = WaitForDialog(player, "オプション");
        ASSERT_NE(dialog, nullptr);
        TypeKey(dialog, VK_ESCAPE);
        ASSERT_TRUE(WaitFor("Esc to close the dialog", StepLimitMs, [&] { return !IsWindow(dialog); }));
        Sleep(300);
        EXPECT_TRUE(player.IsRunning()) << "Esc in the dialog closed the program";

        DWORD exitCode = 1234;
        ASSERT_TRUE(player.Close(main, 10000, &exitCode)) << "gave up after 10000 ms waiting for the program to end";
        DWORD stored = 99, size = sizeof stored;
        RegGetValueA(HKEY_CURRENT_USER, "Software\\Quenby\\Tarvel\\Settings", "OptionToolHint", RRF_RT_REG_DWORD,
                     nullptr, &stored, &size);
        EXPECT_EQ(stored, answer == IDOK ? 0u : 1u);
    }
    RemoveTree(folder);
}

TEST(About, TheLogoShowsTheVersionAndNoClosesIt)
{
    const std::string folder = MakeTestFolder("about");
    TarvelProcess player;
    HWND main = player.Open("", folder, StartLimitMs);
    ASSERT_NE(main, nullptr) << "gave up after " << StartLimitMs << " ms waiting for the main window";
    POINT logo{30, 7};
    ClientToScreen(main, &logo);
    ClickAt(logo.x, logo.y);
    HWND box = WaitForDialog(player, "Tarvel");
    ASSERT_NE(box, nullptr) << "the logo click showed no about box";
    char text[512] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    const std::string shown = text;
    EXPECT_EQ(shown.find("Tarvel Version:  1.19"), 0u) << shown;
    EXPECT_NE(shown.find("Tarvel のホームページを開きます"), std::string::npos) << shown;
    EXPECT_NE(shown.find("https://"), std::string::npos) << shown;
    PostMessageA(box, WM_COMMAND, IDNO, 0);
    ASSERT_TRUE(WaitFor("No to close the about box", StepLimitMs, [&] { return !IsWindow(box); }));
    EXPECT_TRUE(player.IsRunning());
    DWORD exitCode = 1234;
    ASSERT_TRUE(player.Close(main, 10000, &exitCode)) << "gave up after 10000 ms waiting for the program to end";
    RemoveTree(folder);
}
