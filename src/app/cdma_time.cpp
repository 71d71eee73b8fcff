#include "app/cdma_time.h"

#include <windows.h>

CCDMATime& CCDMATime::Instance() {
    static CCDMATime instance;
    return instance;
}

const int* CCDMATime::Now() {
    __time64_t now = m_synced ? m_base + (GetTickCount() - m_baseTick) / 1000 : _time64(nullptr);
    struct tm parts {};
    _localtime64_s(&parts, &now);
    m_now[0] = parts.tm_year + 1900;
    m_now[1] = parts.tm_mon + 1;
    m_now[2] = parts.tm_mday;
    m_now[3] = parts.tm_hour;
    m_now[4] = parts.tm_min;
    m_now[5] = parts.tm_sec;
    return m_now;
}
