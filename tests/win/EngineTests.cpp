// The playback engine inside the test process, on the real wave device.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "TestWave.h"
#include "PlayerTest.h"
#include "core/Player.h"

namespace {

// A 44100 Hz 16-bit stereo tone of `seconds`.
std::string WriteTone(const std::string& folder, const char* name, double seconds)
{
    const std::string path = folder + "\\" + name;
    WriteToneWave(path, 2, seconds, 3000);
    return path;
}

class Engine : public PlayerTest {
protected:
    Engine() : PlayerTest("engine") {}
    void Add(const char* name, double seconds)
    {
        player->Engine.AddFile(WriteTone(folder, name, seconds).c_str());
    }
    void Command(WORD id) { SendMessageA(player->MainWindow, WM_COMMAND, id, 0); }
    // Answers the next message box, noting its text and whether the engine lock was free.
    DialogAnswerer::Answer NoteBox()
    {
        return [this](HWND box) {
            boxText = DialogAnswerer::MessageText(box);
            lockFreeAtBox = player->Engine.EngineLock.TryEnter();
            if (lockFreeAtBox)
                player->Engine.EngineLock.Leave();
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        };
    }
    std::string boxText;
    bool lockFreeAtBox = false;
};

}  // namespace

// The buttons' commands reach the engine, and the caption names the track
// (the state table itself is the engine's own test).
TEST_F(Engine, CommandsReachTheEngineAndTheCaptionNamesTheTrack)
{
    Add("first.wav", 3.0);
    Add("second.wav", 3.0);
    Command(IDC_PLAY_PAUSE);
    EXPECT_EQ(State(), 1);
    ASSERT_TRUE(WaitFor("one second of playback", 3000, [&] { return player->Engine.PlayedBytes > 44100; }));
    char caption[256] = {};
    GetWindowTextA(player->MainWindow, caption, sizeof caption);
    // Title (from the file name), " - ", the empty artist, the counters.
    EXPECT_STREQ(caption, "first -  0001/0002 00:00/00:03  ") << "the caption in the first second";
    Command(IDC_NEXT);
    EXPECT_EQ(player->Engine.Snapshot().Index, 1);
    Command(IDC_STOP);
    EXPECT_EQ(State(), 0);
}

namespace {

std::vector<std::uint8_t> ReadWhole(const std::string& path)
{
    std::vector<std::uint8_t> data;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return data;
    data.resize(GetFileSize(h, nullptr));
    DWORD got = 0;
    ReadFile(h, data.data(), static_cast<DWORD>(data.size()), &got, nullptr);
    CloseHandle(h);
    return data;
}

}  // namespace

