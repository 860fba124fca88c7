// Starting the real Tarvel.exe and finding its windows from outside.
#pragma once

#include <windows.h>

#include <string>

// The program under test, as a Windows path (set by the test main).
extern std::string TarvelExe;

class TarvelProcess {
public:
    TarvelProcess() = default;
    ~TarvelProcess();
    TarvelProcess(const TarvelProcess&) = delete;
    TarvelProcess& operator=(const TarvelProcess&) = delete;

    // Starts Tarvel.exe with `arguments` in `folder`, from the settings of
    // a first run unless KeepSettings is set.
    bool Start(const std::string& arguments, const std::string& folder);
    // Starts it and waits up to `limitMs` for its main window to show; the
    // window, or null when none showed.
    HWND Open(const std::string& arguments, const std::string& folder, DWORD limitMs = 20000);
    // Posts WM_CLOSE to `main` and waits up to `limitMs` for the process to end.
    bool Close(HWND main, DWORD limitMs, DWORD* exitCode) const;
    // The process's top-level window of class `className`, waiting up to
    // `limitMs` for it to appear; null if none did.
    HWND WaitForWindow(const char* className, DWORD limitMs) const;
    // Waits for the process to end; true and its exit code when it did.
    bool WaitForExit(DWORD limitMs, DWORD* exitCode) const;
    bool IsRunning() const;

    PROCESS_INFORMATION Info{};
    bool KeepSettings = false;
};

// The registry settings of the program, gone: the next start is a first run.
void ForgetSettings();

// A key typed into a window of the program: through its own message loop
// and keyboard table, as a key from the keyboard goes.
void TypeKey(HWND window, UINT key);
// The pointer moved to screen point (x, y), as the mouse moves it.
void MovePointer(int x, int y);
// The left button pressed or released where the pointer is.
void PressPointer(bool down);
// `clicks` clicks of the left button at screen point (x, y).
void ClickAt(int x, int y, int clicks = 1);
// A key typed while `modifier` (VK_CONTROL, VK_SHIFT) is held, from the
// keyboard, into the window that has the focus.
void TypeChord(UINT modifier, UINT key);

// Whether a tip of the program shows within `ms` while the pointer rests on
// the play button of its main window at `scale`.
bool TipShows(HWND main, int scale, DWORD ms);
// A window's text (a caption, a control's label).
std::string WindowText(HWND window);

// A fresh, empty folder for one test.
std::string MakeTestFolder(const char* name);
