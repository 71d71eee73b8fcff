// The id registry: which renderables carry which id, so that the application and the layouts can
// address cells by name. Process-wide, guarded by its own re-entrant lock.
#pragma once

#include <string>

#include "docking/renderable.h"

namespace System::Docking {

// Adds the pair unless the registry already holds it. Among equal ids the first added comes first.
void AddRenderableId(const std::wstring& id, IRenderable* renderable);
// Removes the first entry with that id and that renderable, if any.
void RemoveRenderableId(const std::wstring& id, IRenderable* renderable);
// The first entry with that id, or null.
IRenderable* FindRenderableById(const std::wstring& id);
bool HasRenderableId(const std::wstring& id, IRenderable* renderable);

}  // namespace System::Docking
