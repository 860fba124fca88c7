// The playback engine's operations: starting, pausing, stopping, seeking and
// changing tracks, and the stream the play thread draws PCM from.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "core/Player.h"
#include "core/Win32Handles.h"

namespace {

// The feed reads the file of the current track through the file reader.
bool ReadForFeed(void* context, std::uint8_t* destination, std::int32_t size, std::int32_t* got)
{
    return static_cast<CPlayer*>(context)->ReadRaw(destination, size, got);
}

// Caption state (play thread only), with the text last handed to the
// window's thread: the same text again is not sent.
std::int32_t CaptionScroll = 0;
std::int64_t CaptionStepPos = -176400;
std::string LastCaption;
bool LastCaptionIsTip = false;

}  // namespace

TrackEntry* CPlayer::CurrentEntry() const
{
    if (CurrentIndex < 0 || CurrentIndex >= TrackCount)
        return nullptr;
    return Tracks[CurrentIndex];
}

std::int32_t CPlayer::PlayingIndex()
{
    ScopedLock lock(EngineLock);
    if (WaveOut == nullptr || WaveOut->State == StateStopped || CurrentEntry() == nullptr)
        return -1;
    return CurrentIndex;
}

bool CPlayer::PlayTrack(std::int32_t index, bool start)
{
    if (index < 0 || index > TrackCount - 1 || FileReader == nullptr || WaveOut == nullptr)
        return false;
    bool refresh = false;
    bool opened = false;
    {
        ScopedLock lock(EngineLock);
        opened = OpenTrack(index, start, &refresh);
    }
    if (refresh)
        RefreshMain();
    if (opened)
        Face.RestartTitle();
    PlayList.ShowPlayingRow();
    return opened;
}

bool CPlayer::OpenTrack(std::int32_t index, bool start, bool* refresh)
{
    TrackEntry* entry = Tracks[index];
    if (entry == nullptr)
        return false;
    CurrentIndex = index;

    FileReader->SetEnabled(false);
    WaveOut->Reset();
    FileReader->Close();
    WaveOut->Close();

    DeviceFormat = entry->WaveFormat;
    if (!WaveOut->Open(&DeviceFormat, WaveBlockBytes)) {
        const WaveOpenFailure why = WaveOut->OpenFailure;
        PostTrackMessage(why == WaveOpenFailure::NoDevice   ? TrackNoSoundDevice
                         : why == WaveOpenFailure::NoBuffer ? TrackNoWaveBuffer
                                                            : TrackDeviceNotOpened);
    }
    TrackSeconds = entry->Duration;
    StreamEnded = 0;

    if (!FileReader->Open(entry->Path)) {
        PostTrackMessage(FileReader->NoCache ? TrackNoFileCache : TrackCannotPlay);
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
    StreamRestarted = 1;
    if (start) {
        WrittenBytes = 0;
        WaveOut->Start();
    }
    *refresh = true;
    return true;
}

void CPlayer::SeekTo(std::int64_t milliseconds)
{
    TrackEntry* entry = CurrentEntry();
    if (entry == nullptr || WaveOut == nullptr)
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
    PlayTrack(CurrentIndex, WaveOut->State == StatePlaying);
    RefreshMain();
}

void CPlayer::PlayPause()
{
    if (WaveOut == nullptr)
        return;
    if (TrackCount == 0)
        ShowOpenDialog(MainWindow);
    if (TrackCount == 0)
        return;
    ScopedLock lock(EngineLock);
    switch (WaveOut->State) {
    case StatePlaying:
        WaveOut->Pause();
        break;
    case StatePaused:
        WaveOut->Restart();
        break;
    default:
        PlayTrack(ShuffleState != 0 ? NextIndex() : CurrentIndex, true);
        break;
    }
}

void CPlayer::StopPlayback()
{
    SeekKnob = 0;
    SeekFileOffset = 0;
    SeekBaseBytes = 0;
    ScopedLock lock(EngineLock);
    if (FileReader != nullptr)
        FileReader->SetEnabled(false);
    if (WaveOut != nullptr)
        WaveOut->Reset();
    PlayedBytes = 0;
    if (ShuffleState != 0)
        ToggleShuffle();
    PlayList.ShowPlayingRow();
    RefreshMain();
}

bool CPlayer::PlayChosen(std::int32_t index)
{
    SeekKnob = 0;
    SeekFileOffset = 0;
    SeekBaseBytes = 0;
    if (ShuffleState != 0)
        ToggleShuffle();
    return PlayTrack(index, true);
}

bool CPlayer::GoToTrack(std::int32_t index)
{
    // No entry there (Next after the last, Previous before the first): the
    // place in the current track stays as it is.
    if (index < 0 || index >= TrackCount)
        return false;
    SeekKnob = 0;
    SeekFileOffset = 0;
    SeekBaseBytes = 0;
    return PlayTrack(index, WaveOut != nullptr && WaveOut->State != StateStopped);
}

bool CPlayer::ReadRaw(std::uint8_t* buffer, std::int32_t length, std::int32_t* bytes)
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

bool CPlayer::DecodeChunk(std::uint8_t* buffer, std::int32_t maximum, std::int32_t* bytes)
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
        StreamEnded = 1;
    return ok;
}

