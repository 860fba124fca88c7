#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <vector>

#include "TarvelProcess.h"

std::string TarvelExe;

namespace {

struct WindowSearch {
    DWORD ProcessId;
    const char* ClassName;
    HWND Found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    if (processId == search->ProcessId && lstrcmpA(className, search->ClassName) == 0) {
        search->Found = window;
        return FALSE;
    }
    return TRUE;
}

// Wine passes a Unix path through unchanged: map it to the Z: drive.
std::string ToWindowsPath(std::string path)
{
    if (!path.empty() && path[0] == '/')
        path = "Z:" + path;
    for (char& c : path) {
        if (c == '/')
            c = '\\';
    }
    return path;
}

}  // namespace

TarvelProcess::~TarvelProcess()
{
    if (Info.hProcess != nullptr) {
        if (IsRunning())
            TerminateProcess(Info.hProcess, 99);
        CloseHandle(Info.hProcess);
        CloseHandle(Info.hThread);
    }
}

void ForgetSettings()
{
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Quenby\\Tarvel");
}

bool TarvelProcess::Start(const std::string& arguments, const std::string& folder)
{
    if (!KeepSettings)
        ForgetSettings();
    std::string commandLine = "\"" + TarvelExe + "\" " + arguments;
    std::vector<char> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    return CreateProcessA(TarvelExe.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                          &startup, &Info) != FALSE;
}

HWND TarvelProcess::WaitForWindow(const char* className, DWORD limitMs) const
{
    DWORD start = GetTickCount();
    do {
        WindowSearch search{Info.dwProcessId, className, nullptr};
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
        if (search.Found != nullptr)
            return search.Found;
        Sleep(50);
    } while (GetTickCount() - start < limitMs);
    return nullptr;
}

HWND TarvelProcess::Open(const std::string& arguments, const std::string& folder, DWORD limitMs)
{
    if (!Start(arguments, folder))
        return nullptr;
    const DWORD start = GetTickCount();
    HWND main = WaitForWindow("Tarvel", limitMs);
    // Shown once its creation, which reads the resume playlist, is over.
    while (main != nullptr && !IsWindowVisible(main)) {
        if (GetTickCount() - start >= limitMs)
            return nullptr;
        Sleep(20);
    }
    return main;
}

bool TarvelProcess::Close(HWND main, DWORD limitMs, DWORD* exitCode) const
{
    PostMessageA(main, WM_CLOSE, 0, 0);
    return WaitForExit(limitMs, exitCode);
}

void TypeKey(HWND window, UINT key)
{
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC)) << 16;
    PostMessageA(window, WM_KEYDOWN, key, scan | 1);
    PostMessageA(window, WM_KEYUP, key, scan | 1 | (3u << 30));
}

void MovePointer(int x, int y)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    input.mi.dx = (x * 65536 + width / 2) / width;
    input.mi.dy = (y * 65536 + height / 2) / height;
    SendInput(1, &input, sizeof input);
}

// Whether a tip of the program shows within `ms` while the pointer rests on
// the play button of its main window at `scale`.
bool TipShows(HWND main, int scale, DWORD ms)
{
    POINT play{(31 + 14) * scale, (78 + 5) * scale};  // the play button's middle
    ClientToScreen(main, &play);
    MovePointer(play.x - 3, play.y);
    Sleep(100);
    MovePointer(play.x, play.y);
    DWORD process = 0;
    GetWindowThreadProcessId(main, &process);
    for (const DWORD start = GetTickCount(); GetTickCount() - start < ms; Sleep(50)) {
        HWND tip = nullptr;
        while ((tip = FindWindowExA(nullptr, tip, TOOLTIPS_CLASSA, nullptr)) != nullptr) {
            DWORD owner = 0;
            GetWindowThreadProcessId(tip, &owner);
            if (owner == process && IsWindowVisible(tip))
                return true;
        }
    }
    return false;
}

std::string WindowText(HWND window)
{
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

void PressPointer(bool down)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    SendInput(1, &input, sizeof input);
}

void ClickAt(int x, int y, int clicks)
{
    MovePointer(x, y);
    Sleep(50);
    for (int i = 0; i < clicks; ++i) {
        PressPointer(true);
        PressPointer(false);
    }
}

void TypeChord(UINT modifier, UINT key)
{
    INPUT keys[4] = {};
    const UINT order[4] = {modifier, key, key, modifier};
    for (int i = 0; i < 4; ++i) {
        keys[i].type = INPUT_KEYBOARD;
        keys[i].ki.wVk = static_cast<WORD>(order[i]);
        keys[i].ki.dwFlags = i >= 2 ? KEYEVENTF_KEYUP : 0;
    }
    SendInput(4, keys, sizeof keys[0]);
}

bool TarvelProcess::WaitForExit(DWORD limitMs, DWORD* exitCode) const
{
    if (WaitForSingleObject(Info.hProcess, limitMs) != WAIT_OBJECT_0)
        return false;
    GetExitCodeProcess(Info.hProcess, exitCode);
    return true;
}

bool TarvelProcess::IsRunning() const
{
    return WaitForSingleObject(Info.hProcess, 0) == WAIT_TIMEOUT;
}

std::string MakeTestFolder(const char* name)
{
    char base[MAX_PATH];
    GetTempPathA(sizeof base, base);
    std::string folder = std::string(base) + "tarvel-e2e-" + name;
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        fprintf(stderr, "usage: tarvel_e2e_tests PATH-TO-Tarvel.exe\n");
        return 2;
    }
    TarvelExe = ToWindowsPath(argv[1]);
    return RUN_ALL_TESTS();
}
