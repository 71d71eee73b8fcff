#include <afxwin.h>

#include "platform/mfc/temp_map.h"

namespace {
thread_local TemporaryObjects<CDC, HDC, &CDC::m_hDC> t_temporaryDcs;
}

CDC* CDC::FromHandle(HDC dc) {
    return t_temporaryDcs.For(dc);
}

std::size_t CDC::TemporaryCount() {
    return t_temporaryDcs.Size();
}

void CDC::DeleteTempMap() {
    t_temporaryDcs.Clear();
}

BOOL CDC::Attach(HDC dc) {
    return AttachHandle(m_hDC, dc);
}

HDC CDC::Detach() {
    return DetachHandle(m_hDC);
}

CPaintDC::CPaintDC(CWnd* window) : m_hWnd(window != nullptr ? window->m_hWnd : nullptr) {
    Attach(::BeginPaint(m_hWnd, &m_ps));
}

CPaintDC::~CPaintDC() {
    if (m_hDC != nullptr) ::EndPaint(m_hWnd, &m_ps);
    Detach();
}

CClientDC::CClientDC(CWnd* window) : m_hWnd(window != nullptr ? window->m_hWnd : nullptr) {
    Attach(::GetDC(m_hWnd));
}

CClientDC::~CClientDC() {
    if (m_hDC != nullptr) ::ReleaseDC(m_hWnd, Detach());
}
