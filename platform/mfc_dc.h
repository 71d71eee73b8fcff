// The framework's device contexts: CDC holds a device context handle; CPaintDC paints a window
// (BeginPaint/EndPaint), CClientDC draws on its client area (GetDC/ReleaseDC). Their drawing
// calls come with the drawing facility.
#pragma once

#include "platform/gdi.h"
#include "platform/mfc_wnd.h"

class CDC {
public:
    CDC() = default;
    virtual ~CDC() = default;
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC m_hDC = nullptr;
    operator HDC() const { return m_hDC; }  // NOLINT: implicit, as the framework's
    HDC GetSafeHdc() const { return m_hDC; }

    // A temporary object for the handle (null for null): see mfc_temp_map.h.
    static CDC* FromHandle(HDC dc);
    static void DeleteTempMap();
    static std::size_t TemporaryCount();
    // FALSE for null or when a handle is held already.
    BOOL Attach(HDC dc);
    HDC Detach();
    int GetDeviceCaps(int index) const { return ::GetDeviceCaps(m_hDC, index); }
};

class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* window);
    ~CPaintDC() override;
    PAINTSTRUCT m_ps{};

protected:
    HWND m_hWnd;
};

class CClientDC : public CDC {
public:
    explicit CClientDC(CWnd* window);  // null: the screen
    ~CClientDC() override;

protected:
    HWND m_hWnd;
};
