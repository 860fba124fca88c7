// The playback engine inside the test process, on the real wave device.
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/Player.h"

namespace {

// Answers the window's messages (the play thread sets the caption) for `ms`,
// or until `done` holds.
template <typename Done>
bool PumpUntil(DWORD ms, Done done)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < ms;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (done())
            return true;
        Sleep(5);
    }
    return done();
}

void Pump(DWORD ms)
{
    PumpUntil(ms, [] { return false; });
}

std::string Folder()
{
    char base[MAX_PATH];
    GetTempPathA(sizeof base, base);
    std::string folder = std::string(base) + "tarvel-engine-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

// A 44100 Hz 16-bit stereo tone of `seconds`.
std::string WriteTone(const std::string& folder, const char* name, double seconds)
{
    const std::uint32_t frames = static_cast<std::uint32_t>(seconds * 44100);
    std::vector<std::int16_t> pcm(2 * static_cast<std::size_t>(frames));
    for (std::uint32_t i = 0; i < frames; ++i)
        pcm[2 * i] = pcm[2 * i + 1] = static_cast<std::int16_t>(3000 * std::sin(i * 0.0627));
    const std::uint32_t bytes = frames * 4;
    std::vector<std::uint8_t> file(44);
    auto put = [&](std::size_t at, std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            file[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    std::memcpy(file.data(), "RIFF", 4);
    put(4, 36 + bytes, 4);
    std::memcpy(file.data() + 8, "WAVEfmt ", 8);
    put(16, 16, 4);
    put(20, 1, 2);
    put(22, 2, 2);
    put(24, 44100, 4);
    put(28, 176400, 4);
    put(32, 4, 2);
    put(34, 16, 2);
    std::memcpy(file.data() + 36, "data", 4);
    put(40, bytes, 4);
    const std::string path = folder + "\\" + name;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(h, file.data(), 44, &written, nullptr);
    WriteFile(h, pcm.data(), bytes, &written, nullptr);
    CloseHandle(h);
    return path;
}

class Engine : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = Folder();
        player = new CPlayer;
        ASSERT_TRUE(player->CreateMainWindow(GetModuleHandleA(nullptr), SW_SHOW));
    }
    void TearDown() override
    {
        if (IsWindow(player->MainWindow))
            SendMessageA(player->MainWindow, WM_CLOSE, 0, 0);
        Pump(50);
        UnregisterClassA("Tarvel", GetModuleHandleA(nullptr));
        delete player;
        for (const auto& path : files)
            DeleteFileA(path.c_str());
        RemoveDirectoryA(folder.c_str());
    }
    void Add(const char* name, double seconds)
    {
        files.push_back(WriteTone(folder, name, seconds));
        player->AddFile(files.back().c_str());
    }
    // Read under the engine lock: a track change passes through the stopped
    // state while the play thread holds it.
    std::int32_t State() const
    {
        EnterCriticalSection(&player->EngineLock);
        const std::int32_t state = player->WaveOut->State;
        LeaveCriticalSection(&player->EngineLock);
        return state;
    }
    void Command(WORD id) { SendMessageA(player->MainWindow, WM_COMMAND, id, 0); }
    // The entries played, in order, until playback stops or `ms` pass.
    std::vector<int> Watch(DWORD ms)
    {
        std::vector<int> seen{player->CurrentIndex};
        PumpUntil(ms, [&] {
            EnterCriticalSection(&player->EngineLock);
            const int index = player->CurrentIndex;
            const bool stopped = player->WaveOut->State == 0;
            LeaveCriticalSection(&player->EngineLock);
            if (index != seen.back())
                seen.push_back(index);
            return stopped;
        });
        return seen;
    }
    std::string folder;
    std::vector<std::string> files;
    CPlayer* player = nullptr;
};

}  // namespace

