// Holds a critical section for a scope.
#pragma once

#include "platform/kernel.h"

class DMLockGuard {
public:
    explicit DMLockGuard(CRITICAL_SECTION& cs) : m_cs(cs) { EnterCriticalSection(&m_cs); }
    ~DMLockGuard() { LeaveCriticalSection(&m_cs); }
    DMLockGuard(const DMLockGuard&) = delete;
    DMLockGuard& operator=(const DMLockGuard&) = delete;

private:
    CRITICAL_SECTION& m_cs;
};
