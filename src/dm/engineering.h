// The engineering mode service: thirteen read-only queries of the modem's engineering values,
// each answered by a value of 1, 2 or 4 bytes or by an 11-byte record, copied as received (a
// number's least significant byte first).
#pragma once

#include <array>
#include <cstdint>

#include "dm/service_call.h"

template <std::uint16_t Sub>
struct TEngneeringCmdParam {
    static constexpr std::uint8_t kCategory = kCategoryEngineering;
    static constexpr std::uint16_t kSubCommand = Sub;
};

template <std::uint16_t Sub, std::uint32_t Len>
class CDMCmdEngineering : public CSimpleDMCmd<TEngneeringCmdParam<Sub>> {
public:
    using Payload = std::array<std::uint8_t, Len>;
    Payload Reply() const {
        return this->WithFieldsLocked([this] { return m_payload; });
    }
    // The payload as a little-endian number.
    std::uint32_t Number() const {
        const Payload p = Reply();
        std::uint32_t v = 0;
        for (std::uint32_t i = 0; i < Len && i < 4; ++i) v |= std::uint32_t{p[i]} << (8 * i);
        return v;
    }

protected:
    CDMCmdWithStatus::ReplyCommit ParseReply(DMPacket& reader) override {
        Payload p{};
        reader.ReadBytes(p.data(), Len);
        return [this, p] { m_payload = p; };
    }

private:
    Payload m_payload{};
};

using EngineeringRecord = std::array<std::uint8_t, 11>;

class IEngineeringMode {
public:
    virtual std::uint16_t QueryItem1(int* status) = 0;
    virtual std::uint8_t QueryItem2(int* status) = 0;
    virtual std::uint16_t QueryItem3(int* status) = 0;
    virtual std::uint16_t QueryItem4(int* status) = 0;
    virtual std::uint16_t QueryItem5(int* status) = 0;
    virtual std::uint16_t QueryItem6(int* status) = 0;
    virtual std::uint16_t QueryItem7(int* status) = 0;
    virtual std::uint16_t QueryItem8(int* status) = 0;
    virtual std::uint8_t QueryItem9(int* status) = 0;
    virtual std::uint32_t QueryItem10(int* status) = 0;
    virtual std::uint32_t QueryItem11(int* status) = 0;
    virtual std::uint16_t QueryItem12(int* status) = 0;
    virtual void QueryItem0(EngineeringRecord* record, int* status) = 0;

protected:
    ~IEngineeringMode() = default;
};

class CEngineeringMode final : public IEngineeringMode {
public:
    explicit CEngineeringMode(DMDispatcher& dispatcher) : m_dispatcher(dispatcher) {}

    std::uint16_t QueryItem1(int* status) override { return Item<1, 2>(status); }
    std::uint8_t QueryItem2(int* status) override { return Item<2, 1>(status); }
    std::uint16_t QueryItem3(int* status) override { return Item<3, 2>(status); }
    std::uint16_t QueryItem4(int* status) override { return Item<4, 2>(status); }
    std::uint16_t QueryItem5(int* status) override { return Item<5, 2>(status); }
    std::uint16_t QueryItem6(int* status) override { return Item<6, 2>(status); }
    std::uint16_t QueryItem7(int* status) override { return Item<7, 2>(status); }
    std::uint16_t QueryItem8(int* status) override { return Item<8, 2>(status); }
    std::uint8_t QueryItem9(int* status) override { return Item<9, 1>(status); }
    std::uint32_t QueryItem10(int* status) override { return Item<10, 4>(status); }
    std::uint32_t QueryItem11(int* status) override { return Item<11, 4>(status); }
    std::uint16_t QueryItem12(int* status) override { return Item<12, 2>(status); }
    // Clears the record, then copies the reply (zeros when there was none).
    void QueryItem0(EngineeringRecord* record, int* status) override;

private:
    static constexpr DWORD kTimeoutMs = 4000;
    template <std::uint16_t Sub, std::uint32_t Len>
    std::uint32_t Item(int* status) {
        return RunOperation<CDMCmdEngineering<Sub, Len>>(m_dispatcher, kTimeoutMs, true, status)
            ->Number();
    }
    DMDispatcher& m_dispatcher;
};
