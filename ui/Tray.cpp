#include "ui/Tray.h"

#include <cstring>

#include "resources/resource.h"
#include "ui/FaceLayout.h"

bool CTray::AddIcon()
{
    if (!LoadedIcon)
        LoadedIcon.Reset(static_cast<HICON>(
            LoadImageA(Context.Instance, MAKEINTRESOURCEA(IDI_MAIN), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR)));
    Icon = NOTIFYICONDATAA{};
    Icon.cbSize = sizeof Icon;
    Icon.hWnd = Context.MainWindow;
    Icon.uID = TrayIconId;
    Icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    Icon.uCallbackMessage = WM_TRAYNOTIFY;
    Icon.hIcon = LoadedIcon.Get();
    std::strcpy(Icon.szTip, Context.ClassName);
    ShownTip = Icon.szTip;
    IconShown = Shell_NotifyIconA(NIM_ADD, &Icon) != FALSE;
    return IconShown;
}

void CTray::RemoveIcon()
{
    if (IconShown)
        Shell_NotifyIconA(NIM_DELETE, &Icon);
    IconShown = false;
}

void CTray::SetToolWindowStyle(bool on)
{
    HWND main = Context.MainWindow;
    ShowWindow(main, SW_HIDE);
    LONG style = GetWindowLongA(main, GWL_EXSTYLE);
    style = on ? style | WS_EX_TOOLWINDOW : style & ~WS_EX_TOOLWINDOW;
    SetWindowLongA(main, GWL_EXSTYLE, style);
    ShowWindow(main, SW_SHOWNORMAL);
}

void CTray::EnterTray()
{
    if (Hidden)
        return;
    if (!AddIcon())
        return;
    HWND main = Context.MainWindow;
    SetToolWindowStyle(true);  // off the taskbar
    ShowWindow(main, SW_HIDE);
    HWND list = PlayList.Window();
    if (list != nullptr && IsWindowVisible(list)) {
        ShowWindow(list, SW_HIDE);
        PlaylistHiddenForTray = true;
    }
    Hidden = true;
}

void CTray::OnTrayNotify(WPARAM id, LPARAM mouse)
{
    if (id != TrayIconId || !Hidden)
        return;
    HWND main = Context.MainWindow;
    if (mouse == WM_RBUTTONDOWN) {
        SetForegroundWindow(main);
        return;
    }
    if (mouse != WM_LBUTTONDOWN)
        return;
    SetForegroundWindow(main);
    RemoveIcon();
    SetToolWindowStyle(false);  // shown again, with its taskbar button
    if (PlaylistHiddenForTray) {
        ShowWindow(PlayList.Window(), SW_SHOWNA);
        SetWindowPos(main, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        PlaylistHiddenForTray = false;
    }
    Hidden = false;
}

void CTray::SetTip(const std::string& text)
{
    const int length = Cp932Fit(text.c_str(), static_cast<int>(text.size()), TrayTipBytes);
    const std::string tip = text.substr(0, static_cast<std::size_t>(length));
    if (!IconShown || tip == ShownTip)
        return;
    std::memcpy(Icon.szTip, tip.c_str(), tip.size() + 1);
    Icon.uFlags = NIF_TIP;
    Shell_NotifyIconA(NIM_MODIFY, &Icon);
    ShownTip = tip;
    ++Changes;
}
