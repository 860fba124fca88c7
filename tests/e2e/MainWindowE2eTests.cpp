// The real program's main window driven as a person drives it: keys typed
// into it, the pointer pressed, moved and released, and what the face then
// shows on the screen.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "FaceReader.h"
#include "TarvelProcess.h"
#include "TestWave.h"
#include "WinTestSupport.h"

namespace {

const DWORD StartLimitMs = 20000;

// The program playing `files` (generated 44100 Hz stereo tones of
// `seconds` each), its window up and visible.
class RunningPlayer {
public:
    RunningPlayer(const char* folderName, int files, double seconds) : Folder(MakeTestFolder(folderName))
    {
        std::string arguments;
        for (int i = 0; i < files; ++i) {
            const std::string path = Folder + "\\tone" + std::to_string(i + 1) + ".wav";
            WriteToneWave(path, 2, seconds, 3000);
            arguments += "\"" + path + "\" ";
        }
        Park();
        Main = Process.Open(arguments, Folder, StartLimitMs);
        if (Main != nullptr)
            SetWindowPos(Main, nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
    ~RunningPlayer()
    {
        DWORD code = 0;
        if (Main != nullptr && Process.IsRunning())
            Process.Close(Main, 5000, &code);
        RemoveTree(Folder);
    }

    // A key typed into the main window (through the program's own loop and
    // its keyboard table).
    void Key(UINT key) const
    {
        TypeKey(Main, key);
        Sleep(150);
    }
    // The pointer to a client point of the main window (device pixels).
    void MoveTo(int x, int y) const
    {
        POINT p{x, y};
        ClientToScreen(Main, &p);
        MovePointer(p.x, p.y);
        Sleep(60);
    }
    void Press() const { Button(MOUSEEVENTF_LEFTDOWN); }
    void Release() const { Button(MOUSEEVENTF_LEFTUP); }
    void Click(int x, int y) const
    {
        MoveTo(x, y);
        Press();
        Release();
    }
    // The pointer out of the way of the face and its tooltips.
    static void Park()
    {
        MovePointer(1270, 1010);
        Sleep(60);
    }

    SIZE Client() const
    {
        RECT r;
        GetClientRect(Main, &r);
        return {r.right, r.bottom};
    }
    RECT Place() const
    {
        RECT r;
        GetWindowRect(Main, &r);
        return r;
    }
    // The dialog box of the program that is open, if any.
    HWND Dialog() const { return Process.WaitForWindow("#32770", 0); }

    std::string Folder;
    TarvelProcess Process;
    HWND Main = nullptr;

private:
    static void Button(DWORD flag)
    {
        INPUT input{};
        input.type = INPUT_MOUSE;
        input.mi.dwFlags = flag;
        SendInput(1, &input, sizeof input);
        Sleep(120);
    }
};

// The rectangle of control `id` in the main window's client area.
RECT ControlRect(HWND main, int id)
{
    RECT r{};
    HWND control = GetDlgItem(main, id);
    if (control == nullptr)
        return r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::string Text(const RECT& r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x" +
           std::to_string(r.bottom - r.top);
}

struct Place {
    int Id, X, Y, W, H, CompactX, CompactY, CompactW, CompactH;
};
// The fifteen buttons: full and compact places in skin units. The option
// button keeps its full place in the compact face.
const Place Places[15] = {
    {103, 211, 4, 7, 7, 211, 4, 7, 7},       {105, 232, 4, 7, 7, 232, 4, 7, 7},
    {1009, 4, 4, 7, 7, 4, 4, 7, 7},          {1010, 239, 4, 7, 7, 239, 4, 7, 7},
    {1011, 204, 4, 7, 7, 204, 4, 7, 7},      {1012, 225, 4, 7, 7, 225, 4, 7, 7},
    {1013, 218, 4, 7, 7, 218, 4, 7, 7},      {109, 226, 67, 19, 7, 174, 3, 17, 8},
    {117, 63, 78, 19, 10, 126, 3, 18, 8},    {118, 203, 78, 13, 10, 203, 78, 13, 10},
    {119, 220, 78, 25, 10, 162, 3, 12, 8},   {120, 31, 78, 29, 10, 108, 3, 18, 8},
    {40002, 5, 78, 23, 10, 100, 3, 8, 8},    {40003, 111, 78, 20, 10, 153, 3, 9, 8},
    {40004, 88, 78, 20, 10, 144, 3, 9, 8},
};

::testing::AssertionResult ButtonsAt(HWND main, int scale, bool compact)
{
    for (const Place& p : Places) {
        if (compact && p.Id == 118)
            continue;  // not moved: it lies below the compact face, out of sight
        const RECT want = compact ? RECT{p.CompactX * scale, p.CompactY * scale, (p.CompactX + p.CompactW) * scale,
                                         (p.CompactY + p.CompactH) * scale}
                                  : RECT{p.X * scale, p.Y * scale, (p.X + p.W) * scale, (p.Y + p.H) * scale};
        const RECT got = ControlRect(main, p.Id);
        if (!EqualRect(&want, &got))
            return ::testing::AssertionFailure() << "button " << p.Id << " at scale " << scale
                                                 << (compact ? " (compact)" : "") << ": " << Text(got) << ", not "
                                                 << Text(want);
    }
    return ::testing::AssertionSuccess();
}

HWND ToolTipOf(const TarvelProcess& process)
{
    return process.WaitForWindow("tooltips_class32", 0);
}

}  // namespace

TEST(MainWindow, ScalesAndCompactFaceResizeTheWindowAndPlaceTheButtons)
{
    RunningPlayer player("face-sizes", 1, 30);
    ASSERT_NE(player.Main, nullptr) << "gave up after " << StartLimitMs << " ms waiting for the main window";
    auto size = [&] { return std::to_string(player.Client().cx) + "x" + std::to_string(player.Client().cy); };
    EXPECT_EQ(size(), "250x93");
    EXPECT_TRUE(ButtonsAt(player.Main, 1, false));
    HWND tip = ToolTipOf(player.Process);
    ASSERT_NE(tip, nullptr) << "the tooltip control";
    EXPECT_EQ(SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0), 15);

    std::vector<std::string> sizes;
    for (int i = 0; i < 3; ++i) {
        player.Key(VK_F2);
        sizes.push_back(size());
        if (i == 0) {
            EXPECT_TRUE(ButtonsAt(player.Main, 2, false));
            // The pointer went onto the scale button at its new place.
            POINT pointer;
            GetCursorPos(&pointer);
            ScreenToClient(player.Main, &pointer);
            EXPECT_EQ(pointer.x, 422);
            EXPECT_EQ(pointer.y, 8);
        }
    }
    EXPECT_EQ(sizes, (std::vector<std::string>{"500x186", "1000x372", "250x93"}));

    sizes.clear();
    player.Key(VK_F5);
    sizes.push_back(size());
    EXPECT_TRUE(ButtonsAt(player.Main, 1, true));
    player.Key(VK_F2);
    sizes.push_back(size());
    EXPECT_TRUE(ButtonsAt(player.Main, 2, true));
    player.Key(VK_F2);
    sizes.push_back(size());
    player.Key(VK_F2);
    player.Key(VK_F5);
    sizes.push_back(size());
    EXPECT_EQ(sizes, (std::vector<std::string>{"250x15", "500x30", "1000x60", "250x93"}));
    EXPECT_TRUE(ButtonsAt(player.Main, 1, false));
}

// While a 20-second tone plays: the time counts the seconds, the stream's
// figures show, the knob stands where the time says, and the remaining time
// carries its minus; at scale 1 and 2.
TEST(MainWindow, TheFaceShowsWhatPlays)
{
    RunningPlayer player("face-pixels", 1, 20);
    ASSERT_NE(player.Main, nullptr) << "gave up after " << StartLimitMs << " ms waiting for the main window";
    FaceReader face(TarvelExe);
    for (int scale : {1, 2}) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        if (scale == 2) {
            player.Key(VK_F2);
            RunningPlayer::Park();
        }
        int seconds = -1;
        ASSERT_TRUE(WaitFor("the time display to read a time", 5000, [&] {
            face.Capture(player.Main);
            seconds = face.Time(scale);
            return seconds >= 0;
        }));
        // Each second shows, one after the other.
        for (int step = 0; step < 3; ++step) {
            const int before = seconds;
            const DWORD from = GetTickCount();
            ASSERT_TRUE(WaitFor("the next second", 1600, [&] {
                face.Capture(player.Main);
                seconds = face.Time(scale);
                return seconds != before && seconds >= 0;
            }));
            EXPECT_EQ(seconds, before + 1) << "after " << GetTickCount() - from << " ms";
        }
        EXPECT_EQ(face.TimeSign(scale), 12) << "elapsed time has no sign";
        EXPECT_EQ(face.TrackNumber(scale), 1);
        EXPECT_EQ(face.Tiny(7, 51, 4, scale), 1411) << "bit rate";
        EXPECT_EQ(face.Tiny(9, 57, 5, scale), 44100) << "sample rate";
        EXPECT_EQ(face.Frame(IDB_CHANNEL_MODE, 2, 23, 5, 42, 51, scale), 0) << "STEREO";
        // Time and knob come from two reads of the position: take a picture
        // in which they agree.
        int knob = -1;
        EXPECT_TRUE(WaitFor("the knob at 5 + seconds * 200 / 20", 3000, [&] {
            face.Capture(player.Main);
            seconds = face.Time(scale);
            knob = face.KnobLeft(scale);
            return knob == 5 + seconds * 200 / 20;
        })) << "knob at " << knob << " after " << seconds << " s";
        std::printf("scale %d: %d s, knob at %d\n", scale, seconds, knob);

        // A click on the time shows the time that remains, with its minus.
        player.Click(50 * scale, 40 * scale);
        RunningPlayer::Park();
        EXPECT_TRUE(WaitFor("the remaining time", 2000, [&] {
            face.Capture(player.Main);
            return face.TimeSign(scale) == 11 && face.Time(scale) >= 0;
        }));
        const int remaining = face.Time(scale);
        EXPECT_NEAR(remaining, 20 - seconds, 2);
        player.Click(50 * scale, 40 * scale);
        RunningPlayer::Park();
        EXPECT_TRUE(WaitFor("the elapsed time again", 2000, [&] {
            face.Capture(player.Main);
            return face.TimeSign(scale) == 12;
        }));
    }
}

TEST(MainWindow, EveryKeyHasItsEffect)
{
    RunningPlayer player("face-keys", 3, 30);
    ASSERT_NE(player.Main, nullptr) << "gave up after " << StartLimitMs << " ms waiting for the main window";
    FaceReader face(TarvelExe);
    auto time = [&] {
        face.Capture(player.Main);
        return face.Time(1);
    };
    auto track = [&] {
        face.Capture(player.Main);
        return face.TrackNumber(1);
    };
    ASSERT_TRUE(WaitFor("playback of the command line's files", 5000, [&] { return time() >= 1; }));

    player.Key(VK_RIGHT);  // pause
    const int paused = time();
    Sleep(1500);
    EXPECT_EQ(time(), paused) << "Right pauses";
    player.Key(VK_RETURN);  // resume
    EXPECT_TRUE(WaitFor("Enter to resume", 2500, [&] { return time() > paused; }));
    player.Key(VK_SPACE);
    EXPECT_TRUE(WaitFor("Space to stop", 2000, [&] { return time() == 0; }));
    player.Key(VK_RETURN);
    EXPECT_TRUE(WaitFor("Enter to play", 3000, [&] { return time() >= 1; }));
    player.Key(VK_LEFT);
    EXPECT_TRUE(WaitFor("Left to stop", 2000, [&] { return time() == 0; }));

    player.Key(VK_DOWN);
    EXPECT_TRUE(WaitFor("Down to the second track", 2000, [&] { return track() == 2; }));
    player.Key(VK_DOWN);
    EXPECT_TRUE(WaitFor("Down to the third track", 2000, [&] { return track() == 3; }));
    player.Key(VK_UP);
    EXPECT_TRUE(WaitFor("Up to the second track", 2000, [&] { return track() == 2; }));

    auto topmost = [&] { return (GetWindowLongA(player.Main, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; };
    EXPECT_FALSE(topmost());
    player.Key(VK_F1);
    EXPECT_TRUE(topmost()) << "F1 keeps the window on top";
    player.Key(VK_F1);
    EXPECT_FALSE(topmost()) << "a second F1 lets it go";

    player.Key(VK_F2);
    EXPECT_EQ(player.Client().cx, 500);
    player.Key(VK_F2);
    player.Key(VK_F2);
    player.Key(VK_F5);
    EXPECT_EQ(player.Client().cy, 15);
    player.Key(VK_F5);
    EXPECT_EQ(player.Client().cy, 93);
    RunningPlayer::Park();

    for (UINT key : {static_cast<UINT>('A'), static_cast<UINT>('S')}) {
        player.Key(key);
        HWND dialog = nullptr;
        EXPECT_TRUE(WaitFor("the file dialog", 5000, [&] { return (dialog = player.Dialog()) != nullptr; }))
            << static_cast<char>(key);
        if (dialog != nullptr) {
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
            EXPECT_TRUE(WaitFor("the file dialog to close", 5000, [&] { return !IsWindow(dialog); }));
        }
    }

    player.Key(VK_F4);
    EXPECT_TRUE(WaitFor("F4 to minimise", 2000, [&] { return IsIconic(player.Main) != FALSE; }));
    ShowWindow(player.Main, SW_RESTORE);

    player.Key(VK_ESCAPE);
    DWORD exitCode = 1234;
    ASSERT_TRUE(player.Process.WaitForExit(2000, &exitCode)) << "gave up after 2000 ms waiting for Esc to close";
    EXPECT_EQ(exitCode, 0u);
}

TEST(MainWindow, TheMouseWorksTheIndicatorsTheSeekBarAndTheWindow)
{
    RunningPlayer player("face-mouse", 1, 20);
    ASSERT_NE(player.Main, nullptr) << "gave up after " << StartLimitMs << " ms waiting for the main window";
    FaceReader face(TarvelExe);
    auto frame = [&](int id, int frames, int w, int h, int x, int y) {
        face.Capture(player.Main);
        return face.Frame(id, frames, w, h, x, y, 1);
    };
    auto repeat = [&] { return frame(IDB_REPEAT, 3, 15, 7, 72, 54); };
    auto shuffle = [&] { return frame(IDB_SHUFFLE, 2, 27, 5, 42, 57); };

    std::vector<int> repeats{repeat()};
    for (int i = 0; i < 3; ++i) {
        player.Click(79, 57);
        repeats.push_back(repeat());
    }
    EXPECT_EQ(repeats, (std::vector<int>{0, 1, 2, 0}));
    std::vector<int> shuffles{shuffle()};
    for (int i = 0; i < 2; ++i) {
        player.Click(55, 59);
        shuffles.push_back(shuffle());
    }
    EXPECT_EQ(shuffles, (std::vector<int>{0, 1, 0}));

    // A press on the seek bar at knob 100 and its release: playback goes on
    // from 100 × 20 / 200 = 10 s.
    ASSERT_TRUE(WaitFor("playback", 5000, [&] {
        face.Capture(player.Main);
        return face.Time(1) >= 1;
    }));
    player.MoveTo(113, 70);
    player.Press();
    face.Capture(player.Main);
    EXPECT_EQ(face.KnobLeft(1), 105) << "the knob's centre under the pointer while pressed";
    player.Release();
    int resumed = -1;
    EXPECT_TRUE(WaitFor("playback from 10 s", 3000, [&] {
        face.Capture(player.Main);
        resumed = face.Time(1);
        return resumed >= 10;
    }));
    EXPECT_LE(resumed, 11);
    std::printf("released at knob 100 of 20 s: playing at %d s\n", resumed);
    RunningPlayer::Park();

    // A drag of the face moves the window by the distance dragged, leftwards
    // past its own edge too.
    auto drag = [&](int fromX, int fromY, int dx, int dy) {
        player.MoveTo(fromX, fromY);
        player.Press();
        POINT p{fromX, fromY};
        ClientToScreen(player.Main, &p);
        for (int i = 1; i <= 4; ++i) {
            MovePointer(p.x + dx * i / 4, p.y + dy * i / 4);
            Sleep(80);
        }
        player.Release();
        RunningPlayer::Park();
    };
    RECT before = player.Place();
    drag(150, 10, 40, 30);
    RECT after = player.Place();
    EXPECT_EQ(after.left - before.left, 40);
    EXPECT_EQ(after.top - before.top, 30);
    before = after;
    drag(150, 10, -200, 0);
    after = player.Place();
    EXPECT_EQ(after.left - before.left, -200) << "a drag leftwards past the window's own edge";

    // Snap: 9 pixels from the work area's left edge snaps to it, 10 do not.
    RECT work;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    drag(150, 10, work.left + 9 - after.left, 0);
    EXPECT_EQ(player.Place().left, work.left) << "9 pixels away snaps";
    drag(150, 10, 10, 0);
    EXPECT_EQ(player.Place().left, work.left + 10) << "10 pixels away stays";
}

// Where Wine expects a window manager and none answers, a window it hands to
// one holds the interface thread two seconds as it hides: a tip must not.
TEST(MainWindow, AKeyAfterATipHasShownIsAnsweredAtOnce)
{
    const char appKey[] = "Software\\Wine\\AppDefaults\\Tarvel.exe";
    RegSetKeyValueA(HKEY_CURRENT_USER, (std::string(appKey) + "\\X11 Driver").c_str(), "Managed", REG_SZ, "Y", 2);
    RunningPlayer player("tip-delay", 0, 0);
    RegDeleteTreeA(HKEY_CURRENT_USER, appKey);
    ASSERT_NE(player.Main, nullptr) << "gave up after " << StartLimitMs << " ms waiting for the main window";
    ASSERT_TRUE(TipShows(player.Main, 1, 3000)) << "the play button's tip";
    MovePointer(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);  // the tip hides
    Sleep(300);
    const DWORD start = GetTickCount();
    TypeKey(player.Main, VK_F5);
    RECT r{};
    const auto compact = [&] { return GetWindowRect(player.Main, &r) && r.bottom - r.top == 15; };
    EXPECT_TRUE(WaitFor("F5 to give the compact face", 1000, compact));
    std::printf("F5 after a tip: %lu ms\n", GetTickCount() - start);
}
