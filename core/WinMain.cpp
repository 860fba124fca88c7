#include <windows.h>

#include <cstdlib>

#include "core/Player.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    return TarvelMain(instance, __argc, __argv);
}
