// The engine on its own: a device that plays when the test says so, a clock
// the test steps, real WAV files. The storm runs the play loop on one thread
// against commands from another (built under ThreadSanitizer as well).
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "FakeWaveDevice.h"
#include "engine/Engine.h"
#include "../native/TempFiles.h"

namespace {

// A 44100 Hz 16-bit stereo WAV of `seconds` (176400 bytes a second).
std::string WriteWave(const std::string& name, double seconds)
{
    const auto bytes = static_cast<std::uint32_t>(seconds * 44100) * 4;
    std::vector<std::uint8_t> format, file, body;
    Append16(format, 1);
    Append16(format, 2);
    Append32(format, 44100);
    Append32(format, 176400);
    Append16(format, 4);
    Append16(format, 16);
    Append(body, "WAVE");
    AppendChunk(body, "fmt ", format);
    AppendChunk(body, "data", std::vector<std::uint8_t>(bytes, 0x11));
    Append(file, "RIFF");
    Append32(file, static_cast<std::uint32_t>(body.size()));
    file.insert(file.end(), body.begin(), body.end());
    return WriteFile(name, file);
}

// Counts what the engine reports.
class CountingListener : public EngineListener {
public:
    void EntryAdded(const TrackEntry&) override { ++Rows; }
    void EntryRemoved(const TrackEntry&) override { --Rows; }
    void RedrawDue() override {}
    void TitleRestarted() override {}
    void PlayingRowChanged() override {}
    void ShuffleChanged() override {}
    void PlaceReset() override {}
    void MessageDue(TrackMessage message) override { LastMessage = static_cast<int>(message); }
    std::atomic<int> Rows{0};
    std::atomic<int> LastMessage{-1};
};

class EngineTest : public ::testing::Test {
protected:
    EngineTest()
    {
        EXPECT_EQ(engine.Create(), CEngine::Missing::Nothing);
        engine.Attach(&device);
    }
    void Add(const char* name, double seconds) { engine.AddFile(WriteWave(name, seconds).c_str()); }
    // One pass, then the device plays 10 ms and the clock moves 10 ms.
    void Step()
    {
        engine.RunPass(true, nullptr);
        device.Play(1764);
        FakeNow += 10;
    }
    // The entries played, in order, until playback stops, `count` were
    // seen, or `passes` pass.
    std::vector<int> Watch(int passes, std::size_t count = 100)
    {
        std::vector<int> seen{engine.Snapshot().Index};
        for (int i = 0; i < passes && seen.size() < count; ++i) {
            Step();
            const EngineSnapshot now = engine.Snapshot();
            if (now.Index != seen.back())
                seen.push_back(now.Index);
            if (now.State == StateStopped)
                return seen;
        }
        return seen;
    }
    PlayState State() { return engine.Snapshot().State; }

    FakeWaveDevice device;
    CountingListener listener;
    CEngine engine{listener, FakeClock};
};

}  // namespace

// The order of play under each repeat mode, through a clip shorter than a
// buffer.
TEST_F(EngineTest, EntriesFollowEachOtherUnderEveryRepeatMode)
{
    Add("one.wav", 1.0);
    Add("clip.wav", 0.1);
    Add("three.wav", 1.0);
    ASSERT_EQ(engine.TrackCount, 3);
    EXPECT_EQ(listener.Rows, 3);
    engine.PlayPause();
    EXPECT_EQ(State(), StatePlaying);
    EXPECT_EQ(Watch(2000), (std::vector<int>{0, 1, 2, 0})) << "to the end, then back to entry 0, stopped";
    EXPECT_EQ(State(), StateStopped);

    engine.RepeatState = RepeatOne;
    engine.PlayChosen(1);
    for (int i = 0; i < 300; ++i)
        Step();
    EXPECT_EQ(engine.Snapshot().Index, 1) << "the same entry over and over";
    EXPECT_EQ(State(), StatePlaying);

    engine.RepeatState = RepeatAll;
    EXPECT_EQ(Watch(600, 4), (std::vector<int>{1, 2, 0, 1})) << "round the list";

    // The end of the last entry, with nothing after it: the device has
    // played everything, and the engine waits for the sound server's share
    // before it stops (the clock stands still meanwhile).
    engine.RepeatState = RepeatOff;
    engine.PlayChosen(2);
    for (int i = 0; i < 2000 && !(engine.StreamEnded && device.GetPosition() == engine.WrittenBytes); ++i) {
        engine.RunPass(true, nullptr);
        device.Play(1764);
    }
    engine.RunPass(true, nullptr);
    EXPECT_EQ(State(), StatePlaying) << "the end holds a moment";
    FakeNow += 1000;
    engine.RunPass(true, nullptr);
    EXPECT_EQ(State(), StateStopped) << "a second after the end";
    EXPECT_EQ(engine.Snapshot().Index, 0);
}

