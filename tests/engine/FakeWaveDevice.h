// A wave device that plays only when the test says so, and a clock the test
// steps: the engine's passes, the device's progress and the end-of-track
// hold all move in the test's own steps.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>

#include "platform/WaveDevice.h"

class FakeWaveDevice final : public WaveDevice {
public:
    bool Open(WAVEFORMATEX* format, std::int32_t size) override
    {
        std::lock_guard<std::mutex> hold(Mutex);
        OpenFailure = WaveOpenFailure::None;
        if (IsOpen || format == nullptr || size <= 0 || RefuseOpens > 0) {
            RefuseOpens = RefuseOpens > 0 ? RefuseOpens - 1 : 0;
            OpenFailure = WaveOpenFailure::Refused;
            return false;
        }
        format->nBlockAlign = static_cast<std::uint16_t>(format->nChannels * format->wBitsPerSample / 8);
        format->nAvgBytesPerSec = format->nBlockAlign * format->nSamplesPerSec;
        IsOpen = true;
        Free = BufferCount;
        Queued.clear();
        Into = 0;
        Position = 0;
        BufferBytes = size;
        return true;
    }
    bool Close() override
    {
        std::lock_guard<std::mutex> hold(Mutex);
        IsOpen = false;
        Queued.clear();
        Into = 0;
        Free = 0;
        return true;
    }
    WaveWait WaitBuffer() override
    {
        std::lock_guard<std::mutex> hold(Mutex);
        if (State == StateStopped)
            return WaveWait::NoneFree;
        if (!IsOpen)
            return WaveWait::NoDevice;
        if (Free <= 0)
            return WaveWait::NoneFree;
        --Free;
        return WaveWait::Claimed;
    }
    bool GiveBack(std::int32_t count) override
    {
        std::lock_guard<std::mutex> hold(Mutex);
        return GiveBackHeld(count);
    }
    bool Write(const void* data, std::int32_t length) override
    {
        std::lock_guard<std::mutex> hold(Mutex);
        if (State == StateStopped || length == 0)
            return true;
        if (!IsOpen || data == nullptr || length < 0 || length > BufferBytes)
            return false;
        if (RefuseWrites > 0) {
            --RefuseWrites;
            return false;
        }
        Queued.push_back(length);
        return true;
    }
    std::int64_t GetPosition() override
    {
        std::lock_guard<std::mutex> hold(Mutex);
        return State == StateStopped ? -1 : Position;
    }
    bool Start() override
    {
        std::lock_guard<std::mutex> hold(Mutex);
        GiveBackHeld(5);
        State = StatePlaying;
        return true;
    }
    bool Reset() override
    {
        std::lock_guard<std::mutex> hold(Mutex);
        State = StateStopped;
        Position = 0;
        // Every queued buffer comes back done.
        GiveBackHeld(static_cast<std::int32_t>(Queued.size()));
        Queued.clear();
        Into = 0;
        return true;
    }
    bool Pause() override { return Switch(StatePlaying, StatePaused); }
    bool Restart() override { return Switch(StatePaused, StatePlaying); }

    // Plays up to `bytes` of what is queued while the device plays; each
    // buffer played to its end is free again.
    void Play(std::int64_t bytes)
    {
        std::lock_guard<std::mutex> hold(Mutex);
        while (State == StatePlaying && bytes > 0 && !Queued.empty()) {
            const std::int64_t step = std::min<std::int64_t>(bytes, Queued.front() - Into);
            Position += step;
            Into += step;
            bytes -= step;
            if (Into == Queued.front()) {
                Queued.pop_front();
                Into = 0;
                GiveBackHeld(1);
            }
        }
    }
    // Opens and writes still to refuse.
    int RefuseOpens = 0;
    int RefuseWrites = 0;

private:
    bool Switch(PlayState from, PlayState to)
    {
        State.compare_exchange_strong(from, to);
        return IsOpen;
    }
    bool GiveBackHeld(std::int32_t count)
    {
        if (!IsOpen || Free + count > BufferCount)
            return false;
        Free += count;
        return true;
    }

    std::mutex Mutex;
    std::atomic<bool> IsOpen{false};
    std::int32_t Free = 0;
    std::deque<std::int32_t> Queued;
    std::int64_t Into = 0;  // bytes of the first queued buffer played
    std::int64_t Position = 0;
    std::int32_t BufferBytes = 0;
};

// The test's clock, in milliseconds.
inline std::atomic<std::uint32_t> FakeNow{0};
inline std::uint32_t FakeClock()
{
    return FakeNow;
}
