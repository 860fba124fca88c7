#include "platform/WaveOut.h"

#include <cstring>

#include "platform/Faults.h"

CWaveOut::~CWaveOut()
{
    Reset();
    Close();
    CloseMixer();
}

bool CWaveOut::Open(WAVEFORMATEX* format, std::int32_t size)
{
    OpenFailure = WaveOpenFailure::None;
    if (Device != nullptr || format == nullptr || size <= 0) {
        OpenFailure = WaveOpenFailure::Refused;
        return false;
    }
    format->wFormatTag = WAVE_FORMAT_PCM;
    format->nBlockAlign = static_cast<WORD>(format->nChannels * format->wBitsPerSample / 8);
    format->nAvgBytesPerSec = format->nBlockAlign * format->nSamplesPerSec;
    format->cbSize = 0;

    if (waveOutGetNumDevs() == 0) {
        OpenFailure = WaveOpenFailure::NoDevice;
        return false;
    }
    WAVEOUTCAPSA caps{};
    if (waveOutGetDevCapsA(0, &caps, sizeof caps) == MMSYSERR_NOERROR) {
        CanPitch = (caps.dwSupport & WAVECAPS_PITCH) ? 1 : 0;
        CanRate = (caps.dwSupport & WAVECAPS_PLAYBACKRATE) ? 1 : 0;
    }
    if (FaultHappens(Fault::Device) ||
        waveOutOpen(&Device, WAVE_MAPPER, format, reinterpret_cast<DWORD_PTR>(WaveOutProc),
                    reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION | WAVE_ALLOWSYNC) != MMSYSERR_NOERROR) {
        Device = nullptr;
        OpenFailure = WaveOpenFailure::Refused;
        return false;
    }
    PositionBytes = 0;
    PositionCount = 0;
    if (FreeBuffers == nullptr) {
        FreeBuffers = CreateSemaphoreA(nullptr, BufferCount, BufferCount, nullptr);
        if (FreeBuffers == nullptr) {
            waveOutClose(Device);
            Device = nullptr;
            OpenFailure = WaveOpenFailure::Refused;
            return false;
        }
        FreeCount = BufferCount;
    }
    NextBuffer = 0;
    // A device with fewer than its ten buffers cannot play in rotation:
    // whatever fails here leaves the object closed, with nothing held.
    for (int i = 0; i < BufferCount; ++i) {
        WAVEHDR& header = Headers[i];
        std::memset(&header, 0, sizeof header);
        if (!(i == BufferCount - 1 && FaultHappens(Fault::Buffer)))
            header.lpData =
                static_cast<LPSTR>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, static_cast<SIZE_T>(size)));
        if (header.lpData == nullptr) {
            OpenFailure = WaveOpenFailure::NoBuffer;
            Close();
            return false;
        }
        header.dwBufferLength = static_cast<DWORD>(size);
        if (waveOutPrepareHeader(Device, &header, sizeof header) != MMSYSERR_NOERROR) {
            OpenFailure = WaveOpenFailure::Refused;
            Close();
            return false;
        }
    }
    BufferBytes = size;

    DWORD volume = 0;
    if (GetWaveVolume(&volume))
        SavedVolume = static_cast<std::int32_t>(volume);
    SetWaveVolume(65535);
    return true;
}

bool CWaveOut::Close()
{
    if (SavedVolume != -1) {
        SetWaveVolume(static_cast<DWORD>(SavedVolume));
        SavedVolume = -1;
    }
    if (Device == nullptr)
        return true;
    Reset();
    for (int i = 0; i < BufferCount; ++i) {
        WAVEHDR& header = Headers[NextBuffer];
        NextBuffer = (NextBuffer + 1) % BufferCount;
        if (header.lpData == nullptr)
            continue;
        if (header.dwFlags & WHDR_PREPARED) {
            while (waveOutUnprepareHeader(Device, &header, sizeof header) == WAVERR_STILLPLAYING)
                Sleep(200);
        }
        HeapFree(GetProcessHeap(), 0, header.lpData);
        header.lpData = nullptr;
    }
    waveOutClose(Device);
    Device = nullptr;
    if (FreeBuffers != nullptr) {
        CloseHandle(FreeBuffers);
        FreeBuffers = nullptr;
        FreeCount = 0;
    }
    CanPitch = CanRate = 0;
    return true;
}

