#include "dm/log.h"

CLog::CLog() {
    InitializeCriticalSection(&m_lock);
}

CLog::CLog(HMODULE libraryModule, ILogService* logService)
    : m_logService(logService), m_libraryModule(libraryModule) {
    InitializeCriticalSection(&m_lock);
}

std::unique_ptr<CLog> CLog::Load(const wchar_t* fileName) {
    HMODULE module = fileName != nullptr ? LoadLibraryW(fileName) : nullptr;
    if (module == nullptr) return std::make_unique<CLog>();
    ILogService* service = nullptr;
    auto create =
        reinterpret_cast<PFN_CREATE_LOG_SERVICE>(GetProcAddress(module, "CreateLogService"));
    if (create != nullptr) service = create();
    return std::make_unique<CLog>(module, service);
}

CLog::~CLog() {
    if (m_libraryModule != nullptr && m_logService != nullptr) {
        auto release = reinterpret_cast<PFN_RELEASE_LOG_SERVICE>(
            GetProcAddress(m_libraryModule, "ReleaseLogService"));
        if (release != nullptr) {
            release(m_logService);
            m_logService = nullptr;
        }
    }
    if (m_libraryModule != nullptr) {
        FreeLibrary(m_libraryModule);
        m_libraryModule = nullptr;
    }
    DeleteCriticalSection(&m_lock);
}

void CLog::WriteWide(const wchar_t* text) {
    if (m_logService != nullptr) m_logService->WriteWide(text);
}

void CLog::WriteNarrow(const char* text) {
    if (m_logService != nullptr) m_logService->WriteNarrow(text);
}

void CLog::WriteHex(const void* data, DWORD size) {
    if (m_logService != nullptr) m_logService->WriteHex(data, size);
}

void CLog::SetLevel(std::uint8_t level) {
    if (m_logService != nullptr) m_logService->SetLevel(level);
}

std::uint8_t CLog::GetLevel() {
    return m_logService != nullptr ? m_logService->GetLevel() : 0;
}

void CLog::SetEnabled(int enabled) {
    if (m_logService != nullptr) m_logService->SetEnabled(enabled);
}

void CLog::SetOptions(DWORD options) {
    if (m_logService != nullptr) m_logService->SetOptions(options);
}

void CLog::WriteNarrowAtLevel(std::uint8_t level, const char* text) {
    Guard guard(*this);
    const std::uint8_t saved = GetLevel();
    SetLevel(level);
    WriteNarrow(text);
    SetLevel(saved);
}
