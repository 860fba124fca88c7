// The playback engine: the playlist table, the state of playback and the
// operations on it (play, pause, stop, seek, next, the end of a track), the
// stream the play loop draws PCM from, and one pass of that loop. It plays
// through a WaveDevice and never reaches a window: what the layers above are
// to show, it reports to its EngineListener, and they read its state through
// Snapshot and change it only through its operations.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/FileInfo.h"
#include "engine/MpegStreamFeed.h"
#include "engine/NoBufFile.h"
#include "engine/PlaylistTable.h"
#include "platform/System.h"
#include "platform/WaveDevice.h"

// A message about the track for the user.
enum TrackMessage : std::uint32_t {
    TrackCannotPlay = 0,       // the file cannot be opened
    TrackDeviceNotOpened = 1,  // the wave device cannot be opened
    TrackNoSoundDevice = 2,    // ... as the system has none
    TrackNoWaveBuffer = 3,     // ... as its buffers cannot be allocated
    TrackNoFileCache = 4,      // the file reader has no cache
};

// One wave buffer, and the ring that keeps the PCM last queued for the
// analyser: a buffer for each of the device's buffers.
inline constexpr std::int32_t WaveBlockSize = 65536;
inline constexpr std::int32_t PcmRingBytes = WaveBlockSize * WaveDevice::BufferCount;
// The analyser's window: 512 frames of 16-bit stereo.
inline constexpr std::int32_t PcmWindowFrames = 512;

// What the engine tells the layers above. Calls come on either thread,
// some with the engine lock held: none may wait for another thread.
class EngineListener {
public:
    virtual ~EngineListener() = default;
    // An entry about to join the table, and one leaving it (the
    // interface thread): the playlist's rows and totals.
    virtual void EntryAdded(const TrackEntry& entry) = 0;
    virtual void EntryRemoved(const TrackEntry& entry) = 0;
    // The face is to be drawn again.
    virtual void RedrawDue() = 0;
    // A track was opened: its title starts scrolling from the beginning.
    virtual void TitleRestarted() = 0;
    // The entry being played changed, or playback stopped.
    virtual void PlayingRowChanged() = 0;
    virtual void ShuffleChanged() = 0;
    // The place chosen on the seek bar goes back to the start.
    virtual void PlaceReset() = 0;
    // A message for the user, to be shown once nobody holds the engine.
    virtual void MessageDue(TrackMessage message) = 0;
};

// What the windows show of the engine, copied under its lock.
struct EngineSnapshot {
    PlayState State = StateStopped;
    std::int32_t Index = 0;
    std::int32_t Count = 0;
    std::int64_t PlayedBytes = 0;
    std::int32_t TrackSeconds = 0;
    std::int32_t Repeat = RepeatOff;
    std::int32_t Shuffle = 0;
    // The current entry's numbers, when there is one.
    bool Present = false;
    std::int32_t Duration = 0;
    std::uint32_t BytesPerSecond = 0;
    std::uint32_t BitRate = 0;
    std::uint32_t SampleRate = 0;
    std::uint32_t Channels = 0;
};

// What one pass of the play loop did, for the thread that runs it.
struct PassResult {
    // How long to rest before the next pass (0: go on at once).
    std::uint32_t RestMs = 0;
    // The device plays.
    bool Playing = false;
    // The analyser's window was filled with the PCM being heard.
    bool SpectrumDue = false;
};

// The clock the end of a track is timed by: milliseconds, going round.
using EngineClock = std::uint32_t (*)();

class CEngine : public PlaylistTable {
public:
    explicit CEngine(EngineListener& listener, EngineClock clock = TickMilliseconds);
    ~CEngine() override;

    // What Create could not make.
    enum class Missing { Nothing, PcmRing, FileInfo, FileReader };
    // The ring, the file information reader and the file reader; what was
    // made is kept for Release when one fails.
    Missing Create();
    void Release();
    // The device to play through (null: none). The engine does not own it.
    void Attach(WaveDevice* device) { Device = device; }

    // Operations (the interface thread; the play loop at the end of a track).
    bool PlayTrack(std::int32_t index, bool start);
    void SeekTo(std::int64_t milliseconds);
    void StopPlayback() override;
    // Nothing happens while the table is empty.
    void PlayPause() override;
    bool PlayChosen(std::int32_t index);
    bool GoToTrack(std::int32_t index);
    // Next and Previous as the buttons mean them; false when there is no
    // such entry.
    bool Next();
    bool Previous();
    // Makes `index` the current entry (nothing plays or changes otherwise).
    void SelectEntry(std::int32_t index);
    void CycleRepeat();
    void SwitchShuffle();
    // The play loop reads a long way ahead from now on (the face goes away).
    void DeferReadAhead();

