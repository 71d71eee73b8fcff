// The registries through which the framework's parts find each other without holding pointers:
// the id registry (which renderables carry which id, so that the application and the layouts can
// address cells by name) and the window registry (which renderable hosts or draws a window).
// Process-wide; each is guarded by its own re-entrant lock, held for the whole of one operation;
// no operation holds both. Neither owns what it holds.
#pragma once

#include <string>

#include "docking/renderable.h"
#include <windows.h>

namespace System::Docking {

// Adds the pair unless the registry already holds it. Among equal ids the first added comes first.
void AddRenderableId(const std::wstring& id, IRenderable* renderable);
// Removes the first entry with that id and that renderable, if any.
void RemoveRenderableId(const std::wstring& id, IRenderable* renderable);
// The first entry with that id, or null.
IRenderable* FindRenderableById(const std::wstring& id);
bool HasRenderableId(const std::wstring& id, IRenderable* renderable);

// Sets the window's entry, replacing an earlier one. A null window is not registered.
void SetRenderableWindow(HWND window, IRenderable* renderable);
// Removes the window's entry only if it holds that renderable.
void RemoveRenderableWindow(HWND window, IRenderable* renderable);
// The window's renderable, or null.
IRenderable* FindRenderableByWindow(HWND window);

}  // namespace System::Docking
