// The sound device the engine plays through: ten buffers queued in strict
// rotation, a count of the free ones, a position in bytes and the play
// state. The program plays through the waveform audio device (WaveOut.h);
// the engine's own tests play through a device whose clock they step.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/WinTypes.h"

// What the device is doing.
enum PlayState : std::int32_t { StateStopped = 0, StatePlaying = 1, StatePaused = 2 };

// Why the last Open failed.
enum class WaveOpenFailure {
    None,
    NoDevice,  // the system has no output device
    Refused,   // the device refused the format, or could not be opened or prepared
    NoBuffer,  // a buffer could not be allocated
};

// What a look for a free buffer found.
enum class WaveWait {
    Claimed,   // a free buffer is now the caller's to write
    NoneFree,  // none is free, or the device is stopped
    NoDevice,  // nothing is open to play through
};

class WaveDevice {
public:
    static constexpr int BufferCount = 10;

    WaveDevice() = default;
    virtual ~WaveDevice() = default;
    WaveDevice(const WaveDevice&) = delete;
    WaveDevice& operator=(const WaveDevice&) = delete;

    // `format` is normalised in place; `size` is the size of each buffer.
    // Shows no message: a failure leaves the device closed and says why in
    // OpenFailure.
    virtual bool Open(WAVEFORMATEX* format, std::int32_t size) = 0;
    virtual bool Close() = 0;
    virtual WaveWait WaitBuffer() = 0;
    // Returns `count` claimed buffers to the free ones (false when that
    // would make more than ten).
    virtual bool GiveBack(std::int32_t count) = 0;
    // Queues one claimed buffer. False when nothing was queued (the data
    // cannot be taken, or the device refused it): the claim is the caller's
    // to give back.
    virtual bool Write(const void* data, std::int32_t length) = 0;
    // Bytes played since the device was opened or reset; -1 while stopped.
    virtual std::int64_t GetPosition() = 0;
    virtual bool Start() = 0;
    virtual bool Reset() = 0;
    virtual bool Pause() = 0;
    virtual bool Restart() = 0;

    // Written by the interface thread (start, pause, stop) and the play
    // thread (at the end of a track), read by both.
    std::atomic<PlayState> State{StateStopped};
    WaveOpenFailure OpenFailure = WaveOpenFailure::None;
};