// An MP3 behind 300 kB of ID3v2 tag (cover art): a seek lands where it was
// asked, counted in the audio data, not a tag's length before it.
TEST_F(Engine, SeekInAnMp3BehindALargeTagLandsOnTheRequestedFrame)
{
    const std::string input = DataFile("conformance/l3-sin1k0db.bit");
    const auto stream = ReadWhole(input);
    ASSERT_FALSE(stream.empty()) << "missing test input: " << input;
    const std::size_t tag = 300000;
    std::vector<std::uint8_t> file = {'I', 'D', '3', 3, 0, 0, static_cast<std::uint8_t>((tag >> 21) & 0x7F),
                                      static_cast<std::uint8_t>((tag >> 14) & 0x7F),
                                      static_cast<std::uint8_t>((tag >> 7) & 0x7F), static_cast<std::uint8_t>(tag & 0x7F)};
    file.resize(10 + tag, 0);
    file.insert(file.end(), stream.begin(), stream.end());
    const std::string path = folder + "\\tagged.mp3";
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(h, file.data(), static_cast<DWORD>(file.size()), &written, nullptr);
    CloseHandle(h);
    player->Engine.AddFile(path.c_str());
    ASSERT_EQ(player->Engine.TrackCount, 1);
    const TrackEntry* entry = player->Engine.Tracks[0];
    EXPECT_EQ(entry->DataOffset, static_cast<std::int32_t>(10 + tag + 215)) << "past the tag and the zeros before the first frame";

    // 128 kbit/s: 417 or 418 bytes a frame, 1152 samples (26.1 ms).
    const std::int32_t ms = entry->Duration * 1000 / 2;
    player->Engine.SeekTo(ms);  // stopped: the stream is prepared at the new place
    const double requested = static_cast<double>(ms) / 1000;
    const double target = static_cast<double>(player->Engine.SeekFileOffset) * 8 / (entry->BitRate * 1000);
    EXPECT_NEAR(target, requested, 0.001) << "the offset counts from the first frame";
    // Where decoding resumed: play a moment and find the frames the device
    // got in a whole decode of the stream. The first frames after a seek
    // wait for the bit reservoir and the filter banks, so frame 4 is looked up.
    struct Memory {
        const std::vector<std::uint8_t>* Data;
        std::size_t Pos;
    } memory{&stream, 0};
    MpegStreamFeed whole;
    whole.SetReader(
        [](void* context, std::uint8_t* to, std::int32_t size, std::int32_t* got) {
            auto* m = static_cast<Memory*>(context);
            const std::size_t n = std::min(static_cast<std::size_t>(size), m->Data->size() - m->Pos);
            std::memcpy(to, m->Data->data() + m->Pos, n);
            m->Pos += n;
            *got = static_cast<std::int32_t>(n);
            return true;
        },
        &memory);
    ASSERT_TRUE(whole.OpenMpegStream(entry->FrameHeader, 0));
    std::vector<std::uint8_t> reference, chunk(65536);
    for (std::int32_t n = 0; whole.DecodeMpegChunk(chunk.data(), &n) && n > 0;)
        reference.insert(reference.end(), chunk.begin(), chunk.begin() + n);

    player->PlayPause();
    ASSERT_TRUE(WaitFor("eight blocks written to the device", 5000, [&] { return player->Engine.WrittenBytes >= 8 * 4608; }));
    // The first frame played that carries sound, once the synthesis has
    // settled (two frames after the first sound), found in the whole decode.
    auto silent = [](const std::uint8_t* p) {
        return std::all_of(p, p + 4608, [](std::uint8_t b) { return b == 0; });
    };
    std::size_t firstSound = 0;
    while (firstSound < 6 && silent(player->Engine.PcmRing.get() + firstSound * 4608))
        ++firstSound;
    const std::size_t probe = firstSound + 2;
    const std::uint8_t* played = player->Engine.PcmRing.get() + probe * 4608;
    int found = -1;
    for (std::size_t k = 0; (k + 1) * 4608 <= reference.size(); ++k) {
        if (!silent(reference.data() + k * 4608) && std::memcmp(reference.data() + k * 4608, played, 4608) == 0) {
            found = static_cast<int>(k) - static_cast<int>(probe);
            break;
        }
    }
    if (found < 0) {
        std::size_t best = 0;
        long bestDiff = -1;
        for (std::size_t k = 0; (k + 1) * 4608 <= reference.size(); ++k) {
            long diff = 0;
            for (std::size_t i = 0; i < 4608; i += 2) {
                const int a = static_cast<std::int16_t>(reference[k * 4608 + i] | (reference[k * 4608 + i + 1] << 8));
                const int b = static_cast<std::int16_t>(played[i] | (played[i + 1] << 8));
                diff += std::abs(a - b);
            }
            if (bestDiff < 0 || diff < bestDiff)
                bestDiff = diff, best = k;
        }
        ADD_FAILURE() << "first sound at frame " << firstSound << "; nearest reference frame " << best
                      << " with a total difference of " << bestDiff << "; requested frame "
                      << requested / (1152.0 / 44100);
    }
    ASSERT_GE(found, 0) << "the played frames are the stream's";
    const double frameSeconds = 1152.0 / 44100;
    std::printf("seek to %.3f s (frame %.2f) resumed at frame %d (%.3f s)\n", requested, requested / frameSeconds,
                found, found * frameSeconds);
    EXPECT_NEAR(found * frameSeconds, requested, frameSeconds) << "resumed at frame " << found;
    EXPECT_EQ(player->Engine.SeekBaseBytes, ms * 176400 / 1000);
}

