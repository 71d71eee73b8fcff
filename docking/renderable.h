// The interface of everything that the framework renders and finds by id or window (dockings
// and their cells). Only its identity is used so far: the registries store it and callers cast
// what they find to the concrete type.
#pragma once

namespace System::Docking {

class IRenderable {
public:
    virtual ~IRenderable() = default;
};

}  // namespace System::Docking
