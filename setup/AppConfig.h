// What the database and configuration update needs beside the form: where a new
// installation key's time and random number come from.
#pragma once

#include <windows.h>

#include <functional>

// The local date and time.
SYSTEMTIME LocalNow();
// Seeds the process's generator from the high-resolution counter, or from the
// milliseconds since the system started where there is no such counter.
void SeedRandomFromClock();
// A number from 0 to 99999 inclusive, from the process's generator.
unsigned RandomBelow100000();

// The clock and the random numbers behind a new key: the system's, unless a test puts
// its own in.
struct InstallKeySource {
    std::function<SYSTEMTIME()> now = LocalNow;
    std::function<void()> seed = SeedRandomFromClock;
    std::function<unsigned()> random = RandomBelow100000;
};