TEST_F(EngineTest, CommandsFollowTheStateTable)
{
    Add("first.wav", 3.0);
    Add("second.wav", 3.0);
    engine.PlayPause();  // Play
    EXPECT_EQ(State(), StatePlaying);
    for (int i = 0; i < 30; ++i)
        Step();
    EXPECT_GT(engine.Snapshot().PlayedBytes, 44100);

    engine.PlayPause();  // Pause
    EXPECT_EQ(State(), StatePaused);
    const std::int64_t paused = device.GetPosition();
    for (int i = 0; i < 30; ++i)
        Step();
    EXPECT_EQ(device.GetPosition(), paused) << "the device stays where it paused";
    engine.PlayPause();  // Resume
    EXPECT_EQ(State(), StatePlaying);

    EXPECT_TRUE(engine.Next());
    EXPECT_EQ(engine.Snapshot().Index, 1);
    EXPECT_EQ(State(), StatePlaying);
    EXPECT_FALSE(engine.Next()) << "nothing after the last";
    EXPECT_TRUE(engine.Previous());
    EXPECT_EQ(engine.Snapshot().Index, 0);
    EXPECT_EQ(State(), StatePlaying);

    engine.PlayPause();  // Pause, then Next: the next entry plays
    engine.Next();
    EXPECT_EQ(engine.Snapshot().Index, 1);
    EXPECT_EQ(State(), StatePlaying);

    engine.StopPlayback();
    EXPECT_EQ(State(), StateStopped);
    EXPECT_EQ(engine.Snapshot().PlayedBytes, 0);
    engine.Previous();  // while stopped: prepared, not started
    EXPECT_EQ(engine.Snapshot().Index, 0);
    EXPECT_EQ(State(), StateStopped);

    // Without a device the loop rests, and the user hears why.
    device.RefuseOpens = 1;
    engine.PlayPause();
    EXPECT_EQ(listener.LastMessage, TrackDeviceNotOpened);
    EXPECT_EQ(engine.RunPass(true, nullptr).RestMs, 30u);
    engine.StopPlayback();
    engine.PlayPause();
    Step();
    EXPECT_GT(device.GetPosition(), 0);
}

TEST_F(EngineTest, SeekingWhilePausedStopsAtTheNewPlace)
{
    Add("long.wav", 4.0);
    engine.PlayPause();
    Step();
    engine.PlayPause();
    ASSERT_EQ(State(), StatePaused);
    engine.SeekTo(2000);
    EXPECT_EQ(State(), StateStopped) << "a seek while paused leaves the device stopped";
    EXPECT_EQ(engine.SeekFileOffset, 352800);
    engine.PlayPause();
    EXPECT_EQ(State(), StatePlaying);
    for (int i = 0; i < 20; ++i)
        Step();
    EXPECT_GT(engine.Snapshot().PlayedBytes, 352800);
    EXPECT_LT(engine.Snapshot().PlayedBytes, 352800 + 176400);

    engine.SeekTo(4000);  // the end: 3 s before the end of a WAV entry
    EXPECT_EQ(engine.SeekFileOffset, 176400);
}

// A buffer the device refuses is not counted, and positions go past 2^31
// bytes (a seek base of 95 % of four hours): the track ends all the same
// and the next one plays.
TEST_F(EngineTest, PastARefusedBufferAndPastTwoGigabytesTheTrackEndsAndTheNextPlays)
{
    Add("one.wav", 0.6);
    Add("two.wav", 0.3);
    device.RefuseWrites = 1;
    engine.SeekBaseBytes = 13680LL * 176400;
    ASSERT_TRUE(engine.PlayTrack(0, true));
    for (int i = 0; i < 3; ++i)
        Step();
    EXPECT_GT(engine.Snapshot().PlayedBytes, 13680LL * 176400);
    EXPECT_EQ(Watch(1000), (std::vector<int>{0, 1, 0}));
}

// The play loop on one thread, a user's every command on another; the ring
// wraps many times. Nothing may race: this runs under ThreadSanitizer too.
TEST_F(EngineTest, AStormOfCommandsAgainstThePlayLoop)
{
    for (int i = 0; i < 6; ++i)
        Add(("storm" + std::to_string(i) + ".wav").c_str(), 0.2 + 0.3 * i);
    const std::string spare = WriteWave("spare.wav", 0.5);
    CNoBufFile::FillPauseMs = 0;  // the reads ahead as fast as they go
    std::atomic<bool> done{false};
    std::thread loop([&] {
        std::int16_t window[2 * PcmWindowFrames];
        while (!done) {
            engine.RunPass(true, window);
            device.Play(17640);
            FakeNow += 100;
        }
    });
    std::mt19937 random(27);
    for (int i = 0; i < 2000; ++i) {
        const int count = engine.TrackCount;  // this thread alone changes it
        const int row = count > 0 ? static_cast<int>(random() % count) : 0;
        switch (random() % 12) {
        case 0: engine.PlayPause(); break;
        case 1: engine.StopPlayback(); break;
        case 2: engine.SeekTo(random() % 3000); break;
        case 3: engine.Next(); break;
        case 4: engine.Previous(); break;
        case 5: engine.PlayChosen(row); break;
        case 6: engine.RemoveEntry(row); engine.AddFile(spare.c_str()); break;
        case 7: engine.MoveEntry(row, count - 1 - row); break;
        case 8: engine.CycleRepeat(); break;
        case 9: engine.SwitchShuffle(); break;
        case 10: engine.DeferReadAhead(); break;
        default: {
            TrackEntry entry;
            engine.EntryAt(row, &entry);
            engine.PlayingIndex();
            break;
        }
        }
    }
    done = true;
    loop.join();
    CNoBufFile::FillPauseMs = 10;
    const EngineSnapshot end = engine.Snapshot();
    EXPECT_EQ(end.Count, 6);
    EXPECT_EQ(listener.Rows, 6);
    EXPECT_TRUE(end.Index >= 0 && end.Index < 6) << end.Index;
}
