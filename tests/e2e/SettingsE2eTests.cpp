// The settings the real program keeps in Wine's registry: what a first run
// leaves, what a start restores, and what it makes of values that cannot be
// right.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "FaceReader.h"
#include "TarvelProcess.h"
#include "TestWave.h"
#include "WinTestSupport.h"
#include "resources/resource.h"

namespace {

const DWORD StartLimitMs = 20000;
const char Settings[] = "Software\\Quenby\\Tarvel\\Settings";

struct Stored {
    DWORD Type = REG_NONE;
    std::int32_t Number = 0;
    std::string Text;
};

Stored Read(const char* name)
{
    Stored value;
    BYTE data[512] = {};
    DWORD size = sizeof data;
    if (RegGetValueA(HKEY_CURRENT_USER, Settings, name, RRF_RT_ANY | RRF_NOEXPAND, &value.Type, data, &size) !=
        ERROR_SUCCESS)
        return Stored{};
    if (value.Type == REG_DWORD)
        value.Number = *reinterpret_cast<std::int32_t*>(data);
    else if (value.Type == REG_SZ)
        value.Text = reinterpret_cast<char*>(data);
    return value;
}

// A first run's empty settings key, for values written by hand.
void FreshSettings()
{
    ForgetSettings();
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, Settings, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
        ERROR_SUCCESS)
        RegCloseKey(key);
}

void WriteNumber(const char* name, std::int32_t number)
{
    RegSetKeyValueA(HKEY_CURRENT_USER, Settings, name, REG_DWORD, &number, sizeof number);
}

