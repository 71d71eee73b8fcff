// The clock that stamps a connection's start: local time, or a network time base when one has
// been taken (nothing in the application takes one).
#pragma once

#include <corecrt.h>
#include <windows.h>

class ICDMATime {
public:
    // The current time as six ints: year, month (1-12), day, hour, minute, second. The array
    // belongs to the clock and is overwritten by the next call.
    virtual const int* Now() = 0;

protected:
    ~ICDMATime() = default;
};

class CCDMATime : public ICDMATime {
public:
    // The process-wide clock, built on first use.
    static CCDMATime& Instance();

    const int* Now() override;

private:
    CCDMATime() = default;

    int m_now[6] = {};
    __time64_t m_base = 0;  // network time, seconds since 1970
    DWORD m_baseTick = 0;   // the tick count at which the base was taken
    bool m_synced = false;
};
