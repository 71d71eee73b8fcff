// The R-UIM and PIN service: the R-UIM's state, PIN and PUK entry, the PIN check, PIN change,
// the PIN and PUK counts, the R-UIM type, how often an R-UIM was inserted, its service codes.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "dm/device_info.h"
#include "dm/service_call.h"

struct RUIMState {
    bool flag = false;
    int state = 0;  // 0, 1, or 2 for any other byte
};

struct DMCmdParam_QueryRUIM : DMDeviceCmd<16> {
    using Value = RUIMState;
    static Value Initial() { return {}; }
    static Value Read(DMPacket& r);
};
// A one-byte reply widened to Value by Map.
template <std::uint16_t Sub, class V, V (*Map)(std::uint8_t)>
struct DMByteReply : DMDeviceCmd<Sub> {
    using Value = V;
    static Value Initial() { return V{}; }
    static Value Read(DMPacket& r) {
        std::uint8_t b = 0;
        r.ReadU8(b);
        return Map(b);
    }
};
inline bool NonZero(std::uint8_t b) {
    return b != 0;
}
inline std::uint8_t AsIs(std::uint8_t b) {
    return b;
}
inline int ZeroOrOne(std::uint8_t b) {
    return b != 0 ? 1 : 0;
}
struct DMCmdParam_ReadPin : DMByteReply<7, bool, NonZero> {};
struct DMCmdParam_GetPinCount : DMByteReply<20, std::uint8_t, AsIs> {};
struct DMCmdParam_GetPUKCount : DMByteReply<24, std::uint8_t, AsIs> {};
struct DMCmdParam_ReadUIMInsertedTimes : DMByteReply<28, std::uint8_t, AsIs> {};
struct DMCmdParam_RuimType : DMByteReply<29, int, ZeroOrOne> {};
struct DMCmdParam_QueryServiceCodes : DMDeviceCmd<38> {
    using Value = std::array<std::uint16_t, 10>;
    static Value Initial() { return {}; }
    static Value Read(DMPacket& r);
};
struct DMCmdParam_InputPin : DMDeviceCmd<6> {};
struct DMCmdParam_EnablePin : DMDeviceCmd<18> {};
struct DMCmdParam_ChangePin : DMDeviceCmd<19> {};
struct DMCmdParam_InputPUK : DMDeviceCmd<23> {};

class CDMCmdReadRUIM : public CDMValueCmd<DMCmdParam_QueryRUIM> {};
class CDMCmdReadPin : public CDMValueCmd<DMCmdParam_ReadPin> {};
class CDMCmdPinCount : public CDMValueCmd<DMCmdParam_GetPinCount> {};
class CDMCmdPUKCount : public CDMValueCmd<DMCmdParam_GetPUKCount> {};
class CDMCmdUIMInsertedTimes : public CDMValueCmd<DMCmdParam_ReadUIMInsertedTimes> {};
class CDMCmdRuimType : public CDMValueCmd<DMCmdParam_RuimType> {};
class CDMCmdQueryServiceCodes : public CDMValueCmd<DMCmdParam_QueryServiceCodes> {};

// PIN texts go out as fields of 8 bytes: with a length byte (9 bytes each) for PINs, without for
// the PUK request (16 bytes in all).
inline constexpr std::uint32_t kPinFieldWidth = 8;

class CDMCmdInputPin : public CDMTextCmd<DMCmdParam_InputPin, kPinFieldWidth> {
public:
    using CDMTextCmd::CDMTextCmd;
};

class CDMCmdEnablePin : public CSimpleDMCmd<DMCmdParam_EnablePin> {
public:
    CDMCmdEnablePin(std::string pin, std::uint8_t enable)
        : m_pin(std::move(pin)), m_enable(enable) {}

protected:
    void WriteParams(DMPacket& packet) override;

private:
    std::string m_pin;
    std::uint8_t m_enable;
};

class CDMCmdModifyPin : public CSimpleDMCmd<DMCmdParam_ChangePin> {
public:
    CDMCmdModifyPin(std::string first, std::string second)
        : m_first(std::move(first)), m_second(std::move(second)) {}

protected:
    void WriteParams(DMPacket& packet) override;

private:
    std::string m_first;
    std::string m_second;
};

class CDMCmdInputPUK : public CSimpleDMCmd<DMCmdParam_InputPUK> {
public:
    CDMCmdInputPUK(std::string puk, std::string pin)
        : m_puk(std::move(puk)), m_pin(std::move(pin)) {}

protected:
    void WriteParams(DMPacket& packet) override;

private:
    std::string m_puk;
    std::string m_pin;
};

class IRUIM {
public:
    virtual int QueryRUIMState(int* status) = 0;
    virtual bool QueryRUIMFlag(int* status) = 0;
    virtual bool ReadPin(int* status) = 0;
    virtual void InputPin(const char* pin, int* status) = 0;
    virtual int GetPinCount(int* status) = 0;
    virtual int GetPUKCount(int* status) = 0;
    virtual void EnablePin(const char* pin, int enable, int* status) = 0;
    virtual void ModifyPin(const char* first, const char* second, int* status) = 0;
    virtual void InputPUK(const char* puk, const char* pin, int* status) = 0;
    virtual std::uint8_t ReadUIMInsertedTimes(int* status) = 0;
    virtual int GetRuimType(int* status) = 0;
    virtual void QueryServiceCodes(std::uint16_t* codes, int* status) = 0;

protected:
    ~IRUIM() = default;
};

class CRUIM final : public IRUIM {
public:
    explicit CRUIM(DMDispatcher& dispatcher) : m_dispatcher(dispatcher) {}

    int QueryRUIMState(int* status) override;
    bool QueryRUIMFlag(int* status) override;
    bool ReadPin(int* status) override;
    void InputPin(const char* pin, int* status) override;
    int GetPinCount(int* status) override;
    int GetPUKCount(int* status) override;
    // Enable values 0..255 go out as they are, any other non-zero value as 1.
    void EnablePin(const char* pin, int enable, int* status) override;
    void ModifyPin(const char* first, const char* second, int* status) override;
    void InputPUK(const char* puk, const char* pin, int* status) override;
    std::uint8_t ReadUIMInsertedTimes(int* status) override;
    int GetRuimType(int* status) override;
    // Ten values, written only on success.
    void QueryServiceCodes(std::uint16_t* codes, int* status) override;

private:
    template <class C, class... A>
    DMOperation<C> Run(DWORD timeoutMs, int* status, A&&... args) {
        return RunOperation<C>(m_dispatcher, timeoutMs, true, status, std::forward<A>(args)...);
    }
    DMDispatcher& m_dispatcher;
};