TEST_F(Engine, PlaysTheListIncludingAShortClipAndStopsAfterTheLast)
{
    Add("one.wav", 1.0);
    Add("clip.wav", 0.5);
    Add("three.wav", 1.0);
    ASSERT_EQ(player->TrackCount, 3);
    player->CurrentIndex = 0;
    player->PlayPause();
    EXPECT_EQ(State(), 1);
    std::vector<int> seen = Watch(15000);
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 0})) << "through the clip to the end, then back to entry 0";
    EXPECT_EQ(State(), 0);
    EXPECT_EQ(player->CurrentIndex, 0);
}

TEST_F(Engine, RepeatOneAndRepeatAllLoop)
{
    Add("a.wav", 0.5);
    Add("b.wav", 0.5);
    player->RepeatState = RepeatOne;
    player->PlayPause();
    std::vector<int> seen = Watch(2500);
    EXPECT_EQ(seen, (std::vector<int>{0})) << "the same entry over and over";
    EXPECT_EQ(State(), 1);

    player->RepeatState = RepeatAll;
    seen = Watch(3500);
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(std::vector<int>(seen.begin(), seen.begin() + 3), (std::vector<int>{0, 1, 0}));
    EXPECT_EQ(State(), 1);
    Command(40002);
    EXPECT_EQ(State(), 0);
}

TEST_F(Engine, CommandsFollowTheStateTable)
{
    Add("first.wav", 3.0);
    Add("second.wav", 3.0);
    Command(120);  // Play
    EXPECT_EQ(State(), 1);
    ASSERT_TRUE(PumpUntil(3000, [&] { return player->PlayedBytes > 44100; }));
    char caption[256] = {};
    GetWindowTextA(player->MainWindow, caption, sizeof caption);
    // Title (from the file name), " - ", the empty artist, the counters.
    EXPECT_STREQ(caption, "first -  0001/0002 00:00/00:03  ") << "the caption in the first second";

    Command(120);  // Pause
    EXPECT_EQ(State(), 2);
    const std::int32_t paused = player->WaveOut->GetPosition();
    Pump(300);
    EXPECT_LE(player->WaveOut->GetPosition() - paused, 8820) << "the device stays where it paused";
    Command(120);  // Resume
    EXPECT_EQ(State(), 1);

    Command(40003);  // Next
    EXPECT_EQ(player->CurrentIndex, 1);
    EXPECT_EQ(State(), 1);
    Command(40004);  // Previous
    EXPECT_EQ(player->CurrentIndex, 0);
    EXPECT_EQ(State(), 1);

    Command(120);    // Pause, then Next: the next entry plays
    Command(40003);
    EXPECT_EQ(player->CurrentIndex, 1);
    EXPECT_EQ(State(), 1);

    Command(40002);  // Stop
    EXPECT_EQ(State(), 0);
    EXPECT_EQ(player->PlayedBytes, 0);
    Command(40004);  // Previous while stopped: prepared, not started
    EXPECT_EQ(player->CurrentIndex, 0);
    EXPECT_EQ(State(), 0);
}

TEST_F(Engine, SeekingWhilePausedStopsAtTheNewPlace)
{
    Add("long.wav", 4.0);
    player->PlayPause();
    ASSERT_TRUE(PumpUntil(3000, [&] { return player->PlayedBytes > 0; }));
    Command(120);
    ASSERT_EQ(State(), 2);
    player->SeekTo(2000);
    EXPECT_EQ(State(), 0) << "a seek while paused leaves the device stopped";
    EXPECT_EQ(player->SeekFileOffset, 352800);
    EXPECT_EQ(player->SeekFileOffset % 4, 0);
    player->PlayPause();
    EXPECT_EQ(State(), 1);
    ASSERT_TRUE(PumpUntil(3000, [&] { return player->PlayedBytes > 352800; }));
    EXPECT_LT(player->PlayedBytes, 352800 + 3 * 176400);

    // The knob at the end: 3 s before the end of a WAV entry.
    player->SeekTo(4000);
    EXPECT_EQ(player->SeekFileOffset, 176400);
}
