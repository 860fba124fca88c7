// What the real program shows while it plays.
#include <gtest/gtest.h>

#include <string>

#include "TarvelProcess.h"
#include "TestWave.h"
#include "WinTestSupport.h"

namespace {

const DWORD StartLimitMs = 20000;

// The elapsed seconds of a playing caption (" 0001/0001 mm:ss/mm:ss  "
// somewhere in its scrolled text); -1 when there are none.
int ElapsedSeconds(const std::string& caption)
{
    const std::string twice = caption + caption;
    const std::size_t at = twice.find("0001/0001 ");
    if (at == std::string::npos || at + 15 > twice.size())
        return -1;
    const std::string time = twice.substr(at + 10, 5);
    return std::stoi(time.substr(0, 2)) * 60 + std::stoi(time.substr(3, 2));
}

}  // namespace

// Ten seconds into a track the caption shows 00:10, whatever the track's rate.
TEST(Playback, TheCaptionCountsSecondsAtTheTracksOwnRate)
{
    const std::string folder = MakeTestFolder("caption");
    for (std::uint32_t rate : {48000u, 44100u}) {
        const std::string path = folder + "\\tone" + std::to_string(rate) + ".wav";
        WriteToneWave(path, 2, 13.0, 3000, rate);
        TarvelProcess player;
        HWND main = player.Open("\"" + path + "\"", folder, StartLimitMs);
        ASSERT_NE(main, nullptr) << "gave up after " << StartLimitMs << " ms waiting for the main window";
        DWORD started = GetTickCount();
        while (ElapsedSeconds(WindowText(main)) < 0) {
            ASSERT_LT(GetTickCount() - started, StartLimitMs) << "gave up waiting for the playing caption";
            Sleep(10);
        }
        started = GetTickCount();
        Sleep(10700);
        const std::string caption = WindowText(main);
        printf("%u Hz after %lu ms: \"%s\"\n", rate, static_cast<unsigned long>(GetTickCount() - started),
               caption.c_str());
        EXPECT_EQ(ElapsedSeconds(caption), 10) << rate << " Hz: " << caption;
        DWORD exitCode = 1234;
        ASSERT_TRUE(player.Close(main, 10000, &exitCode)) << "gave up after 10000 ms waiting for the program to end";
    }
    RemoveTree(folder);
}
