// The device command library's log: the log library's service interface and the wrapper that
// the engine owns.
//
// The log library is a module loaded at run time. It exports
//   "CreateLogService": ILogService* (*)(), the library's log object (null when it has none);
//   "ReleaseLogService": void (*)(ILogService*), which takes that object back.
// Without the library, or without its object, every log call does nothing and the level reads
// as 0.
#pragma once

#include <cstdint>
#include <memory>

#include <windows.h>

class ILogService {
public:
    virtual void WriteWide(const wchar_t* text) = 0;
    virtual void WriteNarrow(const char* text) = 0;
    // size bytes of data, written as hexadecimal.
    virtual void WriteHex(const void* data, DWORD size) = 0;
    virtual void SetLevel(std::uint8_t level) = 0;
    virtual std::uint8_t GetLevel() = 0;
    // Non-zero switches the log's output on; the library's users pass 1 after every level
    // change.
    virtual void SetEnabled(int enabled) = 0;
    // The log's output options (the library's own flags).
    virtual void SetOptions(DWORD options) = 0;

protected:
    // The object belongs to the log library, which frees it in "ReleaseLogService".
    ~ILogService() = default;
};

using PFN_CREATE_LOG_SERVICE = ILogService* (*)();
using PFN_RELEASE_LOG_SERVICE = void (*)(ILogService*);

class CLog : public ILogService {
public:
    // A log without a library: every call does nothing.
    CLog();
    // Takes over the module (may be null) and the library's object (may be null).
    CLog(HMODULE libraryModule, ILogService* logService);
    // Loads the log library and takes its object; a CLog without a library (or without an
    // object, the module still held) when the library or its "CreateLogService" is missing.
    static std::unique_ptr<CLog> Load(const wchar_t* fileName);
    // Gives the object back through "ReleaseLogService" when the library exports it, then frees
    // the library.
    virtual ~CLog();
    CLog(const CLog&) = delete;
    CLog& operator=(const CLog&) = delete;

    void WriteWide(const wchar_t* text) override;
    void WriteNarrow(const char* text) override;
    void WriteHex(const void* data, DWORD size) override;
    void SetLevel(std::uint8_t level) override;
    std::uint8_t GetLevel() override;
    void SetEnabled(int enabled) override;
    void SetOptions(DWORD options) override;

    // Writes the text at the level, then puts the level back, all under the log lock, so that a
    // level change made under the same lock is never undone.
    void WriteNarrowAtLevel(std::uint8_t level, const char* text);

    // The log lock (re-entrant): whoever changes the level holds it across the change.
    void Lock() { EnterCriticalSection(&m_lock); }
    void Unlock() { LeaveCriticalSection(&m_lock); }
    class Guard {
    public:
        explicit Guard(CLog& log) : m_log(log) { m_log.Lock(); }
        ~Guard() { m_log.Unlock(); }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;

    private:
        CLog& m_log;
    };

    HMODULE LibraryModule() const { return m_libraryModule; }
    ILogService* LogService() const { return m_logService; }

private:
    ILogService* m_logService = nullptr;
    HMODULE m_libraryModule = nullptr;
    CRITICAL_SECTION m_lock;
};
