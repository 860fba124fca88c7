// The main window's procedure.
#include <windows.h>

#include "core/Player.h"

namespace {

enum : WORD {
    CommandPlayPause = 120,
    CommandStop = 40002,
    CommandNext = 40003,
    CommandPrevious = 40004,
    CommandExit = 1009,
    CommandExitMenu = 1010,
    CommandEscape = 40001,
    CommandOpenFiles = 117,
    CommandSavePlaylist = 1016,
};

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        Player->OnCreate(window);
        return 0;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case CommandExit:
        case CommandExitMenu:
        case CommandEscape:
            PostMessageA(window, WM_CLOSE, 0, 0);
            return 0;
        case CommandPlayPause:
            Player->PlayPause();
            return 0;
        case CommandOpenFiles:
            Player->ShowOpenDialog(window);
            return 0;
        case CommandSavePlaylist:
            Player->ShowSaveDialog(window);
            return 0;
        case CommandStop:
            Player->StopPlayback();
            return 0;
        case CommandNext: {
            const std::int32_t next = Player->NextIndex();
            if (next >= 0)
                Player->GoToTrack(next);
            return 0;
        }
        case CommandPrevious: {
            const std::int32_t previous = Player->PreviousIndex();
            if (previous >= 0)
                Player->GoToTrack(previous);
            return 0;
        }
        default:
            break;
        }
        break;
    case WM_DROPFILES:
        // Files dropped on the main window replace the playlist and play.
        Player->DropFiles(reinterpret_cast<HDROP>(wParam), true);
        return 0;
    case WM_CLOSE:
        Player->OnClose();
        break;  // the default handling destroys the window
    case WM_DESTROY:
        Player->OnDestroy(window);
        return 0;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
