// The framework's dialog: a CWnd bound to a dialog window made from the module's template.
//
// DoModal makes the dialog as a modeless window with its owner disabled, shows it once the
// messages its initialisation posted are handled, and runs a modal loop that takes every message
// through the application's PreTranslateMessage chain (AfxPreTranslateMessage; the dialog's own
// PreTranslateMessage hands keyboard and mouse messages to the dialog manager) until EndDialog;
// then it hides the dialog, enables the owner again, destroys the window and returns EndDialog's
// result. WM_QUIT ends the loop too (it is posted again for the loop outside; the result is then
// -1, as when the dialog cannot be made).
//
// Create makes a modeless dialog; a template with WS_CHILD makes a child of the parent given.
#pragma once

#include "platform/mfc_wnd.h"

class CDialog : public CWnd {
public:
    using CWnd::Create;  // the window-class form stays callable
    CDialog() = default;
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);

    virtual INT_PTR DoModal();
    // FALSE when the template does not exist or the window cannot be made.
    virtual BOOL Create(UINT templateId, CWnd* parent = nullptr);
    // Ends the modal loop with the result (the loop returns when the message being handled is
    // done); for a modeless dialog, the dialog manager's EndDialog.
    void EndDialog(int result);

    // WM_INITDIALOG; the base returns TRUE (the dialog manager then focuses the first control).
    virtual BOOL OnInitDialog();
    // The IDOK and IDCANCEL commands: the base ends the dialog with that id.
    virtual void OnOK();
    virtual void OnCancel();

    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

protected:
    UINT m_nIDTemplate = 0;
    CWnd* m_pParentWnd = nullptr;
    INT_PTR m_nModalResult = -1;

private:
    // Makes the dialog window from the template with the object bound; FALSE when it cannot.
    BOOL MakeWindow(HWND parent);
    // The window that owns a modal run: the parent given, else the main window (not this one),
    // as the top-level window it sits in.
    HWND ModalOwner() const;
    void RunModalLoop();
    bool m_continueModal = false;
};

// The dialog procedure of the framework's dialogs: the framework's window procedure has handled
// every message before, so it leaves each to the dialog manager's default handling.
INT_PTR AfxDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
