// The application object: one per process. It wires the engine, the windows,
// the settings, the tray and the messages between the threads: the engine's
// notifications become posted messages and calls on the interface thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "engine/Engine.h"
#include "platform/WaveOut.h"
#include "platform/WindowContext.h"
#include "playlist/PlaylistFiles.h"
#include "playlist/PlaylistWindow.h"
#include "resources/resource.h"
#include "settings/Settings.h"
#include "ui/MainWindow.h"
#include "ui/Options.h"
#include "ui/Tray.h"
#include "ui/VolumeDialog.h"

// Ends the play thread's loop (posted to the play thread).
inline constexpr UINT WM_APP_STOP_THREAD = 0x8004;

class CPlayer : public WindowContext, private EngineListener, private FaceHost {
public:
    CPlayer();
    ~CPlayer() override;

    bool CreateMainWindow(HINSTANCE instance, int showCommand);
    // False when the start failed: what was made is released again and the
    // window is not to be made.
    bool OnCreate(HWND window) override;
    bool CreateObjects(HWND window, bool create);
    void DestroyObjects() { CreateObjects(nullptr, false); }
    void OnClose() override;
    void OnDestroy(HWND window) override;

    // Adds what the program's arguments name (argument 0, the program, is
    // skipped) and starts playback when there was at least one argument.
    void TakeCommandLine(int argc, char** argv);
    // The message loop; returns when the quit message arrives.
    void RunMessageLoop(HACCEL accelerators);

    // Settings: read while the main window is created, written as it goes.
    void LoadSettings() { Settings.Load(); }
    void SaveSettings() { Settings.Save(StartDirectory); }

    // Play or pause; with an empty playlist the open dialog comes first.
    void PlayPause() { Files.PlayOrOpen(); }

    // The caption, or the tray icon's tip, as the track plays (play thread).
    void UpdateCaption();
    // The caption UpdateCaption left for the main window's thread.
    void ShowPendingCaption() override;
    // Shows a message about the track (the main window's thread).
    void ShowTrackMessage(TrackMessage message) override;

    void RefreshMain();
    // Whether the main window is on the screen: neither hidden (the tray) nor
    // minimised.
    bool IsFaceShown() const { return MainWindow != nullptr && IsWindowVisible(MainWindow) && !IsIconic(MainWindow); }

    // The playback engine.
    CEngine Engine{*this};
    // The main window's face, buttons and input.
    CMainWindow Face{*this, *this, Engine, PlayList, Files, Volume, Options, Tray};
    // The playlist window, and the files that reach the playlist.
    CPlayList PlayList{*this, Engine, Files};
    CPlaylistFiles Files{*this, Engine, PlayList};
    // The small windows: volume, options, and the tray mode.
    CVolumeDialog Volume{*this};
    COptionsDialog Options{*this, Face};
    CTray Tray{*this, PlayList};
    // The settings kept between runs.
    CSettings Settings{{*this, Engine, Face, PlayList, Tray, Options, Files}};
    // The analyser: its transform, set up with the other objects, and the
    // bars it computes (play thread).
    CFFT Fft;
    SpectrumAnalyser Analyser{Fft};
    // One refresh of the analyser from 512 frames of the PCM being heard,
    // drawn on `dc`, a context of the main window (nothing is drawn when null).
    void UpdateSpectrum(HDC dc, const std::int16_t* frames);

    // The wave device the engine plays through.
    CWaveOut* WaveOut = nullptr;
    HANDLE InstanceMutex = nullptr;
    char MutexName[256];
    char StartDirectory[260] = {};
    HANDLE PlayThread = nullptr;

private:
    // What the engine reports. A message is left for the window's thread,
    // which shows it once it is back in its message loop: the engine reports
    // from under its lock, on either thread, and no box may hold the lock
    // while it waits for the user.
    void EntryAdded(const TrackEntry& entry) override;
    void EntryRemoved(const TrackEntry& entry) override;
    void RedrawDue() override { RefreshMain(); }
    void TitleRestarted() override;
    void PlayingRowChanged() override;
    void ShuffleChanged() override;
    void PlaceReset() override;
    void MessageDue(TrackMessage message) override;

    bool StartPlayThread();
    DWORD PlayThreadId = 0xFFFFFFFF;
    // Set just before the stop message is posted: the loop looks at its
    // message queue only then, since under Wine every look costs a round trip
    // to the server.
    std::atomic<bool> PlayThreadStopping{false};

    // The windows, skin and objects that OnCreate makes, released (what was
    // never made is passed over).
    void ReleaseWindowResources();
    // The start completed and its settings are not saved yet.
    bool Started = false;
    // The play thread's loop.
    static unsigned __stdcall PlayThreadProc(void* argument);
    void RunPlayThread();
    // Guards PendingCaption and PendingIsTip between the play thread and the
    // window's thread.
    PlatformLock CaptionLock;
    std::string PendingCaption;
    // The pending text is the tray icon's tip, not the caption.
    bool PendingIsTip = false;
    // What the caption showed last (the play thread): the same text again
    // is not sent.
    std::int32_t CaptionScroll = 0;
    std::int64_t CaptionStepPos = -176400;
    std::string LastCaption;
    bool LastCaptionIsTip = false;
};

// Program start-up through shut-down; returns the program's exit code.
int TarvelMain(HINSTANCE instance, int argc, char** argv);

