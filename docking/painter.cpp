#include "docking/painter.h"

#include "support/auto_lock.h"

namespace System::Docking {

CDockingPainter::CDockingPainter() {
    InitializeCriticalSection(&generationLock_);
}

CDockingPainter::~CDockingPainter() {
    DeleteCriticalSection(&generationLock_);
}

int CDockingPainter::AdvanceGeneration() {
    CAutoLock hold(generationLock_);
    return ++generation_;
}

}  // namespace System::Docking
