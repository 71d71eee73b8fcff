#include "dm/ruim.h"

#include <algorithm>

#include "dm/text_fields.h"

RUIMState DMCmdParam_QueryRUIM::Read(DMPacket& r) {
    std::uint8_t flag = 0;
    std::uint8_t state = 0;
    r.ReadU8(flag).ReadU8(state);
    return {flag != 0, state <= 1 ? state : 2};
}

DMCmdParam_QueryServiceCodes::Value DMCmdParam_QueryServiceCodes::Read(DMPacket& r) {
    Value v{};
    r.Require(static_cast<std::uint32_t>(2 * v.size()));
    for (std::uint16_t& code : v) r.ReadU16(code);
    return v;
}

void CDMCmdEnablePin::WriteParams(DMPacket& packet) {
    packet.WriteU8(m_enable);
    WriteTextField(packet, m_pin, kPinFieldWidth);
}

void CDMCmdModifyPin::WriteParams(DMPacket& packet) {
    WriteTextField(packet, m_first, kPinFieldWidth);
    WriteTextField(packet, m_second, kPinFieldWidth);
}

void CDMCmdInputPUK::WriteParams(DMPacket& packet) {
    WriteTextBytes(packet, m_puk, kPinFieldWidth);
    WriteTextBytes(packet, m_pin, kPinFieldWidth);
}

int CRUIM::QueryRUIMState(int* status) {
    return Run<CDMCmdReadRUIM>(5000, status)->Reply().state;
}

bool CRUIM::QueryRUIMFlag(int* status) {
    return Run<CDMCmdReadRUIM>(5000, status)->Reply().flag;
}

bool CRUIM::ReadPin(int* status) {
    return Run<CDMCmdReadPin>(5000, status)->Reply();
}

void CRUIM::InputPin(const char* pin, int* status) {
    Run<CDMCmdInputPin>(500, status, NarrowArg(pin));
}

int CRUIM::GetPinCount(int* status) {
    return Run<CDMCmdPinCount>(5000, status)->Reply();
}

int CRUIM::GetPUKCount(int* status) {
    return Run<CDMCmdPUKCount>(5000, status)->Reply();
}

void CRUIM::EnablePin(const char* pin, int enable, int* status) {
    const std::uint8_t byte =
        enable >= 0 && enable <= 255 ? static_cast<std::uint8_t>(enable) : std::uint8_t{1};
    Run<CDMCmdEnablePin>(5000, status, NarrowArg(pin), byte);
}

void CRUIM::ModifyPin(const char* first, const char* second, int* status) {
    Run<CDMCmdModifyPin>(5000, status, NarrowArg(first), NarrowArg(second));
}

void CRUIM::InputPUK(const char* puk, const char* pin, int* status) {
    Run<CDMCmdInputPUK>(5000, status, NarrowArg(puk), NarrowArg(pin));
}

std::uint8_t CRUIM::ReadUIMInsertedTimes(int* status) {
    return Run<CDMCmdUIMInsertedTimes>(5000, status)->Reply();
}

int CRUIM::GetRuimType(int* status) {
    return Run<CDMCmdRuimType>(10000, status)->Reply();
}

void CRUIM::QueryServiceCodes(std::uint16_t* codes, int* status) {
    auto op = Run<CDMCmdQueryServiceCodes>(5000, status);
    if (!op.Succeeded() || codes == nullptr) return;
    const auto v = op->Reply();
    std::copy(v.begin(), v.end(), codes);
}
