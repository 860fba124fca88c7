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

    // Starts Tarvel.exe with `arguments` in `folder`.
    bool Start(const std::string& arguments, const std::string& folder);
    // The process's top-level window of class `className`, waiting up to
    // `limitMs` for it to appear; null if none did.
    HWND WaitForWindow(const char* className, DWORD limitMs) const;
    // Waits for the process to end; true and its exit code when it did.
    bool WaitForExit(DWORD limitMs, DWORD* exitCode) const;
    bool IsRunning() const;

    PROCESS_INFORMATION Info{};
};

// A fresh, empty folder for one test.
std::string MakeTestFolder(const char* name);