WaveWait CWaveOut::WaitBuffer()
{
    if (State == StateStopped)
        return WaveWait::NoneFree;
    if (FreeBuffers == nullptr)
        return WaveWait::NoDevice;
    if (FreeCount.load() <= 0)
        return WaveWait::NoneFree;
    const DWORD result = WaitForSingleObject(FreeBuffers, 0);
    if (result == WAIT_OBJECT_0) {
        --FreeCount;
        return WaveWait::Claimed;
    }
    return result == WAIT_TIMEOUT ? WaveWait::NoneFree : WaveWait::NoDevice;
}

bool CWaveOut::GiveBack(std::int32_t count)
{
    if (FreeBuffers == nullptr || !ReleaseSemaphore(FreeBuffers, count, nullptr))
        return false;
    FreeCount += count;
    return true;
}

bool CWaveOut::Write(const void* data, std::int32_t length)
{
    if (State == StateStopped || length == 0)
        return true;
    // More than a buffer holds, or nothing to read, is refused rather than
    // copied past the buffer's end.
    if (data == nullptr || length < 0 || length > BufferBytes || Device == nullptr)
        return false;
    WAVEHDR& header = Headers[NextBuffer];
    if (header.lpData == nullptr)
        return false;
    header.dwBufferLength = static_cast<DWORD>(length);
    std::memcpy(header.lpData, data, static_cast<std::size_t>(length));
    // A buffer the device refuses stays the next one: the rotation stays
    // that of the buffers queued, which the device finishes in order.
    if (FaultHappens(Fault::Write) || waveOutWrite(Device, &header, sizeof header) != MMSYSERR_NOERROR)
        return false;
    NextBuffer = (NextBuffer + 1) % BufferCount;
    return true;
}

std::int64_t CWaveOut::GetPosition()
{
    if (State == StateStopped)
        return -1;
    MMTIME time{};
    time.wType = TIME_BYTES;
    if (Device == nullptr || waveOutGetPosition(Device, &time, sizeof time) != MMSYSERR_NOERROR)
        return 0;
    // The device counts in 32 bits, which pass 4 GiB after 6 h 45 min at
    // 44.1 kHz; the position goes on past them (it is asked for many times
    // a second, far more often than the count can go round).
    PositionBytes += static_cast<DWORD>(time.u.cb - PositionCount);
    PositionCount = time.u.cb;
    return PositionBytes;
}

bool CWaveOut::Start()
{
    GiveBack(5);  // refused while all ten are free
    State = StatePlaying;
    return true;
}

bool CWaveOut::Reset()
{
    State = StateStopped;
    PositionBytes = 0;
    PositionCount = 0;
    if (Device == nullptr)
        return true;
    return waveOutReset(Device) == MMSYSERR_NOERROR;
}

bool CWaveOut::Pause()
{
    PlayState playing = StatePlaying;
    State.compare_exchange_strong(playing, StatePaused);
    return Device != nullptr && waveOutPause(Device) == MMSYSERR_NOERROR;
}

bool CWaveOut::Restart()
{
    PlayState paused = StatePaused;
    State.compare_exchange_strong(paused, StatePlaying);
    return Device != nullptr && waveOutRestart(Device) == MMSYSERR_NOERROR;
}

bool CWaveOut::SetWaveVolume(DWORD volume)
{
    return waveOutSetVolume(Device, (volume & 0xFFFF) * 65537) == MMSYSERR_NOERROR;
}

bool CWaveOut::GetWaveVolume(DWORD* volume)
{
    DWORD both = 0;
    if (waveOutGetVolume(Device, &both) != MMSYSERR_NOERROR)
        return false;
    *volume = both & 0xFFFF;
    return true;
}

void CALLBACK CWaveOut::WaveOutProc(HWAVEOUT, UINT message, DWORD_PTR instance, DWORD_PTR, DWORD_PTR)
{
    if (message == WOM_DONE)
        reinterpret_cast<CWaveOut*>(instance)->GiveBack(1);
}
