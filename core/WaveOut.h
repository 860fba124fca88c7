// PCM output through the waveform audio device: ten buffers queued in strict
// rotation, a semaphore that counts the free ones, and the play state.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <cstdint>

// What the device is doing.
enum PlayState : LONG { StateStopped = 0, StatePlaying = 1, StatePaused = 2 };

// Why the last Open failed.
enum class WaveOpenFailure {
    None,
    NoDevice,  // the system has no output device
    Refused,   // the device refused the format, or could not be opened or prepared
    NoBuffer,  // a buffer could not be allocated
};

class CWaveOut {
public:
    static constexpr int BufferCount = 10;

    CWaveOut() = default;
    virtual ~CWaveOut();
    CWaveOut(const CWaveOut&) = delete;
    CWaveOut& operator=(const CWaveOut&) = delete;

    // `format` is normalised in place; `size` is the size of each buffer.
    // Shows no message: a failure leaves the object closed and says why in
    // OpenFailure.
    bool Open(WAVEFORMATEX* format, std::int32_t size);
    bool Close();
    // 0 when a free buffer was claimed; WAIT_TIMEOUT when none is free or
    // the device is stopped; WAIT_FAILED without a semaphore.
    DWORD WaitBuffer();
    // Returns `count` claimed buffers to the free ones (false when that
    // would make more than ten).
    bool GiveBack(LONG count);
    // Queues one claimed buffer. False when nothing was queued (the data
    // cannot be taken, or the device refused it): the claim is the caller's
    // to give back.
    bool Write(const void* data, std::int32_t length);
    // Bytes played since the device was opened or reset; -1 while stopped.
    std::int64_t GetPosition();
    bool Start();
    bool Reset();
    bool Pause();
    bool Restart();
    bool SetWaveVolume(DWORD volume);
    bool GetWaveVolume(DWORD* volume);

    static void CALLBACK WaveOutProc(HWAVEOUT device, UINT message, DWORD_PTR instance, DWORD_PTR, DWORD_PTR);

    // The master volume through the mixer (the volume control). A mixer
    // that cannot be used says why and is closed again.
    bool OpenMixer();
    bool CloseMixer();
    bool GetMasterVolume(DWORD* value);
    bool SetMasterVolume(DWORD value);

    // Written by the UI thread (start, pause, stop) and the play thread (at
    // the end of a track), read by both.
    std::atomic<PlayState> State{StateStopped};
    HWAVEOUT Device = nullptr;
    WAVEHDR Headers[BufferCount] = {};
    HANDLE FreeBuffers = nullptr;
    // The semaphore's count as this process last changed it, raised after
    // each release and lowered after each claim: while it is 0 no buffer is
    // free, and the poll needs no call to the system (under Wine every wait
    // is a round trip to the server).
    std::atomic<LONG> FreeCount{0};
    std::int32_t NextBuffer = 0;
    std::int32_t BufferBytes = 0;
    std::int32_t CanPitch = 0;
    std::int32_t CanRate = 0;
    std::int32_t SavedVolume = -1;
    WaveOpenFailure OpenFailure = WaveOpenFailure::None;
    // The position in 64 bits, and the device's own 32-bit count it was
    // last brought up to (both back to 0 with the device's reset).
    std::int64_t PositionBytes = 0;
    DWORD PositionCount = 0;
    HMIXER Mixer = nullptr;
    MIXERCONTROLA* Controls = nullptr;
    DWORD* Details = nullptr;
    std::int32_t VolumeControl = 0;
    DWORD DetailChannels = 0;
    DWORD DetailItems = 0;

private:
    bool FindVolumeControl();
};
