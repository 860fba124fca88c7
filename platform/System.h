// Small services of the operating system that the portable code needs.
#pragma once

// A lock that one thread may take again while it holds it.
class PlatformLock {
public:
    PlatformLock();
    ~PlatformLock();
    PlatformLock(const PlatformLock&) = delete;
    PlatformLock& operator=(const PlatformLock&) = delete;
    void Enter();
    void Leave();

private:
    alignas(8) unsigned char Storage[64];
};

void SleepMilliseconds(unsigned milliseconds);
