#pragma once
// Whether the calling thread holds a mutex, seen from another thread.

#include "framework/WDL_Mutex.h"

#include <thread>

// True when another thread cannot take the mutex, i.e. the calling thread holds it.
inline bool HeldByThisThread(WDL_Mutex* mutex)
{
    bool otherGotIt = false;
    std::thread t(
        [&]
        {
            otherGotIt = mutex->TryEnter();
            if (otherGotIt)
                mutex->Leave();
        });
    t.join();
    return !otherGotIt;
}
