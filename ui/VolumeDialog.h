// The volume window: a slider over the mixer's master volume and a Mute
// box. It pops up by the pointer, stays on top, and closes itself when it
// has been left alone for a second or two.
#pragma once

#include <windows.h>

#include "platform/WaveOut.h"
#include "platform/Win32Handles.h"
#include "platform/WindowContext.h"


class CVolumeDialog {
public:
    explicit CVolumeDialog(WindowContext& context) : Context(context) {}
    // The device whose mixer the dialog sets (null: none).
    void Attach(CWaveOut* device) { Device = device; }
    ~CVolumeDialog() { Close(); }
    CVolumeDialog(const CVolumeDialog&) = delete;
    CVolumeDialog& operator=(const CVolumeDialog&) = delete;

    // Command 109: opens the window unless it is open.
    void Open();
    void Close();
    HWND Window() const { return Dialog.Get(); }

    // Kept from one opening to the next.
    bool Muted = false;
    DWORD VolumeBeforeMute = 0;

private:
    static INT_PTR CALLBACK VolumeDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog(HWND dialog);
    void OnMute();
    void OnScroll(WPARAM request);
    void OnTimer();
    void ShowPosition(int position);

    WindowContext& Context;
    CWaveOut* Device = nullptr;
    WindowHandle Dialog;
    // Timer ticks left before the window closes; any activity starts again.
    int IdleTicks = 2;
};
