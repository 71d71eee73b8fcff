// The window-docking map (which window has which docking bound) and skin switching.
//
// Used on the user-interface thread only; not locked.
#pragma once

#include <string>

#include <windows.h>

namespace System::Docking {

class CDocking;

// The window has an entry, bound or not.
bool HasWindowDocking(HWND window);
// The window has no entry, or an entry with no docking.
bool WindowNeedsDocking(HWND window);
// The window's entry (created unbound when there is none), through which a skinned window binds
// its docking. The reference lasts until the entry is forgotten.
CDocking*& WindowDocking(HWND window);

// Drops the window's entry: a skinned window calls it when it is destroyed (WM_NCDESTROY), so that
// nothing reaches for it afterwards.
void ForgetWindowDocking(HWND window);
// Drops every entry bound to the docking: its destructor calls it.
void ForgetDocking(const CDocking* docking);

// The skin used where the current one lacks a file ("default"), and the folder of the skins below
// the program folder ("skin").
const std::wstring& DefaultSkinName();
const std::wstring& SkinFolderName();

// The current skin's name; the default skin's from the first call on when none was set.
std::wstring GetCurrentSkin();
// A skin name is a folder name: not empty, none of '/', '\\', ':' and NUL, and no "..". A name
// from outside (another process) that fails this never becomes part of a path.
bool IsSkinFolderName(const std::wstring& name);

// Makes the skin current, whether or not its folder exists (a name that is no folder name makes
// the default skin current), and reloads every docking
// (ReloadAllDockings). The windows load themselves again after the caller returns.
void ApplySkin(const std::wstring& skin);
// Collects, in window handle order, every window whose bound docking is the root of its own tree;
// unbinds every window; then posts WM_DOCKING_RELOADSKIN (0, 0) to each window collected. Nested
// windows are bound again when their host asks for their docking.
void ReloadAllDockings();

}  // namespace System::Docking
