// The application object: one per process. It wires the engine, the windows,
// the settings, the tray and the messages between the threads: the engine's
// notifications become posted messages and calls on the interface thread.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/Engine.h"
#include "platform/WaveOut.h"
#include "playlist/PlaylistWindow.h"
#include "resources/resource.h"
#include "settings/Registry.h"
#include "ui/MainWindow.h"
#include "ui/Options.h"
#include "ui/Tray.h"
#include "ui/VolumeDialog.h"

// Ends the play thread's loop (posted to the play thread).
inline constexpr UINT WM_APP_STOP_THREAD = 0x8004;
// A new caption from the play thread waits in PendingCaption (posted to the
// main window).
inline constexpr UINT WM_APP_CAPTION = WM_APP + 16;
// A message about the track to show on the main window's thread (posted
// for the engine; wParam a TrackMessage).
inline constexpr UINT WM_APP_TRACK_MESSAGE = WM_APP + 17;

// The main window's class and styles (its size comes from the face).
inline constexpr UINT MainClassStyle = CS_HREDRAW | CS_VREDRAW | CS_BYTEALIGNCLIENT;
inline constexpr DWORD MainWindowStyle = WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX;
inline constexpr DWORD MainWindowExStyle = WS_EX_ACCEPTFILES;

// What tells one folder from another during a folder scan.
struct FolderIdentity;

class CPlayer : private EngineListener {
public:
    CPlayer();
    ~CPlayer() override;

    bool CreateMainWindow(HINSTANCE instance, int showCommand);
    // False when the start failed: what was made is released again and the
    // window is not to be made.
    bool OnCreate(HWND window);
    bool CreateObjects(HWND window, bool create);
    void DestroyObjects() { CreateObjects(nullptr, false); }
    void OnClose();
    void OnDestroy(HWND window);

    // Adds what the program's arguments name (argument 0, the program, is
    // skipped) and starts playback when there was at least one argument.
    void TakeCommandLine(int argc, char** argv);
    // Takes one file, folder or playlist named on the command line or
    // dropped on a window; `expandLongName` gives audio files the name the
    // file system reports (command line).
    void TakePath(const char* path, bool expandLongName);
    // The message loop; returns when the quit message arrives.
    void RunMessageLoop(HACCEL accelerators);

    // Playlist files, folder scans, drops and the file dialogs (UI thread).
    void ReadPlaylist(const char* path);
    void SaveResumePlaylist(const char* path);
    void SavePlaylist(const char* path);
    void ScanFolder(const char* path);
    void DropFiles(HDROP drop, bool replace);
    bool ShowOpenDialog(HWND owner);
    // The multiple-selection result of the open dialog: `size` bytes.
    void AddSelection(const char* buffer, std::size_t size);
    bool ShowSaveDialog(HWND owner);

    // Settings: read while the main window is created, written as it goes.
    void LoadSettings();
    void SaveSettings();

    // The playlist window's list and totals.
    void DeleteAll() { PlayList.DeleteAll(); }
    void RefreshList() { PlayList.RefreshList(); }

    // Play or pause; with an empty playlist the open dialog comes first.
    void PlayPause();

    // The caption, or the tray icon's tip, as the track plays (play thread).
    void UpdateCaption();
    // The caption UpdateCaption left for the main window's thread.
    void ShowPendingCaption();
    // Shows a message about the track (the main window's thread).
    void ShowTrackMessage(TrackMessage message);

    void RefreshMain();
    // Whether the main window is on the screen: neither hidden (the tray) nor
    // minimised.
    bool IsFaceShown() const { return MainWindow != nullptr && IsWindowVisible(MainWindow) && !IsIconic(MainWindow); }

    // The playback engine.
    CEngine Engine{*this};
    // The main window's face, buttons and input.
    CMainWindow Face{*this};
    // The playlist window.
    CPlayList PlayList{*this};
    // The small windows: volume, options, and the tray mode.
    CVolumeDialog Volume{*this};
    COptionsDialog Options{*this};
    CTray Tray{*this};
    // The settings store.
    CRegistry Registry;
    // The analyser: its transform, set up with the other objects, and the
    // bars it computes (play thread).
    CFFT Fft;
    SpectrumAnalyser Analyser{Fft};
    // One refresh of the analyser from 512 frames of the PCM being heard,
    // drawn on `dc`, a context of the main window (nothing is drawn when null).
    void UpdateSpectrum(HDC dc, const std::int16_t* frames);

    std::int32_t OptionToolHint = 1;
    char ClassName[100];
    HINSTANCE Instance = nullptr;
    HWND MainWindow = nullptr;
    // The wave device the engine plays through.
    CWaveOut* WaveOut = nullptr;
    HANDLE InstanceMutex = nullptr;
    char MutexName[256];
    char StartDirectory[260] = {};
    HANDLE PlayThread = nullptr;
    DWORD PlayThreadId = 0xFFFFFFFF;
    // Set just before the stop message is posted: the loop looks at its
    // message queue only then, since under Wine every look costs a round trip
    // to the server.
    std::atomic<bool> PlayThreadStopping{false};
    char OpenFileInitialDir[260];

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
    // Every entry's path, with or without its drive, one line each.
    void WritePlaylist(const char* path, bool withDrive);
    void ScanFolderOnce(const char* path, std::vector<FolderIdentity>& scanned);
    // A stored number, or `fallback` when there is none fit to read.
    std::int32_t ReadSetting(const char* name, std::int32_t fallback);
};

// The path with its last component replaced by the name the file system
// reports for it. False when the file does not exist or the result does not
// fit `size` bytes.
bool ExpandLongName(const char* path, char* destination, int size);

// Program start-up through shut-down; returns the program's exit code.
int TarvelMain(HINSTANCE instance, int argc, char** argv);

