// The playback engine's operations: starting, pausing, stopping, seeking and
// changing tracks, and the stream the play loop draws PCM from.
#include "engine/Engine.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/Faults.h"

namespace {

// The feed reads the file of the current track through the file reader.
bool ReadForFeed(void* context, std::uint8_t* destination, std::int32_t size, std::int32_t* got)
{
    return static_cast<CEngine*>(context)->ReadRaw(destination, size, got);
}

}  // namespace

CEngine::CEngine(EngineListener& listener, EngineClock clock) : Listener(listener), Clock(clock) {}

CEngine::~CEngine()
{
    Release();
}

CEngine::Missing CEngine::Create()
{
    if (!FaultHappens(Fault::PcmRing))
        PcmRing.reset(new (std::nothrow) std::uint8_t[PcmRingBytes]());
    Chunk.reset(new (std::nothrow) std::uint8_t[PcmRingBytes]);
    if (PcmRing == nullptr || Chunk == nullptr)
        return Missing::PcmRing;
    FileInfo.reset(new (std::nothrow) CFileInfo);
    if (FileInfo == nullptr)
        return Missing::FileInfo;
    FileReader.reset(new (std::nothrow) CNoBufFile);
    if (FileReader == nullptr)
        return Missing::FileReader;
    return Missing::Nothing;
}

void CEngine::Release()
{
    FileReader.reset();
    FileInfo.reset();
    PcmRing.reset();
    Chunk.reset();
}

bool CEngine::ReadTrackInfo(const char* path, TrackEntry* entry)
{
    return FileInfo != nullptr && FileInfo->ReadTrackInfo(path, entry) != 0;
}

bool CEngine::IsPlaying()
{
    return Device != nullptr && Device->State == StatePlaying;
}

bool CEngine::IsPaused()
{
    return Device != nullptr && Device->State == StatePaused;
}

TrackEntry* CEngine::CurrentEntry() const
{
    if (CurrentIndex < 0 || CurrentIndex >= TrackCount)
        return nullptr;
    return Tracks[CurrentIndex];
}

std::int32_t CEngine::PlayingIndex()
{
    HeldLock lock(EngineLock);
    if (Device == nullptr || Device->State == StateStopped || CurrentEntry() == nullptr)
        return -1;
    return CurrentIndex;
}

bool CEngine::PlayTrack(std::int32_t index, bool start)
{
    if (FileReader == nullptr || Device == nullptr)
        return false;
    bool refresh = false;
    bool opened = false;
    {
        HeldLock lock(EngineLock);
        if (index < 0 || index > TrackCount - 1)
            return false;
        opened = OpenTrack(index, start, &refresh);
    }
    if (refresh)
        Listener.RedrawDue();
    if (opened)
        Listener.TitleRestarted();
    Listener.PlayingRowChanged();
    return opened;
}

bool CEngine::OpenTrack(std::int32_t index, bool start, bool* refresh)
{
    TrackEntry* entry = Tracks[index];
    if (entry == nullptr)
        return false;
    CurrentIndex = index;

    FileReader->SetEnabled(false);
    Device->Reset();
    FileReader->Close();
    Device->Close();

    DeviceFormat = entry->WaveFormat;
    if (!Device->Open(&DeviceFormat, WaveBlockBytes)) {
        const WaveOpenFailure why = Device->OpenFailure;
        Listener.MessageDue(why == WaveOpenFailure::NoDevice   ? TrackNoSoundDevice
                            : why == WaveOpenFailure::NoBuffer ? TrackNoWaveBuffer
                                                               : TrackDeviceNotOpened);
    }
    TrackSeconds = entry->Duration;
    StreamEnded = false;

    if (!FileReader->Open(entry->Path)) {
        Listener.MessageDue(FileReader->NoCache ? TrackNoFileCache : TrackCannotPlay);
        std::memset(&DeviceFormat, 0, sizeof DeviceFormat);
        FileReader->SetEnabled(true);
        WrittenBytes = 0;
        TrackSeconds = 0;
        *refresh = true;
        return false;
    }
    FileReader->SetEnabled(true);

    if (entry->FileType == FileTypeMpeg) {
        FileReader->Seek(entry->DataOffset);
        Feed.SetReader(ReadForFeed, this);
        if (!Feed.OpenMpegStream(entry->FrameHeader, SeekFileOffset))
            return false;
    } else {
        const std::int64_t offset = std::int64_t{entry->DataOffset} + (SeekFileOffset > 0 ? SeekFileOffset : 0);
        FileReader->Seek(offset);
        WaveBytesLeft = std::int64_t{entry->DataLength} - (SeekFileOffset > 0 ? SeekFileOffset : 0);
        if (WaveBytesLeft < 0)
            WaveBytesLeft = 0;
    }
    StreamRestarted = true;
    if (start) {
        WrittenBytes = 0;
        Device->Start();
    }
    *refresh = true;
    return true;
}