// Entries whose numbers would divide by zero, and texts longer than any
// caption buffer.
TEST_F(Engine, ZeroLengthsAndLongTextsAreSafe)
{
    Add("tiny.wav", 0.2);
    TrackEntry* entry = player->Engine.Tracks[0];
    ASSERT_EQ(entry->Duration, 0) << "under a second";
    player->Engine.SeekTo(100);  // duration 0: every place is "near the end", which starts over
    EXPECT_EQ(player->Engine.SeekFileOffset, 0);
    entry->WaveFormat.nAvgBytesPerSec = 0;
    player->Engine.SeekTo(100);
    EXPECT_EQ(player->Engine.SeekFileOffset, 0) << "no byte rate: from the start";
    entry->WaveFormat.nAvgBytesPerSec = 176400;

    std::memset(entry->Title, 'T', 255);
    entry->Title[255] = '\0';
    std::memset(entry->Artist, 'A', 255);
    entry->Artist[255] = '\0';
    player->PlayPause();
    ASSERT_TRUE(WaitFor("the caption to show the long title", 3000, [&] { return GetWindowTextLengthA(player->MainWindow) > 500; }));
    std::vector<char> caption(1024);
    GetWindowTextA(player->MainWindow, caption.data(), static_cast<int>(caption.size()));
    const std::string text(caption.data());
    EXPECT_EQ(text, std::string(255, 'T') + " - " + std::string(255, 'A') + " 0001/0001 00:00/00:00  ");
}

// A track that cannot be opened at the end of the one before: the play
// thread, which holds the engine lock there, leaves the message to the
// window's thread and waits for nobody.
TEST_F(Engine, AnUnplayableNextTrackIsReportedWithoutHoldingTheEngine)
{
    Add("first.wav", 0.3);
    Add("gone.wav", 1.0);
    ASSERT_EQ(player->Engine.TrackCount, 2);
    DeleteFileA((folder + "\\gone.wav").c_str());
    DialogAnswerer answerer(NoteBox());
    player->PlayPause();
    ASSERT_TRUE(WaitFor("the message about the missing track", 8000, [&] { return !boxText.empty(); }));
    EXPECT_TRUE(answerer.Wait());
    EXPECT_EQ(boxText, "このトラックは再生できません。");
    EXPECT_TRUE(lockFreeAtBox) << "nobody holds the engine lock while the message shows";
}

// A device that cannot be opened: its message comes on the window's thread
// with the engine free, the play thread rests rather than spinning, and Stop
// and a start with the device back play again.
TEST_F(Engine, WithoutADeviceTheLoopRestsUntilAStartOpensOne)
{
    Add("one.wav", 2.0);
    SetFaults("device:1");
    DialogAnswerer answerer(NoteBox());
    player->PlayPause();
    ASSERT_TRUE(WaitFor("the message about the device", 8000, [&] { return !boxText.empty(); }));
    EXPECT_TRUE(answerer.Wait());
    EXPECT_EQ(boxText, "cannot CWaveOut open");
    EXPECT_TRUE(lockFreeAtBox) << "nobody holds the engine lock while the message shows";
    const auto cpuMs = [&] {
        FILETIME times[4];
        GetThreadTimes(player->PlayThread, &times[0], &times[1], &times[2], &times[3]);
        return (ULONGLONG{times[2].dwLowDateTime} + times[3].dwLowDateTime) / 10000;  // from 100 ns
    };
    const ULONGLONG before = cpuMs();
    Pump(2000);
    EXPECT_LT(cpuMs() - before, 500u) << "CPU ms of the play thread in 2 s without a device";
    player->Engine.StopPlayback();
    player->PlayPause();
    EXPECT_TRUE(WaitFor("the track to play once the device opens", 3000, [&] { return player->Engine.PlayedBytes > 0; }));
}