// The application object's window and thread life, inside the test process.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "TestWave.h"
#include "WinTestSupport.h"
#include "core/Player.h"

namespace {

// Runs the message loop until the quit message, for at most `limitMs`.
bool PumpUntilQuit(DWORD limitMs)
{
    DWORD start = GetTickCount();
    while (GetTickCount() - start < limitMs) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT)
                return true;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(5);
    }
    return false;
}

class PlayerWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        player = new CPlayer;
        ASSERT_TRUE(player->CreateMainWindow(GetModuleHandleA(nullptr), SW_SHOW));
    }
    void TearDown() override
    {
        if (IsWindow(player->MainWindow))
            DestroyWindow(player->MainWindow);
        PumpUntilQuit(100);
        UnregisterClassA("Tarvel", GetModuleHandleA(nullptr));
        delete player;
    }
    CPlayer* player = nullptr;
};

void Touch(const std::string& path)
{
    ASSERT_TRUE(WriteText(path, "")) << path;
}

}  // namespace

TEST_F(PlayerWindow, MainWindowHasTheSkinFaceSizeAndStyles)
{
    HWND window = player->MainWindow;
    ASSERT_TRUE(IsWindow(window));

    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right - client.left, 250);
    EXPECT_EQ(client.bottom - client.top, 93);

    char text[64] = {};
    GetWindowTextA(window, text, sizeof text);
    EXPECT_STREQ(text, "Tarvel");
    GetClassNameA(window, text, sizeof text);
    EXPECT_STREQ(text, "Tarvel");

    EXPECT_EQ(static_cast<DWORD>(GetClassLongPtrA(window, GCL_STYLE)), 0x1003u);
    DWORD style = static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE));
    // The system adds WS_CLIPSIBLINGS to every top-level window.
    EXPECT_EQ(style & ~static_cast<DWORD>(WS_VISIBLE | WS_CLIPSIBLINGS), 0x820A0000u);
    EXPECT_TRUE(style & WS_VISIBLE);
    EXPECT_TRUE(GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);

    EXPECT_NE(player->Engine.PcmRing, nullptr);
    EXPECT_NE(player->PlayThread, nullptr);
}

TEST_F(PlayerWindow, CloseStopsThePlayThreadAndDestroyReleasesEverything)
{
    HANDLE mutex = CreateMutexA(nullptr, FALSE, player->MutexName);
    player->InstanceMutex = mutex;

    SendMessageA(player->MainWindow, WM_CLOSE, 0, 0);

    // The thread left its loop by the stop message: it was not terminated.
    ASSERT_EQ(WaitForSingleObject(player->PlayThread, 0), WAIT_OBJECT_0);
    DWORD exitCode = 0;
    GetExitCodeThread(player->PlayThread, &exitCode);
    EXPECT_EQ(exitCode, 1u);

    EXPECT_FALSE(IsWindow(player->MainWindow));
    EXPECT_EQ(player->Engine.PcmRing, nullptr);
    EXPECT_EQ(player->InstanceMutex, nullptr);
    HANDLE reopened = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "InstanceOfTarvel");
    EXPECT_EQ(reopened, nullptr) << "a new instance may start once the window is gone";
    if (reopened != nullptr)
        CloseHandle(reopened);
    EXPECT_TRUE(PumpUntilQuit(1000)) << "the message loop ends";
}

TEST_F(PlayerWindow, CloseRightAfterCreationStillStopsTheThread)
{
    // The stop message may arrive before the thread has a message queue.
    player->OnClose();
    ASSERT_EQ(WaitForSingleObject(player->PlayThread, 0), WAIT_OBJECT_0);
    DWORD exitCode = 0;
    GetExitCodeThread(player->PlayThread, &exitCode);
    EXPECT_EQ(exitCode, 1u);
}

TEST_F(PlayerWindow, ExitCommandsCloseTheWindow)
{
    for (WORD command : {1009, 1010, 40001}) {
        SendMessageA(player->MainWindow, WM_COMMAND, command, 0);
        EXPECT_TRUE(PumpUntilQuit(3000)) << command;
        EXPECT_FALSE(IsWindow(player->MainWindow)) << command;
        UnregisterClassA("Tarvel", GetModuleHandleA(nullptr));
        ASSERT_TRUE(player->CreateMainWindow(GetModuleHandleA(nullptr), SW_SHOW));
    }
}