    // One pass of the play loop (the play thread): feeds the device, reads
    // ahead, moves on at the end of a track. While the face is `shown`, the
    // loop follows the sound closely, and `window` (PcmWindowFrames stereo
    // frames; null when the analyser is not wanted) receives the
    // analyser's window when one is due.
    PassResult RunPass(bool shown, std::int16_t* window);
    // Lets go of the device and the file (the play thread, as it ends).
    void CloseStream();

    // Reads, under the lock.
    EngineSnapshot Snapshot();
    // The entry being played or paused, or -1 when stopped.
    std::int32_t PlayingIndex();
    // The current entry's title and artist; false without one.
    bool CurrentTexts(std::string* title, std::string* artist);
    // A copy of the entry at `index`; false without one.
    bool EntryAt(std::int32_t index, TrackEntry* copy);
    // The current entry, or null (under the lock only).
    TrackEntry* CurrentEntry() const;

    // Decodes the next chunk of the current stream (under the lock).
    bool DecodeChunk(std::uint8_t* buffer, std::int32_t maximum, std::int32_t* bytes);
    bool ReadRaw(std::uint8_t* buffer, std::int32_t length, std::int32_t* bytes);

    // Serialises the engine between the interface thread and the play
    // thread. It guards the table (Tracks, PlayHistory, CurrentIndex,
    // TrackCount, ShuffleState, RepeatState and the random state), the
    // device's buffers and state changes, the file reader's position, Feed,
    // DeviceFormat, WaveBytesLeft, StreamEnded, StreamRestarted,
    // WrittenBytes, TrackSeconds, ReadAheadDefer, SeekFileOffset,
    // SeekBaseBytes and the ring. Every operation takes it; the play loop
    // holds it for each pass. Nothing that waits for another thread is
    // called while it is held.
    PlatformLock EngineLock;

    WaveDevice* Device = nullptr;
    std::unique_ptr<CNoBufFile> FileReader;
    std::unique_ptr<CFileInfo> FileInfo;
    // The PCM last queued, PcmRingBytes, at the device's positions.
    std::unique_ptr<std::uint8_t[]> PcmRing;
    // The MPEG buffers of the stream opened last.
    MpegStreamFeed Feed;
    WAVEFORMATEX DeviceFormat = {};
    // WAV bytes of the current stream not yet read: what follows the sample
    // data (trailing chunks) never reaches the device.
    std::int64_t WaveBytesLeft = 0;
    // The current stream has delivered everything it holds.
    bool StreamEnded = false;
    // PCM of the current track played so far: written under the lock, read
    // by the drawing on both threads.
    std::atomic<std::int64_t> PlayedBytes{0};
    std::int32_t WaveBlockBytes = WaveBlockSize;
    std::int64_t WrittenBytes = 0;
    bool StreamRestarted = false;
    bool ReadAheadDefer = false;
    std::int32_t SeekFileOffset = 0;
    std::int64_t SeekBaseBytes = 0;
    std::int32_t TrackSeconds = 0;

protected:
    bool ReadTrackInfo(const char* path, TrackEntry* entry) override;
    void AddRow(const TrackEntry* entry) override { Listener.EntryAdded(*entry); }
    void SubtractTotals(const TrackEntry* entry) override { Listener.EntryRemoved(*entry); }
    bool IsPlaying() override;
    bool IsPaused() override;
    void RefreshMain() override { Listener.RedrawDue(); }
    void DrawShuffle() override { Listener.ShuffleChanged(); }
    void LockEngine() override { EngineLock.Enter(); }
    void UnlockEngine() override { EngineLock.Leave(); }

private:
    // PlayTrack's work under the lock; `refresh` asks for a repaint.
    bool OpenTrack(std::int32_t index, bool start, bool* refresh);
    // A new place: the start of the track.
    void ResetPlace();

    EngineListener& Listener;
    EngineClock Clock;

    // The play loop's own state (the play thread only): the chunk decoded
    // before it is queued, and where the ring and the reading ahead are.
    std::unique_ptr<std::uint8_t[]> Chunk;
    std::int32_t RingWritePos = 0;
    std::int64_t DecodedTotal = 0;
    std::int64_t Threshold = 22050;
    bool TrackEndPending = false;
    std::uint32_t TrackEndSince = 0;
    std::int64_t LastSpectrumPos = -176400;
};