void WriteText(const char* name, const std::string& text)
{
    RegSetKeyValueA(HKEY_CURRENT_USER, Settings, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

::testing::AssertionResult HasNumber(const char* name, std::int32_t expected)
{
    const Stored value = Read(name);
    if (value.Type != REG_DWORD)
        return ::testing::AssertionFailure() << name << " is not a DWORD (type " << value.Type << ")";
    if (value.Number != expected)
        return ::testing::AssertionFailure() << name << " is " << value.Number << ", not " << expected;
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult Placed(HWND window, int x, int y, int width, int height)
{
    RECT r{};
    GetWindowRect(window, &r);
    if (r.left == x && r.top == y && r.right - r.left == width && r.bottom - r.top == height)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "at " << r.left << ", " << r.top << " size " << r.right - r.left << " x "
                                         << r.bottom - r.top << " instead of " << x << ", " << y << " size " << width
                                         << " x " << height;
}

}  // namespace

// A first run, closed normally, leaves every value with its default.
TEST(Settings, AFirstRunLeavesEveryValueWithItsDefault)
{
    const std::string folder = MakeTestFolder("settings-first");
    TarvelProcess player;
    HWND main = player.Open("", folder, StartLimitMs);
    ASSERT_NE(main, nullptr) << "gave up after " << StartLimitMs << " ms waiting for the main window";
    HWND list = player.WaitForWindow("Tarvel PlayList", 5000);
    EXPECT_TRUE(Placed(main, 0, 0, 250, 93));
    EXPECT_TRUE(Placed(list, 0, 100, 639, 350));
    EXPECT_FALSE(IsWindowVisible(list));
    DWORD exitCode = 1234;
    ASSERT_TRUE(player.Close(main, 10000, &exitCode)) << "gave up after 10000 ms waiting for the program to end";

    const std::pair<const char*, std::int32_t> numbers[] = {
        {"MainPosX", 0},      {"MainPosY", 0},         {"MainSize", 1},         {"IsMinimize", 0},
        {"PlayListPosX", 0},  {"PlayListPosY", 100},   {"PlayListSizeX", 639},  {"PlayListSizeY", 350},
        {"PlayListShow", 0},  {"ShuffleState", 0},     {"RepeatState", 0},      {"TimeDisplayState", 0},
        {"OptionToolHint", 1}, {"PreviousTrack", 0},
    };
    for (const auto& [name, value] : numbers)
        EXPECT_TRUE(HasNumber(name, value));
    const Stored folderValue = Read("OpenFileInitialDir");
    EXPECT_EQ(folderValue.Type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(folderValue.Text, "C:\\");
    RemoveTree(folder);
}

// Stored values restore the windows and the states; a window moved before
// the close is where the next start puts it.
TEST(Settings, StoredValuesRestoreTheWindowsAndStates)
{
    const std::string folder = MakeTestFolder("settings-restore");
    const std::string a = folder + "\\a.wav", b = folder + "\\b.wav";
    WriteToneWave(a, 2, 20.0, 2000);
    WriteToneWave(b, 2, 20.0, 2000);
    ASSERT_TRUE(::WriteText(folder + "\\PrePlayList.m3u", a + "\r\n" + b + "\r\n"));
    FreshSettings();
    for (const auto& [name, value] : {std::pair{"MainPosX", 40}, {"MainPosY", 60}, {"MainSize", 2},
                                      {"PlayListPosX", 300}, {"PlayListPosY", 200}, {"PlayListSizeX", 500},
                                      {"PlayListSizeY", 400}, {"PlayListShow", 1}, {"RepeatState", 2},
                                      {"ShuffleState", 1}, {"TimeDisplayState", 1}, {"OptionToolHint", 0},
                                      {"PreviousTrack", 1}})
        WriteNumber(name, value);

    TarvelProcess player;
    player.KeepSettings = true;
    HWND main = player.Open("", folder, StartLimitMs);
    ASSERT_NE(main, nullptr) << "gave up after " << StartLimitMs << " ms waiting for the main window";
    HWND list = player.WaitForWindow("Tarvel PlayList", 5000);
    EXPECT_TRUE(Placed(main, 40, 60, 500, 186));
    EXPECT_TRUE(Placed(list, 300, 200, 500, 400));
    EXPECT_TRUE(IsWindowVisible(list));
    EXPECT_EQ(SendMessageA(GetDlgItem(list, IDC_LIST_VIEW), LVM_GETNEXTITEM, -1, LVNI_SELECTED), 1)
        << "the previous track's row is selected";
    FaceReader face(TarvelExe);
    Sleep(300);
    face.Capture(main);
    EXPECT_EQ(face.Frame(IDB_REPEAT, 3, 15, 7, 72, 54, 2), 2) << "repeat all";
    EXPECT_EQ(face.Frame(IDB_SHUFFLE, 2, 27, 5, 42, 57, 2), 1) << "shuffle";
    EXPECT_EQ(face.TimeSign(2), 11) << "the time that remains";
    EXPECT_FALSE(TipShows(main, 2, 1500)) << "tooltips are off";

    // Moved (as a drag moves it), closed, started again: where it was left.
    SetWindowPos(main, nullptr, 120, 140, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    DWORD exitCode = 1234;
    ASSERT_TRUE(player.Close(main, 10000, &exitCode)) << "gave up after 10000 ms waiting for the program to end";
    EXPECT_TRUE(HasNumber("MainPosX", 120));
    TarvelProcess again;
    again.KeepSettings = true;
    main = again.Open("", folder, StartLimitMs);
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(Placed(main, 120, 140, 500, 186));
    ASSERT_TRUE(again.Close(main, 10000, &exitCode)) << "gave up after 10000 ms waiting for the program to end";
    RemoveTree(folder);
}

// Values that cannot be right: the program starts with sane windows and
// states, and writes sane values at its exit.
TEST(Settings, BadValuesGiveSaneWindowsAndAreNotWrittenBack)
{
    const std::string folder = MakeTestFolder("settings-bad");
    const std::string a = folder + "\\a.wav";
    WriteToneWave(a, 2, 2.0, 2000);
    ASSERT_TRUE(::WriteText(folder + "\\PrePlayList.m3u", a + "\r\n" + a + "\r\n"));
    const std::int32_t scales[] = {0, 3, -1};
    const std::int32_t tracks[] = {99999, -5, 2};
    for (int run = 0; run < 3; ++run) {
        FreshSettings();
        WriteNumber("MainSize", scales[run]);
        WriteNumber("RepeatState", 7);
        WriteNumber("PreviousTrack", tracks[run]);
        WriteNumber("OpenFileInitialDir", 1234);
        WriteNumber("PlayListSizeX", -5);
        WriteNumber("MainPosX", 30000);
        WriteNumber("MainPosY", 30000);
        WriteText("TimeDisplayState", "1");
        WriteNumber("OptionToolHint", 9);

        TarvelProcess player;
        player.KeepSettings = true;
        HWND main = player.Open("", folder, StartLimitMs);
        ASSERT_NE(main, nullptr) << "MainSize " << scales[run] << ": no window";
        HWND list = player.WaitForWindow("Tarvel PlayList", 5000);
        EXPECT_TRUE(Placed(main, 0, 0, 250, 93)) << "MainSize " << scales[run];
        EXPECT_TRUE(Placed(list, 0, 100, 639, 350));
        // The repeat indicator still cycles from where it stands: off, one.
        FaceReader face(TarvelExe);
        Sleep(300);
        face.Capture(main);
        EXPECT_EQ(face.Frame(IDB_REPEAT, 3, 15, 7, 72, 54, 1), 0);
        DWORD exitCode = 1234;
        ASSERT_TRUE(player.Close(main, 10000, &exitCode)) << "gave up after 10000 ms waiting for the program to end";
        EXPECT_EQ(exitCode, 0u);

        EXPECT_TRUE(HasNumber("MainSize", 1));
        EXPECT_TRUE(HasNumber("MainPosX", 0));
        EXPECT_TRUE(HasNumber("RepeatState", 0));
        EXPECT_TRUE(HasNumber("PreviousTrack", 0)) << "stored " << tracks[run] << " of 2 entries";
        EXPECT_TRUE(HasNumber("PlayListSizeX", 639));
        EXPECT_TRUE(HasNumber("TimeDisplayState", 0));
        EXPECT_TRUE(HasNumber("OptionToolHint", 1));
        const Stored folderValue = Read("OpenFileInitialDir");
        EXPECT_EQ(folderValue.Type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(folderValue.Text, "C:\\");
    }
    RemoveTree(folder);
}

// A start that fails after its window was made saves nothing (a save would
// drop the missing file's line, put RepeatState right, write MainPosX).
TEST(Settings, AFailedStartLeavesThePlaylistAndTheSettingsAsTheyWere)
{
    const std::string folder = MakeTestFolder("settings-failed-start");
    const std::string resume = folder + "\\PrePlayList.m3u";
    const std::string lines = folder + "\\a.wav\r\n" + folder + "\\gone.wav\r\n";
    ASSERT_TRUE(::WriteText(resume, lines));
    for (const char* fault : {"pcm-ring", "play-thread"}) {
        FreshSettings();
        WriteNumber("RepeatState", 7);
        SetEnvironmentVariableA("TARVEL_FAULTS", fault);
        TarvelProcess player;
        player.KeepSettings = true;
        ASSERT_TRUE(player.Start("", folder));
        SetEnvironmentVariableA("TARVEL_FAULTS", nullptr);
        if (std::string(fault) == "pcm-ring")  // its message waits for an answer
            PostMessageA(player.WaitForWindow("#32770", StartLimitMs), WM_COMMAND, IDOK, 0);
        DWORD exitCode = 1234;
        ASSERT_TRUE(player.WaitForExit(StartLimitMs, &exitCode)) << fault << ": the program did not end";
        EXPECT_EQ(exitCode, 0u);
        EXPECT_EQ(ReadText(resume), lines) << fault;
        EXPECT_TRUE(HasNumber("RepeatState", 7)) << fault;
        EXPECT_EQ(Read("MainPosX").Type, static_cast<DWORD>(REG_NONE)) << fault;
    }
    RemoveTree(folder);
}
