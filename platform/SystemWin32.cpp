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

void SleepMilliseconds(unsigned milliseconds)
{
    Sleep(milliseconds);
}
