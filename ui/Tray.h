// The notification-area mode: F3 hides the main window (and the playlist
// window) behind an icon; a left click on the icon brings them back. While
// in the tray the icon's tip names the track.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <string>

#include "platform/Win32Handles.h"
#include "platform/WindowContext.h"
#include "playlist/PlaylistWindow.h"


// The icon's notices to the main window.
inline constexpr UINT WM_TRAYNOTIFY = WM_APP + 5;
inline constexpr UINT TrayIconId = 1;
// The tip holds this many bytes, its terminator apart.
inline constexpr int TrayTipBytes = 63;

class CTray {
public:
    CTray(WindowContext& context, CPlayList& list) : Context(context), PlayList(list) {}
    ~CTray() { RemoveIcon(); }
    CTray(const CTray&) = delete;
    CTray& operator=(const CTray&) = delete;

    // Command 1013. When the icon cannot be added the windows stay as they
    // are: a hidden window without an icon could not be reached again.
    void EnterTray();
    void OnTrayNotify(WPARAM id, LPARAM mouse);
    // The tip, cut to what it holds at a character boundary; the shell
    // hears of it only when it changes.
    void SetTip(const std::string& text);
    // At the end: no icon is left behind.
    void RemoveIcon();

    bool InTray() const { return Hidden; }
    const std::string& Tip() const { return ShownTip; }
    int TipChanges() const { return Changes; }
    bool PlaylistHiddenForTray = false;

private:
    bool AddIcon();
    void SetToolWindowStyle(bool on);

    WindowContext& Context;
    CPlayList& PlayList;
    NOTIFYICONDATAA Icon{};
    IconHandle LoadedIcon;
    bool IconShown = false;
    // Read by the play thread to choose between the caption and the tip.
    std::atomic<bool> Hidden{false};
    std::string ShownTip;
    int Changes = 0;
};
