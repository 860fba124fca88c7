#include "platform/System.h"

#include <pthread.h>
#include <time.h>

#include <cstdio>
#include <new>

static_assert(sizeof(pthread_mutex_t) <= 64, "the lock's storage holds a mutex");

PlatformLock::PlatformLock()
{
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(new (Storage) pthread_mutex_t, &attributes);
    pthread_mutexattr_destroy(&attributes);
}

PlatformLock::~PlatformLock()
{
    pthread_mutex_destroy(reinterpret_cast<pthread_mutex_t*>(Storage));
}

void PlatformLock::Enter()
{
    pthread_mutex_lock(reinterpret_cast<pthread_mutex_t*>(Storage));
}

void PlatformLock::Leave()
{
    pthread_mutex_unlock(reinterpret_cast<pthread_mutex_t*>(Storage));
}

bool PlatformLock::TryEnter()
{
    return pthread_mutex_trylock(reinterpret_cast<pthread_mutex_t*>(Storage)) == 0;
}

void SleepMilliseconds(unsigned milliseconds)
{
    timespec delay{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    nanosleep(&delay, nullptr);
}

std::uint32_t TickMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(now.tv_sec) * 1000 + static_cast<std::uint64_t>(now.tv_nsec) / 1000000);
}
