// PCM output through the waveform audio device: ten buffers queued in strict
// rotation, a semaphore that counts the free ones, and the play state; with
// the master volume through the mixer.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <cstdint>

#include "platform/WaveDevice.h"

class CWaveOut final : public WaveDevice {
public:
    CWaveOut() = default;
    ~CWaveOut() override;

    bool Open(WAVEFORMATEX* format, std::int32_t size) override;
    bool Close() override;
    // NoDevice without a semaphore.
    WaveWait WaitBuffer() override;
    bool GiveBack(std::int32_t count) override;
    bool Write(const void* data, std::int32_t length) override;
    std::int64_t GetPosition() override;
    bool Start() override;
    bool Reset() override;
    bool Pause() override;
    bool Restart() override;
    bool SetWaveVolume(DWORD volume);
    bool GetWaveVolume(DWORD* volume);

    static void CALLBACK WaveOutProc(HWAVEOUT device, UINT message, DWORD_PTR instance, DWORD_PTR, DWORD_PTR);

    // The master volume through the mixer (the volume control). A mixer
    // that cannot be used says why and is closed again.
    bool OpenMixer();
    bool CloseMixer();
    bool GetMasterVolume(DWORD* value);
    bool SetMasterVolume(DWORD value);

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