TEST_F(PlayerWindow, CommandLineReplacesTheRestoredPlaylist)
{
    TrackEntry* restored = new TrackEntry{};
    player->Engine.AppendEntry(restored);
    player->Engine.CurrentIndex = 0;
    ASSERT_EQ(player->Engine.TrackCount, 1);

    std::string folder = TestFolder("startup");
    char program[] = "Tarvel.exe";
    std::string missing = folder + "\\missing.mp3";
    std::string text = folder + "\\notes.txt";
    Touch(text);
    std::string tooLong = "C:\\" + std::string(300, 'x') + ".mp3";
    char* argv[] = {program, missing.data(), text.data(), tooLong.data()};
    DialogAnswerer answerer(DialogAnswerer::Cancel);
    player->TakeCommandLine(4, argv);
    EXPECT_TRUE(answerer.Wait()) << "with nothing to play, the open dialog asks for files";
    EXPECT_EQ(player->Engine.TrackCount, 0);
    EXPECT_EQ(player->Engine.CurrentIndex, 0);
    DeleteFileA(text.c_str());
    RemoveDirectoryA(folder.c_str());
}

TEST_F(PlayerWindow, AudioFilesOnTheCommandLineJoinThePlaylist)
{
    std::string folder = TestFolder("startup");
    // One second of 44100 Hz 16-bit stereo silence, and a mono file that is refused.
    std::string stereo = folder + "\\Quiet Song.wav";
    std::string mono = folder + "\\mono.wav";
    WriteToneWave(stereo, 2, 1.0, 0);
    WriteToneWave(mono, 1, 1.0, 0);

    char program[] = "Tarvel.exe";
    std::string typed = folder + "\\QUIET SONG.WAV";
    char* argv[] = {program, typed.data(), mono.data()};
    player->TakeCommandLine(3, argv);
    ASSERT_EQ(player->Engine.TrackCount, 1);
    EXPECT_STREQ(player->Engine.Tracks[0]->Path, stereo.c_str()) << "the name the file system reports";
    EXPECT_STREQ(player->Engine.Tracks[0]->Title, "Quiet Song");
    EXPECT_EQ(player->Engine.Tracks[0]->Duration, 1);
    EXPECT_EQ(player->Engine.CurrentIndex, 0);
    DeleteFileA(stereo.c_str());
    DeleteFileA(mono.c_str());
    RemoveDirectoryA(folder.c_str());
}

TEST_F(PlayerWindow, NoArgumentsKeepTheRestoredPlaylist)
{
    player->Engine.AppendEntry(new TrackEntry{});
    player->Engine.AppendEntry(new TrackEntry{});
    player->Engine.CurrentIndex = 1;
    char program[] = "Tarvel.exe";
    char* argv[] = {program};
    player->TakeCommandLine(1, argv);
    EXPECT_EQ(player->Engine.TrackCount, 2);
    EXPECT_EQ(player->Engine.CurrentIndex, 1);
}

TEST(ExpandLongName, TakesTheNameTheFileSystemReports)
{
    std::string folder = TestFolder("startup");
    std::string file = folder + "\\Long File Name.Mp3";
    Touch(file);

    char expanded[MAX_PATH];
    std::string asTyped = folder + "\\LONG FILE NAME.MP3";
    ASSERT_TRUE(ExpandLongName(asTyped.c_str(), expanded, sizeof expanded));
    EXPECT_STREQ(expanded, file.c_str());

    EXPECT_FALSE(ExpandLongName((folder + "\\absent.mp3").c_str(), expanded, sizeof expanded));
    EXPECT_FALSE(ExpandLongName(asTyped.c_str(), expanded, static_cast<int>(file.size())))
        << "one byte short of the terminator";
    EXPECT_TRUE(ExpandLongName(asTyped.c_str(), expanded, static_cast<int>(file.size()) + 1));

    // A bare name is found in the current directory and made whole.
    char previous[MAX_PATH];
    GetCurrentDirectoryA(sizeof previous, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str()));
    ASSERT_TRUE(ExpandLongName("long file name.mp3", expanded, sizeof expanded));
    SetCurrentDirectoryA(previous);
    char expectedFull[MAX_PATH];
    GetFullPathNameA(file.c_str(), sizeof expectedFull, expectedFull, nullptr);
    EXPECT_STREQ(expanded, expectedFull);

    DeleteFileA(file.c_str());
    RemoveDirectoryA(folder.c_str());
}
