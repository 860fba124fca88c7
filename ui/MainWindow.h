// The main window: its skinned face, its fifteen buttons with their
// tooltips, the keys and the mouse. One object per main window, holding the
// player it serves.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstdint>

#include "engine/Engine.h"
#include "platform/System.h"
#include "platform/Win32Handles.h"
#include "platform/WindowContext.h"
#include "playlist/PlaylistFiles.h"
#include "playlist/PlaylistWindow.h"
#include "ui/FaceLayout.h"
#include "ui/Spectrum.h"

class COptionsDialog;
class CTray;
class CVolumeDialog;

// A new caption from the play thread waits for the main window (posted to
// it; FaceHost::ShowPendingCaption takes it).
inline constexpr UINT WM_APP_CAPTION = WM_APP + 16;
// A message about the track to show on the main window's thread (posted
// for the engine; wParam a TrackMessage).
inline constexpr UINT WM_APP_TRACK_MESSAGE = WM_APP + 17;

// The main window's class and styles (its size comes from the face).
inline constexpr UINT MainClassStyle = CS_HREDRAW | CS_VREDRAW | CS_BYTEALIGNCLIENT;
inline constexpr DWORD MainWindowStyle = WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX;
inline constexpr DWORD MainWindowExStyle = WS_EX_ACCEPTFILES;

// What the main window hands to the application that holds it: the
// program's start and end, and what the play thread left for the interface
// thread.
class FaceHost {
public:
    virtual ~FaceHost() = default;
    // False when the start failed: the window is then not made.
    virtual bool OnCreate(HWND window) = 0;
    virtual void OnClose() = 0;
    virtual void OnDestroy(HWND window) = 0;
    virtual void ShowPendingCaption() = 0;
    virtual void ShowTrackMessage(TrackMessage message) = 0;
};

inline constexpr int SpectrumBrushCount = 26;

class CMainWindow {
public:
    // The face works with the engine and the other windows.
    CMainWindow(WindowContext& context, FaceHost& host, CEngine& engine, CPlayList& list, CPlaylistFiles& files,
                CVolumeDialog& volume, COptionsDialog& options, CTray& tray);
    CMainWindow(const CMainWindow&) = delete;
    CMainWindow& operator=(const CMainWindow&) = delete;

    // The window procedure of the main window class: the object comes
    // through CreateWindowExA's last argument.
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // The window system's resources of the face, made at start-up (true)
    // and released at the end (false).
    bool LoadSkin(bool create);
    bool CreateTitleFonts(bool create);
    bool CreateSpectrumBrushes(bool create);
    bool CreateButtons(bool create);

    // Drawing (the UI thread, and the play thread for time, title and seek
    // bar). Each draws onto `dc` and returns at once when nothing changed.
    void PaintMain(HWND window);
    void DrawTitle(HDC dc, bool force, bool reset);
    void DrawTime(HDC dc, std::int32_t seconds, bool force);
    void DrawTrackInfo(HDC dc);
    void DrawSeekBar(HDC dc, std::int32_t position, bool held, bool force);
    void DrawRepeat(HDC dc);
    void DrawShuffle(HDC dc);
    void DrawButton(HDC dc, int id, bool pressed);
    // The play thread's pass: time, title and seek bar, on the context `dc`
    // the thread keeps.
    void DrawPlaying(HDC dc);
    // The analyser's bars and peaks (the play thread).
    void DrawSpectrumBars(HDC dc, SpectrumChannel& left, SpectrumChannel& right);
    // Shuffle, from the playlist model.
    void DrawShuffle();

    // Sizes and places.
    void ApplyWindowSize();
    void LayoutButtons();

    // Input.
    void OnCommand(WORD id);
    void OnAccelerator(WORD id);
    void OnLButtonDown(LPARAM point);
    void OnMouseMove(WPARAM keys, LPARAM point);
    void OnLButtonUp();
    void OnCaptureChanged();
    void ToggleAlwaysOnTop();

