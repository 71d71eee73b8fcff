// The skinned controls that the system draws itself: combo box, edit, list, IP address control
// (with its field edits) and date-time picker. Each keeps a memory device context holding a
// 32-bit picture of its window, makes the control print itself into it, and copies that picture
// into the skin surface at the place of its cell: when the cell painter asks (WM_DOCKING_PAINT),
// and when the control draws on its own outside WM_PAINT (the hooked GetDC hands out the memory
// context; the hooked ReleaseDC prints the control again and hands the picture to its cell).
#pragma once

#include <memory>
#include <vector>

#include "docking/detoures.h"
#include "docking/hooks.h"
#include "docking/renderable.h"
#include "docking/skin_window.h"
#include <afxwin.h>
#include <afxcmn.h>

namespace System::Docking::Skin {

// WM_PRINT flags: everything (combo, list, IP address, date-time) and everything but owned windows
// (the edit).
constexpr DWORD kPrintAll = 0x3F;
constexpr DWORD kPrintNoOwned = 0x1F;
// The sunken client edge (WS_EX_CLIENTEDGE) that a skinned control drops.
constexpr DWORD kClientEdgeStyle = 0x200;

// The picture of one control: the memory context, its 32-bit surface bitmap of the window's size
// and the rectangle of the skin surface it was last painted into.
class OffscreenPicture {
public:
    OffscreenPicture();
    ~OffscreenPicture();
    OffscreenPicture(const OffscreenPicture&) = delete;
    OffscreenPicture& operator=(const OffscreenPicture&) = delete;

    HDC Dc() const { return memory_; }
    HBITMAP Surface() const { return surface_; }
    const RECT& LastPainted() const { return last_; }

    // A surface bitmap of the window's size replaces the one the context holds (nothing changes
    // while the window's rectangle is empty).
    void Rebuild(HWND window);
    // WM_DOCKING_PAINT: a visible window with a surface prints itself and its picture is drawn at
    // the top-left of the context's client rectangle, within the context's clip; the clip is kept
    // as the last painted rectangle either way.
    void PaintInto(HWND window, DWORD printFlags, const RenderContext& context);
    // Prints the visible window into the memory context and hands the last painted rectangle of
    // it to the window's cell. A print that comes back here (a print path that takes the window's
    // context) does nothing.
    void RepaintThroughCell(HWND window);
    // Inverts the caret into the memory context (a bitmap caret exclusive-ored at its own size, a
    // solid one as a rectangle) and hands the picture to the cell.
    void DrawCaret(HWND window, HBITMAP bitmap, int x, int y, int width, int height);

private:
    void HandToCell(HWND window);

    HDC memory_ = nullptr;
    HDC second_ = nullptr;
    HBITMAP surface_ = nullptr;
    HGDIOBJ first_ = nullptr;  // what the memory context held before the first surface
    RECT last_{};
    bool repainting_ = false;
};

// What the five controls share: Base is their MFC control class. The hooked device-context calls
// reach the picture; WM_SIZE rebuilds the surface and WM_DOCKING_PAINT paints it.
template <class Base>
class COffscreenControl : public CSkinnedWindow<Base>, public CDockingDetoures {
public:
    HDC GetDC() override { return picture_.Dc(); }
    HDC GetDCEx(HRGN, DWORD) override { return picture_.Dc(); }
    // A context that is not the memory one is the system's to take back.
    int ReleaseDC(HDC dc) override {
        if (dc != picture_.Dc()) return 0;
        RepaintThroughCell();
        return ReleaseAnswer();
    }
    void RepaintThroughCell() { picture_.RepaintThroughCell(this->m_hWnd); }

    const OffscreenPicture& Picture() const { return picture_; }

protected:
    virtual DWORD PrintFlags() const { return kPrintAll; }
    // What ReleaseDC answers: nonzero when the system's ReleaseDC is not called.
    virtual int ReleaseAnswer() const { return 0; }
    virtual bool DropsClientEdge() const { return true; }

    // A window that already has its size gets its surface now: a cell's placer moves it only when
    // its rectangle differs, so it might never see WM_SIZE.
    void PreSubclassWindow() override {
        CSkinnedWindow<Base>::PreSubclassWindow();
        if (DropsClientEdge()) this->ModifyStyleEx(kClientEdgeStyle, 0);
        picture_.Rebuild(this->m_hWnd);
    }

    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
        LRESULT answer = 0;
        switch (message) {
            case WM_SIZE:
                answer = this->Default();
                picture_.Rebuild(this->m_hWnd);
                break;
            case WM_DOCKING_PAINT:
                if (wParam != 0)
                    picture_.PaintInto(this->m_hWnd, PrintFlags(),
                                       *reinterpret_cast<const RenderContext*>(wParam));
                answer = 1;
                break;
            default:
                return CSkinnedWindow<Base>::OnWndMsg(message, wParam, lParam, result);
        }
        if (result != nullptr) *result = answer;
        return TRUE;
    }

    OffscreenPicture picture_;
};

class CDockingComboBox : public COffscreenControl<CComboBox> {
protected:
    int ReleaseAnswer() const override { return 1; }
    bool DropsClientEdge() const override { return false; }
};

class CDockingEdit : public COffscreenControl<CEdit>, public IDockingCaret {
public:
    void DrawCaret(HBITMAP bitmap, int x, int y, int width, int height) override;
    void EraseCaret() override;

protected:
    DWORD PrintFlags() const override { return kPrintNoOwned; }
};

class CDockingListCtrl : public COffscreenControl<CListCtrl> {
protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};

class CDockingDateTimeCtrl : public COffscreenControl<CDateTimeCtrl> {
protected:
    int ReleaseAnswer() const override { return 1; }
};

class CDockingIPAddressCtrl;

// One field of a skinned IP address control: it draws into a context of its own, and its caret
// and redraws go to the owning control's picture.
class CDockingIPAddressEdit : public CSkinnedWindow<CEdit>,
                              public CDockingDetoures,
                              public IDockingCaret {
public:
    explicit CDockingIPAddressEdit(CDockingIPAddressCtrl* owner);
    ~CDockingIPAddressEdit() override;
    CDockingIPAddressEdit(const CDockingIPAddressEdit&) = delete;
    CDockingIPAddressEdit& operator=(const CDockingIPAddressEdit&) = delete;

    HDC GetDC() override { return memory_; }
    HDC GetDCEx(HRGN, DWORD) override { return memory_; }
    int ReleaseDC(HDC dc) override;
    // Moved into the owner's frame by the field's offset in it.
    void DrawCaret(HBITMAP bitmap, int x, int y, int width, int height) override;
    void EraseCaret() override;

private:
    HDC memory_;
    CDockingIPAddressCtrl* owner_;
};

class CDockingIPAddressCtrl : public COffscreenControl<CIPAddressCtrl> {
public:
    ~CDockingIPAddressCtrl() override;
    // The caret of a field, in the control's own picture (client coordinates of the control).
    virtual void DrawCaret(HBITMAP bitmap, int x, int y, int width, int height);
    virtual void EraseCaret();

    const std::vector<std::unique_ptr<CDockingIPAddressEdit>>& Fields() const { return fields_; }

protected:
    void PreSubclassWindow() override;

private:
    std::vector<std::unique_ptr<CDockingIPAddressEdit>> fields_;
};

}  // namespace System::Docking::Skin
