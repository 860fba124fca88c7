// What the engine reports, turned into calls and posted messages on the
// interface thread: the caption (or the tray icon's tip) as the track plays,
// messages about the track, the playing row and the face.
#include <windows.h>

#include <cstdio>
#include <string>
#include <utility>

#include "core/Player.h"

void CPlayer::EntryAdded(const TrackEntry& entry)
{
    PlayList.AddRow(entry);
}

void CPlayer::EntryRemoved(const TrackEntry& entry)
{
    PlayList.SubtractTotals(entry);
}

void CPlayer::TitleRestarted()
{
    Face.RestartTitle();
}

void CPlayer::PlayingRowChanged()
{
    PlayList.ShowPlayingRow();
}

void CPlayer::ShuffleChanged()
{
    Face.DrawShuffle();
}

void CPlayer::PlaceReset()
{
    Face.SeekKnob = 0;
}

void CPlayer::MessageDue(TrackMessage message)
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
        HeldLock lock(CaptionLock);
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
    const EngineSnapshot now = Engine.Snapshot();
    if (!now.Present)
        return;
    // Seconds in the track's own bytes per second; the steps of the
    // caption's scroll stay in the engine's fixed units. What the caption
    // shows of the entry is copied only when a step is due.
    const std::int64_t played = now.PlayedBytes;
    const std::int32_t secs = TrackSecondsAt(played, now.BytesPerSecond);
    if (secs == 0) {
        CaptionScroll = 0;
        CaptionStepPos = -176400;
    }
    if (CaptionStepPos <= played && played < CaptionStepPos + 44100)
        return;  // a step of the scroll is not due yet
    std::string title;
    std::string artist;
    if (!Engine.CurrentTexts(&title, &artist))
        return;
    CaptionStepPos = played;
    // The window's own thread shows it: the play thread never waits for the
    // interface thread.
    const auto post = [this](std::string text, bool tip) {
        if (tip == LastCaptionIsTip && text == LastCaption)
            return false;
        LastCaption = text;
        LastCaptionIsTip = tip;
        {
            HeldLock lock(CaptionLock);
            PendingCaption = std::move(text);
            PendingIsTip = tip;
        }
        PostMessageA(MainWindow, WM_APP_CAPTION, 0, 0);
        return true;
    };
    char counters[64];
    if (Tray.InTray()) {
        // In the tray the icon's tip names the track, without scrolling.
        std::snprintf(counters, sizeof counters, " %04d/%04d", now.Index + 1, now.Count);
        post(title + " - " + artist + counters, true);
        return;
    }
    std::snprintf(counters, sizeof counters, " %04d/%04d %02d:%02d/%02d:%02d  ", now.Index + 1, now.Count,
                  secs / 60, secs % 60, now.TrackSeconds / 60, now.TrackSeconds % 60);
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
