// A docking's off-screen surface. So far it keeps the render generation: every render takes the
// counter's new value when it starts, and a render whose generation has fallen behind the counter
// stops at its next checkpoint (CheckRenderGeneration). The picture itself, its size and the
// render lock arrive with rendering.
#pragma once

#include <atomic>

#include "platform/kernel.h"

namespace System::Docking {

class CDockingPainter {
public:
    CDockingPainter();
    ~CDockingPainter();
    CDockingPainter(const CDockingPainter&) = delete;
    CDockingPainter& operator=(const CDockingPainter&) = delete;

    // Advances the generation under the generation lock and returns the new value. Renders of an
    // older generation stop at their next checkpoint.
    int AdvanceGeneration();
    // The current generation (any thread, without the lock).
    int Generation() const { return generation_.load(); }
    // What a render context points at.
    const std::atomic<int>* GenerationCounter() const { return &generation_; }

private:
    // Written only under generationLock_; read by render threads without it.
    std::atomic<int> generation_{0};
    CRITICAL_SECTION generationLock_;
};

}  // namespace System::Docking