void CEngine::SeekTo(std::int64_t milliseconds)
{
    if (Device == nullptr)
        return;
    HeldLock lock(EngineLock);
    TrackEntry* entry = CurrentEntry();
    if (entry == nullptr)
        return;
    const double averageBytes = static_cast<double>(static_cast<std::uint32_t>(entry->WaveFormat.nAvgBytesPerSec));
    const double durationMs = static_cast<double>(entry->Duration) * 1000;
    // A place past the end is the end; every place is in the file's data.
    const double ms = std::clamp(static_cast<double>(milliseconds), 0.0, durationMs > 0 ? durationMs : 0.0);
    const double dataBytes = entry->DataLength > 0 ? entry->DataLength : 0;
    const auto inData = [dataBytes](double bytes) { return static_cast<std::int32_t>(std::clamp(bytes, 0.0, dataBytes)); };
    if (entry->FileType == FileTypeMpeg) {
        const double at = ms >= durationMs - 1 ? std::max(ms - 6000, 0.0) : ms;
        // The offset counts from the first byte of the audio data, in
        // proportion to the stream's exact length (the whole seconds of
        // `Duration` would put a seek up to a second off); a track without a
        // known length starts from its beginning.
        const FrameHeader& h = entry->FrameHeader;
        double exactMs = durationMs;
        if (entry->BitRate != 0) {
            exactMs = static_cast<double>(entry->DataLength) * 8 / entry->BitRate;
        } else if (h.XingFrames != 0 && h.OutChannels > 0 && h.OutBits > 0 && h.OutSampleRate > 0) {
            const double samples = static_cast<double>(h.PcmBytesPerFrame) * 8 / h.OutBits / h.OutChannels;
            exactMs = static_cast<double>(static_cast<std::uint32_t>(h.XingFrames)) * samples * 1000 / h.OutSampleRate;
        }
        SeekFileOffset = exactMs > 0 ? inData(at / exactMs * dataBytes) : 0;
        // Positions in bytes go past 2^31 in a track of 3 h 22 min.
        if (static_cast<std::int64_t>(at) / 1000 >= entry->Duration - 1)
            SeekBaseBytes = static_cast<std::int64_t>((entry->Duration - 3 > 0 ? entry->Duration - 3 : 0) * averageBytes);
        else
            SeekBaseBytes = static_cast<std::int64_t>(at * averageBytes / 1000);
    } else {
        const double at = ms >= durationMs - 1 ? std::max(ms - 3000, 0.0) : ms;
        SeekFileOffset = inData(at / 1000 * averageBytes) / 4 * 4;
        SeekBaseBytes = SeekFileOffset;
    }
    PlayTrack(CurrentIndex, Device->State == StatePlaying);
    RefreshMain();
}

void CEngine::PlayPause()
{
    if (Device == nullptr)
        return;
    HeldLock lock(EngineLock);
    if (TrackCount == 0)
        return;
    switch (Device->State) {
    case StatePlaying:
        Device->Pause();
        break;
    case StatePaused:
        Device->Restart();
        break;
    default:
        PlayTrack(ShuffleState != 0 ? NextIndex() : CurrentIndex, true);
        break;
    }
}

void CEngine::ResetPlace()
{
    Listener.PlaceReset();
    SeekFileOffset = 0;
    SeekBaseBytes = 0;
}

void CEngine::StopPlayback()
{
    HeldLock lock(EngineLock);
    ResetPlace();
    if (FileReader != nullptr)
        FileReader->SetEnabled(false);
    if (Device != nullptr)
        Device->Reset();
    PlayedBytes = 0;
    if (ShuffleState != 0)
        ToggleShuffle();
    Listener.PlayingRowChanged();
    RefreshMain();
}

