// A thread object: Prepare runs on the starting thread, Run on a thread of its own.
#pragma once

#include <windows.h>

class CThread {
public:
    CThread() = default;
    // Closes the thread handle; a running thread is neither stopped nor waited for.
    virtual ~CThread();
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    // Starts the thread unless it runs already (true then). Prepare runs first, on the calling
    // thread; false from it gives false and no thread.
    bool Start();
    bool IsRunning() const;
    // WaitForSingleObject on the thread.
    DWORD Wait(DWORD milliseconds) const;
    HANDLE Handle() const { return m_thread; }
    DWORD ThreadId() const { return m_threadId; }

protected:
    virtual void Run() = 0;
    virtual bool Prepare() { return true; }

private:
    static DWORD ThreadProc(LPVOID parameter);

    HANDLE m_thread = nullptr;
    DWORD m_threadId = 0;
};
