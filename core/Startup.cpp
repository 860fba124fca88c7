// Start-up, command-line intake, the message loop and shut-down.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "core/Player.h"
#include "platform/WinPath.h"

namespace {

const char ProductName[] = "Tarvel";
const char AlreadyRunning[] = "すでに起動しています";

bool IsAlreadyRunning(const char* mutexName)
{
    HANDLE existing = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, mutexName);
    if (existing == nullptr)
        return false;
    CloseHandle(existing);
    return true;
}

}  // namespace

int TarvelMain(HINSTANCE instance, int argc, char** argv)
{
    CPlayer* player = new (std::nothrow) CPlayer;
    if (player == nullptr)
        return 0;

    if (IsAlreadyRunning(player->MutexName)) {
        MessageBoxA(nullptr, AlreadyRunning, ProductName, MB_OK);
        delete player;
        return 0;
    }

    // The mixer must be there before anything else starts.
    {
        CWaveOut* probe = new (std::nothrow) CWaveOut;
        if (probe == nullptr) {
            MessageBoxA(nullptr, "Cannot create CWaveOut instance", ProductName, MB_OK);
            delete player;
            return 0;
        }
        const bool mixer = probe->OpenMixer();
        delete probe;
        if (!mixer) {
            delete player;
            return 0;
        }
    }

    player->InstanceMutex = CreateMutexA(nullptr, FALSE, player->MutexName);
    if (player->InstanceMutex == nullptr) {
        delete player;
        return 0;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        // Another instance created the mutex between the test above and now.
        CloseHandle(player->InstanceMutex);
        MessageBoxA(nullptr, AlreadyRunning, ProductName, MB_OK);
        delete player;
        return 0;
    }

    DWORD length = GetCurrentDirectoryA(sizeof player->StartDirectory, player->StartDirectory);
    if (length == 0 || length >= sizeof player->StartDirectory || !player->CreateMainWindow(instance, SW_SHOW)) {
        CloseHandle(player->InstanceMutex);
        delete player;
        return 0;
    }

    InitCommonControls();
    HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_ACCELERATORS));

    player->TakeCommandLine(argc, argv);
    player->RunMessageLoop(accelerators);

    // A loop ended by a quit message from elsewhere leaves the window: take
    // it down the orderly way so that its mutex and objects are released.
    if (IsWindow(player->MainWindow))
        DestroyWindow(player->MainWindow);
    delete player;
    return 0;
}

bool CPlayer::CreateMainWindow(HINSTANCE instance, int)
{
    Instance = instance;

    WNDCLASSA windowClass{};
    windowClass.style = MainClassStyle;
    windowClass.lpfnWndProc = CMainWindow::WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_MAIN));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = ClassName;
    if (RegisterClassA(&windowClass) == 0)
        return false;

    HWND window = CreateWindowExA(MainWindowExStyle, ClassName, ClassName, MainWindowStyle, CW_USEDEFAULT,
                                  CW_USEDEFAULT, FaceWidth, FaceHeight, nullptr, nullptr, instance, &Face);
    if (window == nullptr)
        return false;
    MainWindow = window;
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    return true;
}

void CPlayer::TakeCommandLine(int argc, char** argv)
{
    if (argc < 2)
        return;

    Engine.ClearPlaylist();
    PlayList.DeleteAll();

    HCURSOR previousCursor = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    for (int i = 1; i < argc; ++i) {
        char argument[MAX_PATH];
        if (CopyString(argument, sizeof argument, argv[i]))  // longer ones name no path the player holds
            Files.TakePath(argument, true);
    }
    SetCursor(previousCursor);

    Engine.SelectEntry(0);
    PlayPause();
}

void CPlayer::RunMessageLoop(HACCEL accelerators)
{
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        // The program's own dialogs take their keys first: Esc there closes
        // the dialog, not the program.
        if (Volume.Window() != nullptr && IsDialogMessageA(Volume.Window(), &message))
            continue;
        if (Options.Window() != nullptr && IsDialogMessageA(Options.Window(), &message))
            continue;
        if (MainWindow != nullptr && accelerators != nullptr &&
            TranslateAcceleratorA(MainWindow, accelerators, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
