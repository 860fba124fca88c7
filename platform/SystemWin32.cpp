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

bool PlatformLock::TryEnter()
{
    return TryEnterCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(Storage)) != FALSE;
}

void SleepMilliseconds(unsigned milliseconds)
{
    Sleep(milliseconds);
}

std::uint32_t TickMilliseconds()
{
    return GetTickCount();
}