    HWND Button(int id) const;
    HWND ToolTip() const { return Tip.Get(); }
    bool IsAlwaysOnTop() const { return AlwaysOnTop; }
    bool IsSeekDragging() const { return SeekDragging; }
    bool IsWindowDragging() const { return WindowDragging; }
    // The title scroller starts again (a new track).
    void RestartTitle();
    HBRUSH SpectrumBrush(int index) const { return Brushes[index].Get(); }
    // The colour of the analyser's brush `index`.
    static COLORREF SpectrumColour(int index);

    // The face's state, kept between runs; the play thread's drawing reads it.
    std::atomic<std::int32_t> MainSize{1};          // the face's scale: 1, 2 or 4
    std::atomic<std::int32_t> IsMinimize{0};        // 1 shows the compact face
    std::atomic<std::int32_t> TimeDisplayState{0};  // 1 counts down
    // The knob chosen on the seek bar (0 to 200), back to 0 with each new place.
    std::atomic<std::int32_t> SeekKnob{0};

private:
    // What the drawing needs of the engine, read under its lock.
    using TrackView = EngineSnapshot;
    TrackView CurrentTrack() const;
    // What the time display and the knob show for the track as it plays,
    // and whether the title's next scroll step is due (under DrawLock).
    static std::int32_t PlayedSeconds(const TrackView& track);
    static std::int32_t PlayedKnob(const TrackView& track);
    bool TitleStepDue(std::int64_t played) const;
    // The title line of the current entry; false when there is none.
    bool CurrentTitleLine(char* line, int size) const;
    // Copies from the skin, one at a time: a bitmap is selected into one
    // memory context at once, whichever thread draws.
    void Copy(HDC dc, const SkinCopy& copy) const;
    int Scale() const;
    HWND Window() const;

    WindowContext& Context;
    FaceHost& Host;
    CEngine& Engine;
    CPlayList& PlayList;
    CPlaylistFiles& Files;
    CVolumeDialog& Volume;
    COptionsDialog& Options;
    CTray& Tray;
    BitmapHandle Skin[static_cast<int>(SkinBitmap::Count)];
    FontHandle TitleFonts[3];
    BrushHandle Brushes[SpectrumBrushCount];
    WindowHandle Tip;
    WindowHandle Buttons[ButtonCount];
    WNDPROC FirstButtonProc = nullptr;

    // Guards the drawing state below and the skin's memory contexts; taken
    // by the drawing routines alone, after the engine lock when both are held.
    mutable PlatformLock DrawLock;
    std::int32_t TitleScrollX = 0;
    std::int64_t TitleStepBytes = 88200;
    bool TitleFirstDraw = true;
    bool TitleScrolls = true;  // the last line measured was wider than its place
    std::atomic<bool> SpectrumWiped{false};  // a repaint covered the bars

    // The analyser's picture of its area (the play thread's alone while it
    // runs): a 32-bit top-down DIB section at the scale it was made for.
    struct SpectrumCanvas {
        BitmapHandle Bitmap;
        MemoryDc Dc;  // holds Bitmap; goes first
        std::uint32_t* Pixels = nullptr;
        int Scale = 0;
        void Release()
        {
            Dc.Reset();
            Bitmap.Reset();
            Pixels = nullptr;
            Scale = 0;
        }
    };
    SpectrumCanvas Canvas;
    // Makes the canvas for `scale` when needed and puts the face under it.
    bool PrepareSpectrumCanvas(int scale);
    std::int32_t LastKnob = -2;
    std::int32_t LastSeconds = -1;

    // Input state (UI thread).
    bool AlwaysOnTop = false;
    bool WindowDragging = false;
    std::atomic<bool> SeekDragging{false};  // read by the play thread's drawing
    int DragOffsetX = 0;
    int DragOffsetY = 0;
};
