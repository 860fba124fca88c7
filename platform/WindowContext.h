// What every window of the program shares: the module its resources come
// from, the main window (null until it is made) and the name of the main
// window's class, which is also the caption of the program's messages.
#pragma once

#include <windows.h>

struct WindowContext {
    HINSTANCE Instance = nullptr;
    HWND MainWindow = nullptr;
    char ClassName[100] = {};
};
