#include "core/Player.h"

#include <commctrl.h>
#include <process.h>

#include <cstring>
#include <new>

#include "decoder/Mpeg.h"
#include "platform/Faults.h"
#include "platform/WinPath.h"

namespace {

const char ProductName[] = "Tarvel";

void ShowOwnedMessage(HWND owner, const char* text, const char* caption)
{
    MessageBoxA(owner, text, caption, MB_OK);
}

}  // namespace

CPlayer::CPlayer()
{
    MpegInit();
    if (!CopyString(ClassName, sizeof ClassName, ProductName) ||
        !CopyString(MutexName, sizeof MutexName, "InstanceOfTarvel"))
        MessageBoxA(nullptr, "lstrcpy error", ProductName, MB_OK);
}

CPlayer::~CPlayer()
{
    if (PlayThread != nullptr)
        CloseHandle(PlayThread);
}

bool CPlayer::CreateObjects(HWND window, bool create)
{
    if (create) {
        switch (Engine.Create()) {
        case CEngine::Missing::PcmRing:
            ShowOwnedMessage(window, "Cannot allocate pcm buffer", ClassName);
            return false;
        case CEngine::Missing::FileInfo:
            ShowOwnedMessage(window, "Cannot create CFileInfo instance", ClassName);
            return false;
        case CEngine::Missing::FileReader:
            ShowOwnedMessage(window, "Cannot create CNoBufFile instance", ClassName);
            return false;
        case CEngine::Missing::Nothing:
            break;
        }
        WaveOut = new (std::nothrow) CWaveOut;
        if (WaveOut == nullptr) {
            ShowOwnedMessage(window, "Cannot create CWaveOut instance", ClassName);
            return false;
        }
        Engine.Attach(WaveOut);
        Volume.Attach(WaveOut);
        if (!WaveOut->OpenMixer())
            return false;
        Fft.Init(1, 9, 1);  // without its tables the analyser shows nothing
        return true;
    }

    Fft.FreeTables();

    Engine.Attach(nullptr);
    Volume.Attach(nullptr);
    if (WaveOut != nullptr) {
        WaveOut->CloseMixer();
        WaveOut->Reset();
        WaveOut->Close();
        delete WaveOut;
        WaveOut = nullptr;
    }
    Engine.Release();
    return true;
}

bool CPlayer::OnCreate(HWND window)
{
    MainWindow = window;
    // Each step is undone with those before it when one fails; the window
    // is then not made, and nothing of the last run is saved over.
    bool created = CreateObjects(window, true) && Face.CreateButtons(true) && Face.CreateSpectrumBrushes(true);
    if (created && !PlayList.CreatePlaylistWindow(Instance, true)) {
        ShowOwnedMessage(window, "Cannot create the playlist window", ClassName);
        created = false;
    }
    created = created && Face.CreateTitleFonts(true);
    if (created) {
        Face.LoadSkin(true);
        LoadSettings();
        created = StartPlayThread();
    }
    if (!created) {
        ReleaseWindowResources();
        MainWindow = nullptr;
        return false;
    }
    Started = true;
    return true;
}

void CPlayer::ReleaseWindowResources()
{
    // The playlist window goes before anything its rows might reach.
    PlayList.CreatePlaylistWindow(nullptr, false);
    Face.CreateSpectrumBrushes(false);
    Face.CreateButtons(false);
    Face.LoadSkin(false);
    Face.CreateTitleFonts(false);
    DestroyObjects();
}

bool CPlayer::StartPlayThread()
{
    if (FaultHappens(Fault::PlayThread))
        return false;
    unsigned threadId = 0;
    uintptr_t handle = _beginthreadex(nullptr, 0, PlayThreadProc, this, 0, &threadId);
    if (handle == 0)
        return false;
    if (PlayThread != nullptr)
        CloseHandle(PlayThread);
    PlayThread = reinterpret_cast<HANDLE>(handle);
    PlayThreadId = threadId;
    return true;
}

void CPlayer::OnClose()
{
    if (PlayThread == nullptr)
        return;

    // The thread makes its message queue when its loop first looks for
    // messages; until then a posted message is refused, so keep offering it
    // within the same time limit.
    const DWORD limit = 2000;
    DWORD start = GetTickCount();
    PlayThreadStopping = true;
    while (!PostThreadMessageA(PlayThreadId, WM_APP_STOP_THREAD, 0, 0)) {
        if (WaitForSingleObject(PlayThread, 10) != WAIT_TIMEOUT || GetTickCount() - start >= limit)
            break;
    }
    // While waiting, messages other threads send to this one are answered:
    // the play thread may be setting the caption at this moment.
    DWORD result = WAIT_TIMEOUT;
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        const DWORD remaining = elapsed < limit ? limit - elapsed : 0;
        result = MsgWaitForMultipleObjects(1, &PlayThread, FALSE, remaining, QS_SENDMESSAGE);
        if (result != WAIT_OBJECT_0 + 1)
            break;
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    if (result == WAIT_TIMEOUT) {
        if (!TerminateThread(PlayThread, WAIT_TIMEOUT))
            ShowOwnedMessage(MainWindow, "正常にスレッドを削除できませんでした", ClassName);
    }
}

void CPlayer::OnDestroy(HWND)
{
    // Only a start that completed has anything to save and release here
    // (one that failed undid its own steps), and only once.
    if (!Started)
        return;
    Started = false;
    // A window taken down without being closed first still stops the play
    // thread before the objects it uses go.
    if (PlayThread != nullptr && WaitForSingleObject(PlayThread, 0) == WAIT_TIMEOUT)
        OnClose();
    if (InstanceMutex != nullptr) {
        CloseHandle(InstanceMutex);
        InstanceMutex = nullptr;
    }
    SaveSettings();
    Tray.RemoveIcon();
    Volume.Close();
    Options.Close();
    ReleaseWindowResources();
    PostQuitMessage(0);
}

void CPlayer::RefreshMain()
{
    if (MainWindow == nullptr)
        return;
    InvalidateRect(MainWindow, nullptr, FALSE);
    // Only the window's own thread paints at once; the play thread, which
    // may hold the engine lock the interface thread waits for, leaves the
    // repaint to it.
    if (GetWindowThreadProcessId(MainWindow, nullptr) == GetCurrentThreadId())
        UpdateWindow(MainWindow);
}

void CPlayer::UpdateSpectrum(HDC dc, const std::int16_t* frames)
{
    if (!Analyser.Update(frames) || Face.IsMinimize || dc == nullptr)
        return;
    Face.DrawSpectrumBars(dc, Analyser.Left, Analyser.Right);
}
