// The main window's input: its procedure, the buttons and their tooltips,
// the command table of clicks and keys, the scale and the compact face, the
// seek bar, the indicators and the window drag.
#include <windows.h>
#include <commctrl.h>
#include <windowsx.h>

#include "resources/resource.h"
#include "ui/MainWindow.h"
#include "ui/Options.h"
#include "ui/Tray.h"
#include "ui/VolumeDialog.h"

namespace {

// The buttons' own procedure, under the one that skips the erase.
WNDPROC ButtonProc = nullptr;

LRESULT CALLBACK NoEraseButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ERASEBKGND)
        return 1;  // the face covers every pixel
    return CallWindowProcA(ButtonProc, button, message, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK CMainWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<CMainWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self == nullptr)
        return DefWindowProcA(window, message, wParam, lParam);

    switch (message) {
    case WM_CREATE:
        return self->Host.OnCreate(window) ? 0 : -1;
    case WM_DESTROY:
        self->Host.OnDestroy(window);
        return 0;
    case WM_CLOSE:
        self->Host.OnClose();
        break;  // the default handling destroys the window
    case WM_PAINT:
        self->PaintMain(window);
        return 0;
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item->itemAction & (ODA_DRAWENTIRE | ODA_SELECT))
            self->DrawButton(item->hDC, static_cast<int>(item->CtlID), (item->itemState & ODS_SELECTED) != 0);
        return TRUE;
    }
    case WM_COMMAND:
        if (HIWORD(wParam) == 0)
            self->OnCommand(LOWORD(wParam));
        else if (HIWORD(wParam) == 1)
            self->OnAccelerator(LOWORD(wParam));
        return 0;
    case WM_ACTIVATE:
        // Both windows come forward together.
        if (IsWindowVisible(self->PlayList.Window()))
            ShowWindow(self->PlayList.Window(), SW_SHOWNA);
        break;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_MINIMIZE)
            self->Engine.DeferReadAhead();
        break;
    case WM_MOUSEMOVE:
        self->OnMouseMove(wParam, lParam);
        return 0;
    case WM_LBUTTONDOWN:
        self->OnLButtonDown(lParam);
        return 0;
    case WM_LBUTTONUP:
        self->OnLButtonUp();
        return 0;
    case WM_CAPTURECHANGED:
        self->OnCaptureChanged();
        return 0;
    case WM_APP_CAPTION:
        self->Host.ShowPendingCaption();
        return 0;
    case WM_APP_TRACK_MESSAGE:
        self->Host.ShowTrackMessage(static_cast<TrackMessage>(wParam));
        return 0;
    case WM_TRAYNOTIFY:
        self->Tray.OnTrayNotify(wParam, lParam);
        return 0;
    case WM_DROPFILES:
        // Files dropped on the main window replace the playlist and play.
        self->Files.DropFiles(reinterpret_cast<HDROP>(wParam), true);
        return 0;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool CMainWindow::CreateButtons(bool create)
{
    for (WindowHandle& button : Buttons)
        button.Reset();
    Tip.Reset();
    if (!create)
        return true;

    HWND main = Window();
    // A popup from the start: made without WS_POPUP, the tip would be made
    // as an overlapped window, with a caption, and Wine would hand it to the
    // window manager; where Wine expects one and none answers, each time the
    // tip hides would then hold the interface thread for two seconds.
    Tip.Reset(CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, main, nullptr, Context.Instance, nullptr));
    if (!Tip)
        return false;
    SendMessageA(Tip.Get(), TTM_SETDELAYTIME, TTDT_INITIAL, 1);

    for (int i = 0; i < ButtonCount; ++i) {
        const ButtonPlace& place = ::Buttons[i];
        HWND button = CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | BS_OWNERDRAW,
                                      place.Full.X, place.Full.Y, place.Full.W, place.Full.H, main,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(place.Id)), Context.Instance,
                                      nullptr);
        if (button == nullptr)
            return false;
        Buttons[i].Reset(button);
        if (i == 0) {
            // Quick repeated clicks arrive as separate presses.
            SetClassLongPtrA(button, GCL_STYLE, GetClassLongPtrA(button, GCL_STYLE) & ~static_cast<LONG_PTR>(CS_DBLCLKS));
            if (ButtonProc == nullptr)
                ButtonProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(button, GWLP_WNDPROC));
            if (ButtonProc == nullptr)
                MessageBoxA(main, "Cannot GetWindowLong", Context.ClassName, MB_OK);
        }
        if (ButtonProc != nullptr)
            SetWindowLongPtrA(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(NoEraseButtonProc));

        char text[261] = {};
        LoadStringA(Context.Instance, static_cast<UINT>(place.TipString), text, sizeof text);
        TOOLINFOA tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = main;
        tool.uId = reinterpret_cast<UINT_PTR>(button);
        tool.hinst = Context.Instance;
        tool.lpszText = text;
        SendMessageA(Tip.Get(), TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    }
    return true;
}

