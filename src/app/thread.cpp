#include "app/thread.h"

CThread::~CThread() {
    if (m_thread != nullptr) CloseHandle(m_thread);
    m_thread = nullptr;
}

bool CThread::Start() {
    if (IsRunning()) return true;
    if (m_thread != nullptr) {
        CloseHandle(m_thread);
        m_thread = nullptr;
    }
    if (!Prepare()) return false;
    m_thread = CreateThread(nullptr, 0, &CThread::ThreadProc, this, 0, &m_threadId);
    return m_thread != nullptr;
}

DWORD CThread::ThreadProc(LPVOID parameter) {
    if (parameter != nullptr) static_cast<CThread*>(parameter)->Run();
    return 0;
}

bool CThread::IsRunning() const {
    return m_thread != nullptr && WaitForSingleObject(m_thread, 0) == WAIT_TIMEOUT;
}

DWORD CThread::Wait(DWORD milliseconds) const {
    return WaitForSingleObject(m_thread, milliseconds);
}
