// Holds a critical section for the lifetime of a scope.
#pragma once

#include <windows.h>

class CAutoLock {
public:
    explicit CAutoLock(CRITICAL_SECTION& cs) : m_cs(cs) { EnterCriticalSection(&m_cs); }
    ~CAutoLock() { LeaveCriticalSection(&m_cs); }
    CAutoLock(const CAutoLock&) = delete;
    CAutoLock& operator=(const CAutoLock&) = delete;

private:
    CRITICAL_SECTION& m_cs;
};
