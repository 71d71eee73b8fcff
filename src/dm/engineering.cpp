#include "dm/engineering.h"

void CEngineeringMode::QueryItem0(EngineeringRecord* record, int* status) {
    if (record != nullptr) record->fill(0);
    const EngineeringRecord r =
        RunOperation<CDMCmdEngineering<0, 11>>(m_dispatcher, kTimeoutMs, true, status)->Reply();
    if (record != nullptr) *record = r;
}
