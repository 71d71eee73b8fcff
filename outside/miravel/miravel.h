// Miravel: the progress window library beside the programs. A window shows the current step's
// text, runs the caller's work routine and shows modal message boxes.
#pragma once

#include <wingdi.h>
#include <windef.h>

using PROGRESSDLG_WORKPROC = int (*)(void* context);

// A hidden progress window owned by `owner`; its handle, or null.
void* ProgressDlg_Create(void* owner);
void ProgressDlg_Destroy(void* handle);
// Shows the window, runs work(context) on a thread of its own and returns when the work has
// ended (the window is then hidden).
void ProgressDlg_Excute(void* handle, PROGRESSDLG_WORKPROC work, void* context);
// The font of the window's text (null: the window's own font).
void ProgressDlg_SetFont(void* handle, HFONT font);
void ProgressDlg_SetMessage(void* handle, const wchar_t* text);
// A modal box over the window; type takes the MessageBox type flags (one OK button).
void ProgressDlg_MessageBox(void* handle, const wchar_t* text, const wchar_t* caption, UINT type);
