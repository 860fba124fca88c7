// Small services of the operating system that the portable code needs.
#pragma once

#include <cstdint>

// A lock that one thread may take again while it holds it.
class PlatformLock {
public:
    PlatformLock();
    ~PlatformLock();
    PlatformLock(const PlatformLock&) = delete;
    PlatformLock& operator=(const PlatformLock&) = delete;
    void Enter();
    void Leave();
    // Takes the lock only if no other thread holds it.
    bool TryEnter();

private:
    alignas(8) unsigned char Storage[64];
};

// Holds a PlatformLock for its scope.
class HeldLock {
public:
    explicit HeldLock(PlatformLock& lock) : Lock(lock) { Lock.Enter(); }
    ~HeldLock() { Lock.Leave(); }
    HeldLock(const HeldLock&) = delete;
    HeldLock& operator=(const HeldLock&) = delete;

private:
    PlatformLock& Lock;
};

void SleepMilliseconds(unsigned milliseconds);
// Milliseconds since some moment at start-up, going round in 32 bits.
std::uint32_t TickMilliseconds();