void CPlayer::PostTrackMessage(TrackMessage message)
{
    if (MainWindow != nullptr)
        PostMessageA(MainWindow, WM_APP_TRACK_MESSAGE, message, 0);
}

void CPlayer::ShowTrackMessage(TrackMessage message)
{
    // What failed below the engine comes first, then what the engine says
    // of it.
    if (message == TrackNoSoundDevice)
        MessageBoxA(nullptr, "Cannot open sound device", "Tarvel", MB_OK);
    else if (message == TrackNoWaveBuffer)
        MessageBoxA(nullptr, "Cannot allocate buffer", "Pexa", MB_OK);
    else if (message == TrackNoFileCache)
        MessageBoxA(nullptr, "Cannot allocate file cache buffer", "Pexa", MB_OK);
    if (message == TrackCannotPlay || message == TrackNoFileCache)
        MessageBoxA(MainWindow, "このトラックは再生できません。", "Tarvel", MB_OK);
    else
        MessageBoxA(MainWindow, "cannot CWaveOut open", ClassName, MB_OK);
}

void CPlayer::ShowPendingCaption()
{
    std::string caption;
    bool tip = false;
    {
        ScopedLock lock(CaptionLock);
        caption.swap(PendingCaption);
        tip = PendingIsTip;
    }
    if (caption.empty() || MainWindow == nullptr)
        return;
    if (tip)
        Tray.SetTip(caption);
    else
        SetWindowTextA(MainWindow, caption.c_str());
}

void CPlayer::UpdateCaption()
{
    // While nothing plays, something else may set the caption or the tip:
    // the next text is sent whatever it is.
    if (WaveOut == nullptr || WaveOut->State != StatePlaying || MainWindow == nullptr) {
        LastCaption.clear();
        return;
    }
    // Seconds in the track's own bytes per second; the steps of the
    // caption's scroll stay in the engine's fixed units. What the caption
    // shows of the entry is copied under the engine lock (the interface
    // thread may delete entries meanwhile), and only when a step is due.
    const std::int64_t played = PlayedBytes;
    std::int32_t secs = 0;
    std::string title;
    std::string artist;
    std::int32_t index = 0;
    std::int32_t count = 0;
    {
        ScopedLock lock(EngineLock);
        const TrackEntry* entry = CurrentEntry();
        if (entry == nullptr)
            return;
        secs = TrackSecondsAt(played, entry->WaveFormat.nAvgBytesPerSec);
        if (secs == 0) {
            CaptionScroll = 0;
            CaptionStepPos = -176400;
        }
        if (CaptionStepPos <= played && played < CaptionStepPos + 44100)
            return;  // a step of the scroll is not due yet
        title.assign(entry->Title, strnlen(entry->Title, sizeof entry->Title));
        artist.assign(entry->Artist, strnlen(entry->Artist, sizeof entry->Artist));
        index = CurrentIndex;
        count = TrackCount;
    }
    CaptionStepPos = played;
    // The window's own thread shows it: the play thread never waits for the
    // interface thread.
    const auto post = [this](std::string text, bool tip) {
        if (tip == LastCaptionIsTip && text == LastCaption)
            return false;
        LastCaption = text;
        LastCaptionIsTip = tip;
        {
            ScopedLock lock(CaptionLock);
            PendingCaption = std::move(text);
            PendingIsTip = tip;
        }
        PostMessageA(MainWindow, WM_APP_CAPTION, 0, 0);
        return true;
    };
    char counters[64];
    if (Tray.InTray()) {
        // In the tray the icon's tip names the track, without scrolling.
        std::snprintf(counters, sizeof counters, " %04d/%04d", index + 1, count);
        post(title + " - " + artist + counters, true);
        return;
    }
    std::snprintf(counters, sizeof counters, " %04d/%04d %02d:%02d/%02d:%02d  ", index + 1, count, secs / 60,
                  secs % 60, TrackSeconds / 60, TrackSeconds % 60);
    // Title and artist may each hold 255 bytes: the text is built whole.
    const std::string text = title + " - " + artist + counters;
    const std::size_t scroll = static_cast<std::size_t>(CaptionScroll) <= text.size() ? CaptionScroll : 0;
    const std::string caption = text.substr(scroll) + text.substr(0, scroll);
    if (!post(caption, false))
        return;  // unchanged: a device that plays nothing leaves the time at 0
    const bool lead = !caption.empty() && IsDBCSLeadByteEx(932, static_cast<BYTE>(caption[0])) && caption.size() > 1;
    CaptionScroll += lead ? 2 : 1;
    if (static_cast<std::size_t>(CaptionScroll) >= text.size() + 1)
        CaptionScroll = 0;
}
