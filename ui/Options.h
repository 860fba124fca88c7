// The options dialog (whether the buttons show their tips) and the about
// box with the version and the way to the home page.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/Win32Handles.h"
#include "platform/WindowContext.h"

class CMainWindow;

// The program's home page, shown and opened by the about box.
inline constexpr char HomePage[] = "https://tarvel.example.org/";

class COptionsDialog {
public:
    COptionsDialog(WindowContext& context, CMainWindow& face) : Context(context), Face(face) {}
    ~COptionsDialog() { Close(); }
    COptionsDialog(const COptionsDialog&) = delete;
    COptionsDialog& operator=(const COptionsDialog&) = delete;

    // Command 118: opens the dialog unless it is open.
    void Open();
    void Close();
    HWND Window() const { return Dialog.Get(); }

    // Whether the buttons show their tips (kept between runs).
    std::int32_t OptionToolHint = 1;

private:
    static INT_PTR CALLBACK OptionDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    void ApplyToolHint(std::int32_t value);

    WindowContext& Context;
    CMainWindow& Face;
    WindowHandle Dialog;
    // The setting when the dialog opened: Cancel puts it back.
    std::int32_t ToolHintAtOpen = 1;
};

// The about box (a click on the logo): the version, and Yes opens the home
// page. A program without its version resource shows nothing.
void ShowAbout(HWND owner);
// Its text.
std::string AboutText();