bool CEngine::PlayChosen(std::int32_t index)
{
    HeldLock lock(EngineLock);
    ResetPlace();
    if (ShuffleState != 0)
        ToggleShuffle();
    return PlayTrack(index, true);
}

bool CEngine::GoToTrack(std::int32_t index)
{
    HeldLock lock(EngineLock);
    // No entry there (Next after the last, Previous before the first): the
    // place in the current track stays as it is.
    if (index < 0 || index >= TrackCount)
        return false;
    ResetPlace();
    return PlayTrack(index, Device != nullptr && Device->State != StateStopped);
}

bool CEngine::Next()
{
    HeldLock lock(EngineLock);
    return GoToTrack(NextIndex());
}

bool CEngine::Previous()
{
    HeldLock lock(EngineLock);
    return GoToTrack(PreviousIndex());
}

void CEngine::SelectEntry(std::int32_t index)
{
    HeldLock lock(EngineLock);
    CurrentIndex = index;
}

void CEngine::CycleRepeat()
{
    HeldLock lock(EngineLock);
    RepeatState = RepeatState >= 0 && RepeatState < 2 ? RepeatState + 1 : 0;
}

void CEngine::SwitchShuffle()
{
    HeldLock lock(EngineLock);
    ToggleShuffle();
}

void CEngine::DeferReadAhead()
{
    HeldLock lock(EngineLock);
    ReadAheadDefer = true;
}

EngineSnapshot CEngine::Snapshot()
{
    EngineSnapshot view;
    HeldLock lock(EngineLock);
    view.State = Device != nullptr ? Device->State.load() : StateStopped;
    view.Index = CurrentIndex;
    view.Count = TrackCount;
    view.PlayedBytes = PlayedBytes;
    view.TrackSeconds = TrackSeconds;
    view.Repeat = RepeatState;
    view.Shuffle = ShuffleState;
    if (const TrackEntry* entry = CurrentEntry()) {
        view.Present = true;
        view.Duration = entry->Duration;
        view.BytesPerSecond = entry->WaveFormat.nAvgBytesPerSec;
        view.BitRate = entry->BitRate;
        view.SampleRate = entry->SampleRate;
        view.Channels = entry->Channels;
    }
    return view;
}

bool CEngine::CurrentTexts(std::string* title, std::string* artist)
{
    HeldLock lock(EngineLock);
    const TrackEntry* entry = CurrentEntry();
    if (entry == nullptr)
        return false;
    title->assign(entry->Title, strnlen(entry->Title, sizeof entry->Title));
    artist->assign(entry->Artist, strnlen(entry->Artist, sizeof entry->Artist));
    return true;
}

bool CEngine::EntryAt(std::int32_t index, TrackEntry* copy)
{
    HeldLock lock(EngineLock);
    if (index < 0 || index >= TrackCount || Tracks[index] == nullptr)
        return false;
    *copy = *Tracks[index];
    return true;
}

bool CEngine::ReadRaw(std::uint8_t* buffer, std::int32_t length, std::int32_t* bytes)
{
    *bytes = 0;
    if (FileReader == nullptr)
        return false;
    const std::int32_t n = FileReader->Read(buffer, length);
    if (n < 0)
        return false;
    *bytes = n;
    return true;
}

bool CEngine::DecodeChunk(std::uint8_t* buffer, std::int32_t maximum, std::int32_t* bytes)
{
    *bytes = 0;
    TrackEntry* entry = CurrentEntry();
    if (entry == nullptr)
        return true;
    bool ok = true;
    if (entry->FileType == FileTypeWave) {
        std::int32_t want = WaveBlockBytes < maximum ? WaveBlockBytes : maximum;
        if (want > WaveBytesLeft)
            want = static_cast<std::int32_t>(WaveBytesLeft);
        // Whole sample frames only.
        const std::int32_t frame = entry->WaveFormat.nBlockAlign > 0 ? entry->WaveFormat.nBlockAlign : 1;
        want -= want % frame;
        if (want > 0 && !ReadRaw(buffer, want, bytes)) {
            *bytes = 0;
            ok = false;
        }
        *bytes -= *bytes % frame;
        WaveBytesLeft -= *bytes;
    } else if (entry->FileType == FileTypeMpeg) {
        ok = Feed.DecodeMpegChunk(buffer, bytes);
    }
    if (*bytes == 0)
        StreamEnded = true;
    return ok;
}