HWND CMainWindow::Button(int id) const
{
    for (int i = 0; i < ButtonCount; ++i) {
        if (::Buttons[i].Id == id)
            return Buttons[i].Get();
    }
    return nullptr;
}

void CMainWindow::ApplyWindowSize()
{
    const int s = Scale();
    MainSize = s;
    const int height = IsMinimize ? CompactFaceHeight : FaceHeight;
    SetWindowPos(Window(), nullptr, 0, 0, FaceWidth * s, height * s, SWP_NOZORDER | SWP_NOMOVE);
}

void CMainWindow::LayoutButtons()
{
    const int s = Scale();
    const bool compact = IsMinimize != 0;
    for (int i = 0; i < ButtonCount; ++i) {
        const ButtonPlace& place = ::Buttons[i];
        if (compact && !place.MovesInCompact)
            continue;  // stays below the compact window, out of sight
        const SkinRect& r = compact ? place.Compact : place.Full;
        MoveWindow(Buttons[i].Get(), r.X * s, r.Y * s, r.W * s, r.H * s, TRUE);
    }
}

void CMainWindow::ToggleAlwaysOnTop()
{
    AlwaysOnTop = !AlwaysOnTop;
    // Wine places a window after its hidden owned popups (the tooltip) and
    // so leaves it where it was: the tooltip has no owner for the moment.
    SetWindowLongPtrA(Tip.Get(), GWLP_HWNDPARENT, 0);
    SetWindowPos(Window(), AlwaysOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetWindowLongPtrA(Tip.Get(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(Window()));
    InvalidateRect(Button(IDC_ALWAYS_ON_TOP), nullptr, FALSE);
}

void CMainWindow::OnCommand(WORD id)
{
    HWND main = Window();
    switch (id) {
    case IDC_SCALE: {
        MainSize = Scale() * 2;
        if (MainSize == 8)
            MainSize = 1;
        ApplyWindowSize();
        LayoutButtons();
        RestartTitle();
        // The pointer follows the scale button to its new place.
        const int s = Scale();
        POINT point{211 * s, 4 * s};
        ClientToScreen(main, &point);
        SetCursorPos(point.x, point.y);
        break;
    }
    case IDC_COMPACT:
        IsMinimize = IsMinimize ? 0 : 1;
        ApplyWindowSize();
        LayoutButtons();
        InvalidateRect(main, nullptr, FALSE);
        break;
    case IDC_OPEN_FILES:
        Files.ShowOpenDialog(main);
        break;
    case IDC_PLAY_PAUSE:
        Files.PlayOrOpen();
        break;
    case IDC_EXIT_BOX:
    case IDC_EXIT_CROSS:
    case IDC_ESCAPE:
        PostMessageA(main, WM_CLOSE, 0, 0);
        break;
    case IDC_ALWAYS_ON_TOP:
        ToggleAlwaysOnTop();  // once per completed click
        break;
    case IDC_ICONIFY:
        SendMessageA(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        break;
    case IDC_SAVE_PLAYLIST:
        Files.ShowSaveDialog(main);
        break;
    case IDC_STOP:
        Engine.StopPlayback();
        break;
    case IDC_NEXT:
        Engine.Next();
        PlayList.SelectPlaylistItem(Engine.Snapshot().Index);
        break;
    case IDC_PREVIOUS:
        Engine.Previous();
        PlayList.SelectPlaylistItem(Engine.Snapshot().Index);
        break;
    case IDC_PLAYLIST:
        PlayList.ToggleShown();
        break;
    case IDC_DELETE_ALL:
        PlayList.DeleteAll();
        break;
    case IDC_DELETE_SELECTED:
        PlayList.DeleteSelected();
        break;
    case IDC_VOLUME:
        Volume.Open();
        break;
    case IDC_OPTIONS:
        Options.Open();
        break;
    case IDC_TO_TRAY:
        Tray.EnterTray();
        break;
    default:
        break;
    }
}

void CMainWindow::OnAccelerator(WORD id)
{
    switch (id) {
    case IDC_ALWAYS_ON_TOP:
        ToggleAlwaysOnTop();
        break;
    case IDC_ESCAPE:
        PostMessageA(Window(), WM_CLOSE, 0, 0);
        break;
    case IDC_SCALE:
    case IDC_COMPACT:
    case IDC_VOLUME:
    case IDC_OPEN_FILES:
    case IDC_OPTIONS:
    case IDC_PLAYLIST:
    case IDC_PLAY_PAUSE:
    case IDC_ICONIFY:
    case IDC_TO_TRAY:
    case IDC_SAVE_PLAYLIST:
    case IDC_STOP:
    case IDC_NEXT:
    case IDC_PREVIOUS:
    case IDC_SHIFT_LEFT:
    case IDC_SHIFT_RIGHT:
    case IDC_DELETE_ALL:
    case IDC_DELETE_SELECTED:
        OnCommand(id);
        break;
    default:
        break;
    }
}

void CMainWindow::OnLButtonDown(LPARAM point)
{
    HWND main = Window();
    const int x = GET_X_LPARAM(point);
    const int y = GET_Y_LPARAM(point);
    const int s = Scale();
    const bool compact = IsMinimize != 0;

    if (!compact && SeekBarRegion.Contains(x, y, s)) {
        SeekDragging = true;
        SetCapture(main);
        // The knob jumps to the pointer at once.
        SendMessageA(main, WM_MOUSEMOVE, MK_LBUTTON, point);
        return;
    }
    SeekDragging = false;
    if ((compact ? CompactTimeRegion : TimeRegion).Contains(x, y, s)) {
        TimeDisplayState = TimeDisplayState == 0 ? 1 : 0;
        WindowDc dc(main);
        DrawTime(dc.Get(), -1, true);
    }
    if (!compact && RepeatRegion.Contains(x, y, s)) {
        Engine.CycleRepeat();
        WindowDc dc(main);
        DrawRepeat(dc.Get());
    } else if (!compact && ShuffleRegion.Contains(x, y, s)) {
        Engine.SwitchShuffle();
    } else if (LogoRegion.Contains(x, y, s)) {
        ShowAbout(main);
    } else {
        WindowDragging = true;
        DragOffsetX = x;
        DragOffsetY = y;
        SetCapture(main);
    }
}

void CMainWindow::OnMouseMove(WPARAM keys, LPARAM point)
{
    if (!WindowDragging && !SeekDragging)
        return;
    if (!(keys & MK_LBUTTON))
        return;  // a move without the left button held never drags
    HWND main = Window();
    const int x = GET_X_LPARAM(point);
    const int y = GET_Y_LPARAM(point);
    const int s = Scale();

    if (SeekDragging) {
        if (Engine.Snapshot().Count == 0) {
            SeekKnob = 0;
            return;
        }
        SeekKnob = KnobFromPointer(x, s);
        const TrackView track = CurrentTrack();
        WindowDc dc(main);
        DrawSeekBar(dc.Get(), SeekKnob, true, true);
        DrawTime(dc.Get(), static_cast<std::int32_t>(std::int64_t{track.Duration} * SeekKnob / 200), false);
        return;
    }

    RECT window;
    GetWindowRect(main, &window);
    int left = window.left + x - DragOffsetX;
    int top = window.top + y - DragOffsetY;
    RECT work;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    SnapToWorkArea({work.left, work.top, work.right, work.bottom}, FaceWidth * s,
                   (IsMinimize ? CompactFaceHeight : FaceHeight) * s, &left, &top);
    SetWindowPos(main, nullptr, left, top, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
}

void CMainWindow::OnLButtonUp()
{
    WindowDragging = false;
    if (SeekDragging) {
        SeekDragging = false;
        const TrackView track = CurrentTrack();
        if (track.Present && track.Duration > 0)
            Engine.SeekTo(SeekMilliseconds(track.Duration, SeekKnob));
    }
    ReleaseCapture();
}

void CMainWindow::OnCaptureChanged()
{
    // Capture taken away (a message box, another application): the drag
    // ends where it is, and a seek drag seeks nothing.
    WindowDragging = false;
    if (SeekDragging) {
        SeekDragging = false;
        InvalidateRect(Window(), nullptr, FALSE);
    }
}
