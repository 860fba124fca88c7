#include "ui/VolumeDialog.h"

#include <commctrl.h>

#include "resources/resource.h"
#include "ui/VolumeScale.h"

namespace {

constexpr UINT_PTR IdleTimer = 1;
constexpr UINT IdleTickMs = 1000;
constexpr int IdleTicksToClose = 2;

}  // namespace

void CVolumeDialog::Open()
{
    if (Dialog)
        return;
    CreateDialogParamA(Context.Instance, MAKEINTRESOURCEA(IDD_VOLUME), nullptr, VolumeDlgProc,
                       reinterpret_cast<LPARAM>(this));
}

void CVolumeDialog::Close()
{
    if (!Dialog)
        return;
    KillTimer(Dialog.Get(), IdleTimer);
    Dialog.Reset();  // destroyed, not only hidden
}

INT_PTR CALLBACK CVolumeDialog::VolumeDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CVolumeDialog*>(lParam);
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        self->Dialog.Reset(dialog);
        self->OnInitDialog(dialog);
        return FALSE;
    }
    auto* self = reinterpret_cast<CVolumeDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (self == nullptr)
        return FALSE;
    switch (message) {
    case WM_TIMER:
        if (wParam == IdleTimer)
            self->OnTimer();
        return FALSE;
    case WM_COMMAND:
        self->IdleTicks = IdleTicksToClose;
        if (LOWORD(wParam) == IDC_MUTE)
            self->OnMute();
        else if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK)
            self->Close();  // Esc or Enter in the window
        return FALSE;
    case WM_VSCROLL:
        self->IdleTicks = IdleTicksToClose;
        self->OnScroll(wParam);
        return FALSE;
    case WM_NCDESTROY:
        SetWindowLongPtrA(dialog, DWLP_USER, 0);
        self->Dialog.Forget();
        return FALSE;
    default:
        self->IdleTicks = IdleTicksToClose;
        return FALSE;
    }
}

void CVolumeDialog::OnInitDialog(HWND dialog)
{
    POINT pointer{};
    GetCursorPos(&pointer);
    // Below the pointer near the top of the screen, above it elsewhere.
    const int y = pointer.y < 240 ? pointer.y - 5 : pointer.y - 150;
    SetWindowPos(dialog, HWND_TOPMOST, pointer.x - 48, y, 0, 0, SWP_NOSIZE);
    DWORD volume = 0;
    if (Device != nullptr)
        Device->GetMasterVolume(&volume);
    ShowPosition(SliderFromVolume(volume));
    CheckDlgButton(dialog, IDC_MUTE, Muted ? BST_CHECKED : BST_UNCHECKED);
    IdleTicks = IdleTicksToClose;
    SetTimer(dialog, IdleTimer, IdleTickMs, nullptr);
    ShowWindow(dialog, SW_SHOW);
}

void CVolumeDialog::ShowPosition(int position)
{
    HWND slider = GetDlgItem(Dialog.Get(), IDC_VOLUME_SLIDER);
    SendMessageA(slider, TBM_SETRANGE, FALSE, MAKELPARAM(0, SliderPositions));
    SendMessageA(slider, TBM_SETPOS, TRUE, position);
}

void CVolumeDialog::OnMute()
{
    CWaveOut* out = Device;
    if (out == nullptr)
        return;
    if (Muted) {
        out->SetMasterVolume(VolumeBeforeMute);
        Muted = false;
        ShowPosition(SliderFromVolume(VolumeBeforeMute));
    } else {
        DWORD volume = 0;
        out->GetMasterVolume(&volume);
        VolumeBeforeMute = volume;
        out->SetMasterVolume(0);
        Muted = true;
        ShowPosition(SliderPositions);
    }
}

void CVolumeDialog::OnScroll(WPARAM request)
{
    // Every move sets the volume: a drag, a page click, the keys.
    if (LOWORD(request) == SB_ENDSCROLL || Device == nullptr)
        return;
    HWND slider = GetDlgItem(Dialog.Get(), IDC_VOLUME_SLIDER);
    int position = static_cast<int>(SendMessageA(slider, TBM_GETPOS, 0, 0));
    if (LOWORD(request) == SB_THUMBTRACK || LOWORD(request) == SB_THUMBPOSITION) {
        position = HIWORD(request);
        SendMessageA(slider, TBM_SETPOS, TRUE, position);
    }
    Device->SetMasterVolume(VolumeFromSlider(position));
}

void CVolumeDialog::OnTimer()
{
    if (--IdleTicks > 0)
        return;
    SetForegroundWindow(Context.MainWindow);
    Close();
}
