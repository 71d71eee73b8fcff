#include "dm/ppp_info.h"

#include <cstring>

#include "dm/service_call.h"

void CPPPInfo::ReadPPPInfo(DMPPPInfo* record, int* status) {
    if (record == nullptr) {
        SetDMStatus(status, kStatusFailure);
        return;
    }
    char user[128] = {};
    char password[128] = {};
    int result = kStatusNoAnswer;
    m_common.ReadPPPInfo(user, password, &result);
    SetDMStatus(status, result);
    if (result != kStatusSuccess) return;
    record->state = (user[0] != '\0' || password[0] != '\0') ? 0 : 0xFF;
    record->value = 0;
    std::memcpy(record->user, user, sizeof user);
    std::memcpy(record->password, password, sizeof password);
}
