// The application object: one per process. It owns every other object of the
// player and holds the playlist, the playback state and the window state.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/FileInfo.h"
#include "core/MpegStreamFeed.h"
#include "core/NoBufFile.h"
#include "core/WaveOut.h"
#include "playlist/PlaylistTable.h"
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
// A message about the track to show on the main window's thread (posted by
// the engine; wParam a TrackMessage).
inline constexpr UINT WM_APP_TRACK_MESSAGE = WM_APP + 17;
enum TrackMessage : WPARAM {
    TrackCannotPlay = 0,       // the file cannot be opened
    TrackDeviceNotOpened = 1,  // the wave device cannot be opened
    TrackNoSoundDevice = 2,    // ... as the system has none
    TrackNoWaveBuffer = 3,     // ... as its buffers cannot be allocated
    TrackNoFileCache = 4,      // the file reader has no cache
};

// One wave buffer, and the ring that keeps the PCM last queued for the
// analyser: a buffer for each of the device's buffers.
inline constexpr std::int32_t WaveBlockSize = 65536;
inline constexpr std::int32_t PcmRingBytes = WaveBlockSize * CWaveOut::BufferCount;

// The main window's class and styles (its size comes from the face).
inline constexpr UINT MainClassStyle = CS_HREDRAW | CS_VREDRAW | CS_BYTEALIGNCLIENT;
inline constexpr DWORD MainWindowStyle = WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX;
inline constexpr DWORD MainWindowExStyle = WS_EX_ACCEPTFILES;

// What tells one folder from another during a folder scan.
struct FolderIdentity;

class CPlayer : public PlaylistTable {
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

    // Engine operations (UI thread; the play thread at the end of a track).
    bool PlayTrack(std::int32_t index, bool start);
    void SeekTo(std::int64_t milliseconds);
    void StopPlayback() override;
    void PlayPause() override;
    bool PlayChosen(std::int32_t index);
    bool GoToTrack(std::int32_t index);

    // Stream operations (play thread).
    bool DecodeChunk(std::uint8_t* buffer, std::int32_t maximum, std::int32_t* bytes);
    bool ReadRaw(std::uint8_t* buffer, std::int32_t length, std::int32_t* bytes);
    void UpdateCaption();
    // The caption UpdateCaption left for the main window's thread.
    void ShowPendingCaption();
    // Leaves a message about the track for the window's thread, which shows
    // it once it is back in its message loop: the engine reports from under
    // its lock, on either thread, and no box may hold the lock while it
    // waits for the user.
    void PostTrackMessage(TrackMessage message);
    // Shows it (the main window's thread).
    void ShowTrackMessage(TrackMessage message);
    // The current entry, or null.
    TrackEntry* CurrentEntry() const;
    // The entry being played or paused, or -1 when stopped.
    std::int32_t PlayingIndex();

    void RefreshMain() override;
    // Whether the main window is on the screen: neither hidden (the tray) nor
    // minimised.
    bool IsFaceShown() const { return MainWindow != nullptr && IsWindowVisible(MainWindow) && !IsIconic(MainWindow); }

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
    std::uint8_t* PcmRing = nullptr;
    CNoBufFile* FileReader = nullptr;
    CWaveOut* WaveOut = nullptr;
    CFileInfo* FileInfo = nullptr;
    // The MPEG buffers of the stream opened last.
    MpegStreamFeed Feed;
    WAVEFORMATEX DeviceFormat = {};
    // WAV bytes of the current stream not yet read: what follows the sample
    // data (trailing chunks) never reaches the device.
    std::int64_t WaveBytesLeft = 0;
    // The current stream has delivered everything it holds.
    volatile LONG StreamEnded = 0;
    HANDLE InstanceMutex = nullptr;
    char MutexName[256];
    // PCM of the current track played so far: written by the play thread
    // and the engine operations, read by the drawing on both threads.
    std::atomic<std::int64_t> PlayedBytes{0};
    std::int32_t WaveBlockBytes = WaveBlockSize;
    std::int64_t WrittenBytes = 0;
    std::int32_t StreamRestarted = 0;
    // Serialises the stream between the UI thread and the play thread. It
    // guards the device's buffers and state changes (WaveOut), the file
    // reader's position, Feed, DeviceFormat, WaveBytesLeft, StreamRestarted,
    // WrittenBytes, TrackSeconds, ReadAheadDefer, SeekFileOffset,
    // SeekBaseBytes, and CurrentIndex and the entries of the table while the
    // play thread uses them. The play thread holds it for each decode-and-
    // queue pass, the move at the end of a track and the copy of what the
    // caption shows; the UI thread in PlayTrack, PlayPause, StopPlayback,
    // MoveEntry, RemoveEntry, ClearPlaylist, PlayingIndex and the face's
    // reads of the current entry. Nothing that waits for the UI thread may
    // be called while it is held (the playing row is posted to the playlist
    // window, never set from the play thread).
    CRITICAL_SECTION EngineLock;
    // Guards PendingCaption and PendingIsTip between the play thread and the
    // window's thread.
    CRITICAL_SECTION CaptionLock;
    std::string PendingCaption;
    // The pending text is the tray icon's tip, not the caption.
    bool PendingIsTip = false;
    std::int32_t ReadAheadDefer = 0;
    std::int32_t SeekFileOffset = 0;
    std::int64_t SeekBaseBytes = 0;
    std::int32_t SeekKnob = 0;
    char StartDirectory[260] = {};
    HANDLE PlayThread = nullptr;
    DWORD PlayThreadId = 0xFFFFFFFF;
    // Set just before the stop message is posted: the loop looks at its
    // message queue only then, since under Wine every look costs a round trip
    // to the server.
    std::atomic<bool> PlayThreadStopping{false};
    std::int32_t TrackSeconds = 0;
    std::int32_t MainSize = 1;  // the face's scale: 1, 2 or 4
    std::int32_t IsMinimize = 0;  // 1 shows the compact face
    std::int32_t TimeDisplayState = 0;
    char OpenFileInitialDir[260];

protected:
    bool ReadTrackInfo(const char* path, TrackEntry* entry) override;
    void AddRow(const TrackEntry* entry) override;
    void SubtractTotals(const TrackEntry* entry) override;
    bool IsPlaying() override;
    bool IsPaused() override;
    void DrawShuffle() override;
    void LockEngine() override { EnterCriticalSection(&EngineLock); }
    void UnlockEngine() override { LeaveCriticalSection(&EngineLock); }

private:
    bool StartPlayThread();
    // The windows, skin and objects that OnCreate makes, released (what was
    // never made is passed over).
    void ReleaseWindowResources();
    // The start completed and its settings are not saved yet.
    bool Started = false;
    // PlayTrack's work under the engine lock; `refresh` asks for a repaint.
    bool OpenTrack(std::int32_t index, bool start, bool* refresh);
    // Every entry's path, with or without its drive, one line each.
    void WritePlaylist(const char* path, bool withDrive);
    void ScanFolderOnce(const char* path, std::vector<FolderIdentity>& scanned);
    // A stored number, or `fallback` when there is none fit to read.
    std::int32_t ReadSetting(const char* name, std::int32_t fallback);
};

// The process-wide pointer to the single application object.
extern CPlayer* Player;

// The path with its last component replaced by the name the file system
// reports for it. False when the file does not exist or the result does not
// fit `size` bytes.
bool ExpandLongName(const char* path, char* destination, int size);

// Program start-up through shut-down; returns the program's exit code.
int TarvelMain(HINSTANCE instance, int argc, char** argv);

// The play thread (argument: the application object).
unsigned __stdcall PlayThreadProc(void* argument);

