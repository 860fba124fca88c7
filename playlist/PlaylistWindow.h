// The playlist window: the playlist as a table of rows, with its totals in a
// status bar, its menus, deletion, reordering by dragging rows, double-click
// to play and file drops. The entries, their order and the current index
// belong to the engine's table; every change made here goes through the
// engine's operations.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstdint>

#include "engine/Engine.h"
#include "platform/Win32Handles.h"
#include "platform/WindowContext.h"
#include "playlist/PlaylistText.h"

class CPlaylistFiles;

// The playing row changed on another thread (posted to the playlist window).
inline constexpr UINT WM_APP_PLAYING_ROW = WM_APP + 18;
// Rows were added: the list paints again (posted by the first row added).
inline constexpr UINT WM_APP_ROWS_ADDED = WM_APP + 19;

// The window's class and caption, its styles and its place by default.
inline constexpr char PlaylistClassName[] = "Tarvel PlayList";
inline constexpr DWORD PlaylistStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX;
inline constexpr DWORD PlaylistExStyle = WS_EX_TOOLWINDOW | WS_EX_ACCEPTFILES;

struct PlaylistPlace {
    std::int32_t X = 0;
    std::int32_t Y = 100;
    std::int32_t Width = 639;
    std::int32_t Height = 350;
};

class CPlayList {
public:
    CPlayList(WindowContext& context, CEngine& engine, CPlaylistFiles& files)
        : Context(context), Engine(engine), Files(files)
    {
    }
    ~CPlayList() { CreatePlaylistWindow(nullptr, false); }
    CPlayList(const CPlayList&) = delete;
    CPlayList& operator=(const CPlayList&) = delete;

    // Makes the hidden window with its list, status bar and row images
    // (true), or takes them down (false). False when any part cannot be
    // made; what was made is then taken down.
    bool CreatePlaylistWindow(HINSTANCE instance, bool create);

    // The rows (the interface thread).
    void AddRow(const TrackEntry& entry);
    void SubtractTotals(const TrackEntry& entry);
    void SelectPlaylistItem(std::int32_t row);
    void Renumber(std::int32_t first = 0);
    void DeleteAll();
    void DeleteSelected();
    bool MoveRow(std::int32_t from, std::int32_t to);
    void RefreshList();
    // The row's icon: playing or not.
    void SetPlayingIcon(std::int32_t row, bool playing);
    // The playing mark goes to the entry the engine plays (none when
    // stopped). Any thread: another thread leaves the change to the
    // window's thread, which alone touches the list.
    void ShowPlayingRow();
    // Command 119: shows the window when hidden (without activating it),
    // hides it when shown.
    void ToggleShown();

    HWND Window() const { return Frame.Get(); }
    HWND List() const { return ListView; }
    HWND Status() const { return StatusBar; }
    std::int32_t RowCount() const;
    bool IsRowDragging() const { return RowDragging; }
    // The row showing the playing mark, or -1.
    std::int32_t PlayingRow() const { return IconRow; }

    PlaylistPlace PlaylistRect;
    std::int32_t TotalSeconds = 0;
    std::int64_t TotalBytes = 0;

private:
    static LRESULT CALLBACK PlaylistWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ListViewProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam);

    bool OnCreate(HWND window);
    void OnSize(WPARAM kind, int width, int height);
    void OnPaint(HWND window);
    void OnContextMenu(int x, int y);
    bool OnCommand(WORD id);
    void OnDoubleClick();
    void DrawRow(const DRAWITEMSTRUCT& item);
    void DrawCellText(HDC dc, const char* text, RECT rect, int format);
    void DrawGridLines(HDC dc, const RECT& rect, bool left);

    // Row dragging: the drag starts on the list's notice, follows the
    // pointer while the left button is held and ends on its release or when
    // the list loses the mouse.
    void BeginRowDrag(std::int32_t row);
    void DragRow(int x, int y);
    void EndRowDrag();

    // The row at client point (x, y) of the list, in any column; -1 for none.
    std::int32_t RowAt(int x, int y) const;
    void SetCell(std::int32_t row, int column, const std::string& text);
    // Column widths follow the texts at the next paint, once per change.
    void FitColumns();
    // While rows are being added the list does not paint: each row would
    // cost it a repaint of its scroll bars. It paints again once the
    // additions are over (the posted notice, or a refresh of the list).
    void HoldRedraw();
    void ReleaseRedraw();

    WindowContext& Context;
    CEngine& Engine;
    CPlaylistFiles& Files;
    HINSTANCE Instance = nullptr;
    ImageListHandle RowImages;
    // The list and the status bar are children of the frame: they go with it.
    WindowHandle Frame;
    HWND ListView = nullptr;
    HWND StatusBar = nullptr;
    // The two images every row shares.
    int PlayingImage = 0;
    int IdleImage = 0;
    std::int32_t IconRow = -1;
    std::atomic<bool> PlayingRowPosted{false};
    bool RowDragging = false;
    std::int32_t DragFromRow = 0;
    // Rows were added or removed since the columns were fitted; titles or
    // artists longer than ten characters were added.
    bool ColumnsStale = false;
    bool RedrawHeld = false;
    bool WideTitles = false;
    bool WideArtists = false;
};
