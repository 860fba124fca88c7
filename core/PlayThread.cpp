// The play thread: one loop for the whole run of the program.
#include <windows.h>

#include "core/Player.h"

unsigned __stdcall PlayThreadProc(void* argument)
{
    CPlayer* player = static_cast<CPlayer*>(argument);
    (void)player;

    for (;;) {
        MSG message;
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE) && message.message == WM_APP_STOP_THREAD)
            break;
        // No device is open yet: nothing to produce.
        Sleep(10);
    }
    return 1;
}
