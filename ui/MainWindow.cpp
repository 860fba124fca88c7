// The main window's procedure.
#include <windows.h>

#include "core/Player.h"

namespace {

enum : WORD {
    CommandExit = 1009,
    CommandExitMenu = 1010,
    CommandEscape = 40001,
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
        default:
            break;
        }
        break;
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
