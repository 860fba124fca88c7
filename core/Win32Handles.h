// Owners of the window system's handles and locks: each releases what it
// holds when it goes out of scope.
#pragma once

#include <windows.h>

#include <utility>

// Holds one handle of a kind whose release function is `Release`; a null
// handle is held by nobody.
template <typename Handle, auto Release>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : Held(handle) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : Held(std::exchange(other.Held, Handle{})) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other)
            Reset(std::exchange(other.Held, Handle{}));
        return *this;
    }

    Handle Get() const { return Held; }
    explicit operator bool() const { return Held != Handle{}; }
    void Reset(Handle handle = Handle{})
    {
        if (Held != Handle{})
            Release(Held);
        Held = handle;
    }

private:
    Handle Held{};
};

// Holds a critical section from construction to the end of the scope.
class ScopedLock {
public:
    explicit ScopedLock(CRITICAL_SECTION& section) : Section(section) { EnterCriticalSection(&Section); }
    ~ScopedLock() { LeaveCriticalSection(&Section); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    CRITICAL_SECTION& Section;
};
