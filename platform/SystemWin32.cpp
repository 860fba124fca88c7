#include <windows.h>

#include <new>

#include "platform/System.h"

static_assert(sizeof(CRITICAL_SECTION) <= 64, "the lock's storage holds a critical section");

PlatformLock::PlatformLock()
{
    InitializeCriticalSection(new (Storage) CRITICAL_SECTION);
}

PlatformLock::~PlatformLock()
{
    DeleteCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(Storage));
}

void PlatformLock::Enter()
{
    EnterCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(Storage));
}

void PlatformLock::Leave()
{
    LeaveCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(Storage));
}

void ShowMessage(const char* text, const char* caption)
{
    MessageBoxA(nullptr, text, caption, MB_OK);
}

void SleepMilliseconds(unsigned milliseconds)
{
    Sleep(milliseconds);
}
