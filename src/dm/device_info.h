// The device information service: the modem's identity and state (versions, ESN, IMSI, clock,
// signal, service, roaming, dormancy, mode, baud rate, MIN ranges, PPP credentials, R-UIM
// initialisation, EV-DO version), a few settings, and the common reports (module changes, flash
// reports, plus-code refusals) handed to the application's sink.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dm/command.h"
#include "dm/engine.h"
#include "dm/report_sink.h"
#include "dm/service_call.h"

// ---- Reports ----

// The application's receiver of the common reports; called on the engine's delivery thread.
class ICommonReportSink {
public:
    virtual void OnModuleChange(std::uint32_t value) = 0;
    virtual void OnFlashReport(const std::string& text, std::uint32_t value) = 0;
    virtual void OnPlusCodeNotSupported() = 0;

protected:
    ~ICommonReportSink() = default;
};

enum CommonReportId : std::uint32_t {
    kReportFlash = 1,
    kReportModuleChange = 2,
    kReportPlusCodeNotSupported = 19,
};

class CModuleChange : public TReportNotify<ICommonReportSink, std::uint32_t> {
public:
    CModuleChange(TReportSinkSlot<ICommonReportSink>& slot, std::uint32_t value);
};
class CFlashNotify : public TReportNotify<ICommonReportSink, std::string, std::uint32_t> {
public:
    CFlashNotify(TReportSinkSlot<ICommonReportSink>& slot, std::string text, std::uint32_t value);
};
class CPlusCodeNotSupportedNotify : public TReportNotify<ICommonReportSink> {
public:
    explicit CPlusCodeNotSupportedNotify(TReportSinkSlot<ICommonReportSink>& slot);
};

class CCommonPaser : public CActiveDMParser {
public:
    const ReportTableEntry* GetReportTable() const override;
    TReportSinkSlot<ICommonReportSink>& Sink() { return m_sink; }

    std::unique_ptr<CActiveDMCmd> BuildModuleChange(DMPacket& reader);
    std::unique_ptr<CActiveDMCmd> BuildFlash(DMPacket& reader);
    std::unique_ptr<CActiveDMCmd> BuildPlusCodeNotSupported(DMPacket& reader);

private:
    TReportSinkSlot<ICommonReportSink> m_sink;
};

// ---- Records ----

struct DMTime {
    std::int32_t year, month, day, hour, minute, second;
    bool operator==(const DMTime&) const = default;
};

struct DMServiceState {
    bool b0 = false;
    std::uint8_t b1 = 0;
    bool b2 = false;
    bool b3 = false;
    bool operator==(const DMServiceState&) const = default;
};
static_assert(sizeof(DMServiceState) == 4);

inline constexpr std::uint32_t kMINEntrySize = 16;

// ---- Commands ----

template <std::uint16_t Sub>
struct DMDeviceCmd {
    static constexpr std::uint8_t kCategory = kCategoryDevice;
    static constexpr std::uint16_t kSubCommand = Sub;
};

struct DMCmdParam_QueryDormant : DMDeviceCmd<8> {
    using Value = bool;
    static Value Initial() { return false; }
    static Value Read(DMPacket& r);
};
struct DMCmdParam_QueryTime : DMDeviceCmd<1> {
    using Value = DMTime;
    static Value Initial() { return {2000, 1, 1, 12, 1, 1}; }
    // A reply outside 2006..2999, 1..12, 1..31, <24, <60, <60 keeps the construction values.
    static Value Read(DMPacket& r);
};
struct DMCmdParam_GetVersionEx : DMDeviceCmd<25> {
    using Value = std::string;
    static Value Initial() { return {}; }
    static Value Read(DMPacket& r);
};
struct DMCmdParam_GetHWVersion : DMDeviceCmd<26> {
    using Value = std::string;
    static Value Initial() { return {}; }
    static Value Read(DMPacket& r);
};
struct DMCmdParam_ReadESNEx : DMDeviceCmd<26> {
    using Value = std::uint32_t;
    static Value Initial() { return 0; }
    static Value Read(DMPacket& r);
};
struct DMCmdParam_ReadBaud : DMDeviceCmd<2> {
    using Value = std::uint32_t;
    static Value Initial() { return 0; }
    static Value Read(DMPacket& r);
};
struct DMCmdParam_SetBaud : DMDeviceCmd<3> {};
struct DMCmdParam_PowerOn : DMDeviceCmd<12> {};
struct DMCmdParam_PowerOff : DMDeviceCmd<13> {};
struct DMCmdParam_QueryService : DMDeviceCmd<17> {
    using Value = DMServiceState;
    static Value Initial() { return {}; }
    static Value Read(DMPacket& r);
};
struct DMCmdParam_ReadMode : DMDeviceCmd<22> {
    using Value = std::uint8_t;
    static Value Initial() { return 2; }
    static Value Read(DMPacket& r);
};
struct DMCmdParam_SetMode : DMDeviceCmd<21> {};
struct DMCmdParam_ReadIMSI : DMDeviceCmd<27> {
    using Value = std::array<std::uint8_t, 8>;
    static Value Initial() { return {}; }
    static Value Read(DMPacket& r);
};
struct DMCmdParam_ReadMINRange : DMDeviceCmd<40> {
    // count x 16 bytes. A count that the bytes left cannot hold raises the packet's exception
    // before anything is allocated.
    using Value = std::vector<std::uint8_t>;
    static Value Initial() { return {}; }
    static Value Read(DMPacket& r);
};
struct PPPCredentials {
    std::string user;
    std::string password;
};
struct DMCmdParam_ReadPPPInfo : DMDeviceCmd<31> {
    using Value = PPPCredentials;
    static Value Initial() { return {}; }
    static Value Read(DMPacket& r);
};
struct DMCmdParam_WritePPPInfo : DMDeviceCmd<32> {};
struct DMCmdParam_CheckMCCMNC : DMDeviceCmd<33> {
    using Value = bool;
    static Value Initial() { return false; }
    static Value Read(DMPacket& r);
};
struct DMCmdParam_GetHardwareVersion : DMDeviceCmd<35> {
    using Value = std::uint16_t;
    static Value Initial() { return 0; }
    static Value Read(DMPacket& r);
};
struct SchematicsVersion {
    std::uint8_t length = 0;
    std::array<char, 32> text{};
};
struct DMCmdParam_GetHardwareSchematicsVersion : DMDeviceCmd<36> {
    using Value = SchematicsVersion;
    static Value Initial() { return {}; }
    static Value Read(DMPacket& r);
};
struct DMCmdParam_InitRUIM : DMDeviceCmd<37> {
    using Value = std::uint8_t;
    static Value Initial() { return 0; }
    static Value Read(DMPacket& r);
};
struct DMCmdParam_QueryEVDOVersion : DMDeviceCmd<44> {
    using Value = std::uint8_t;
    static Value Initial() { return 0; }
    static Value Read(DMPacket& r);
};

class CDMCmdQueryDormant : public CDMValueCmd<DMCmdParam_QueryDormant> {};
class CDMCmdQueryTime : public CDMValueCmd<DMCmdParam_QueryTime> {};
class CDMCmdQueryVersionEx : public CDMValueCmd<DMCmdParam_GetVersionEx> {};
class CDMCmdQueryHWVersion : public CDMValueCmd<DMCmdParam_GetHWVersion> {};
class CDMCmdReadESNEx : public CDMValueCmd<DMCmdParam_ReadESNEx> {};
class CDMCmdReadBaud : public CDMValueCmd<DMCmdParam_ReadBaud> {};
class CDMCmdQueryService : public CDMValueCmd<DMCmdParam_QueryService> {};
class CDMCmdReadMode : public CDMValueCmd<DMCmdParam_ReadMode> {};
class CDMCmdReadIMSI : public CDMValueCmd<DMCmdParam_ReadIMSI> {};
class CDMCmdReadMINRange : public CDMValueCmd<DMCmdParam_ReadMINRange> {};
class CDMCmdReadPPPInfo : public CDMValueCmd<DMCmdParam_ReadPPPInfo> {};
class CDMCmdCheckMCCMNC : public CDMValueCmd<DMCmdParam_CheckMCCMNC> {};
class CDMCmdGetHardwareVersion : public CDMValueCmd<DMCmdParam_GetHardwareVersion> {};
class CDMCmdGetHardwareSchematicsVersion
    : public CDMValueCmd<DMCmdParam_GetHardwareSchematicsVersion> {};
class CDMCmdInitRUIM : public CDMValueCmd<DMCmdParam_InitRUIM> {};
class CDMCmdQueryEVDOVersion : public CDMValueCmd<DMCmdParam_QueryEVDOVersion> {};

class CDMCmdSetBaud : public CDMParamCmd<DMCmdParam_SetBaud, std::uint32_t> {
public:
    using CDMParamCmd::CDMParamCmd;
};

class CDMCmdSetMode : public CDMParamCmd<DMCmdParam_SetMode> {
public:
    using CDMParamCmd::CDMParamCmd;
};

// User name and password, each a length byte and 127 bytes, cut at a character boundary.
class CDMCmdWritePPPInfo : public CSimpleDMCmd<DMCmdParam_WritePPPInfo> {
public:
    CDMCmdWritePPPInfo(std::string user, std::string password)
        : m_user(std::move(user)), m_password(std::move(password)) {}

protected:
    void WriteParams(DMPacket& packet) override;

private:
    std::string m_user;
    std::string m_password;
};

// The old version query: command code 0x00 and nothing else; its reply is 54 bytes with no
// header or status byte, of which three texts make the version.
class CDMCmdQueryVersion : public CDMCmd {
public:
    std::uint8_t GetCommandCode() const override { return 0x00; }
    void SerializeCommand(DMPacket&) override {}
    void HandleResponse(DMPacket& reader, CLog& log) override;
    std::string Reply() const;

private:
    std::string m_text;
};

// A text of at most width bytes, up to its first zero byte.
std::string ReadFixedText(DMPacket& reader, std::uint32_t width);

// ---- The service ----

class IDMCommon {
public:
    virtual bool QueryDormant(int* status) = 0;
    virtual DMTime QueryTime(int* status) = 0;
    virtual int QuerySignal(int* status) = 0;
    virtual int QueryCDMA(int* status) = 0;
    virtual const char* GetVersion(int* status) = 0;
    virtual const char* GetHWVersion(int* status) = 0;
    virtual bool QueryRoaming(int* status) = 0;
    virtual void ReadESN(std::uint32_t* esn, int* status) = 0;
    virtual std::uint32_t ReadBaud(int* status) = 0;
    virtual void SetBaud(std::uint32_t baud, int* status) = 0;
    virtual bool NotSupported1(std::uint32_t value, int* status) = 0;
    virtual void NotSupported2(std::uint32_t a, std::uint32_t b, int* status) = 0;
    virtual void SetPower(bool on, int* status) = 0;
    virtual void QueryService(DMServiceState* state, int* status) = 0;
    virtual int ReadMode(int* status) = 0;
    virtual void SetMode(int mode, int* status) = 0;
    virtual void ReadIMSI(std::uint8_t* imsi, int* status) = 0;
    virtual std::uint32_t ReadMINRange(std::uint32_t maxEntries, std::uint8_t* entries,
                                       int* status) = 0;
    virtual void ReadPPPInfo(char* user, char* password, int* status) = 0;
    virtual void WritePPPInfo(const char* user, const char* password, int* status) = 0;
    virtual bool CheckMCCMNC(int* status) = 0;
    virtual std::uint16_t GetHardwareVersion(int* status) = 0;
    virtual void GetHardwareSchematicsVersion(char* text, int* status) = 0;
    virtual bool InitRUIM(int* status) = 0;
    virtual int QueryEVDOVersion(int* status) = 0;
    virtual void SetReportSink(ICommonReportSink* sink) = 0;

protected:
    ~IDMCommon() = default;
};

class CDMCommon final : public IDMCommon {
public:
    // Lists its report parser with the dispatcher.
    explicit CDMCommon(DMDispatcher& dispatcher);
    ~CDMCommon();
    CDMCommon(const CDMCommon&) = delete;
    CDMCommon& operator=(const CDMCommon&) = delete;

    bool QueryDormant(int* status) override;
    // The device's clock; without a valid answer the computer's local time, status 0.
    DMTime QueryTime(int* status) override;
    int QuerySignal(int* status) override;
    int QueryCDMA(int* status) override;
    // The version texts are fetched once per process, under a lock, and never change once
    // stored; the pointers stay valid until the process exits. A cached answer has status 0.
    const char* GetVersion(int* status) override;
    const char* GetHWVersion(int* status) override;
    bool QueryRoaming(int* status) override;
    void ReadESN(std::uint32_t* esn, int* status) override;
    std::uint32_t ReadBaud(int* status) override;
    void SetBaud(std::uint32_t baud, int* status) override;
    bool NotSupported1(std::uint32_t value, int* status) override;
    void NotSupported2(std::uint32_t a, std::uint32_t b, int* status) override;
    void SetPower(bool on, int* status) override;
    void QueryService(DMServiceState* state, int* status) override;
    int ReadMode(int* status) override;
    void SetMode(int mode, int* status) override;
    void ReadIMSI(std::uint8_t* imsi, int* status) override;
    std::uint32_t ReadMINRange(std::uint32_t maxEntries, std::uint8_t* entries,
                               int* status) override;
    // Buffers of 128 bytes each.
    void ReadPPPInfo(char* user, char* password, int* status) override;
    void WritePPPInfo(const char* user, const char* password, int* status) override;
    bool CheckMCCMNC(int* status) override;
    std::uint16_t GetHardwareVersion(int* status) override;
    // A buffer of 33 bytes.
    void GetHardwareSchematicsVersion(char* text, int* status) override;
    bool InitRUIM(int* status) override;
    int QueryEVDOVersion(int* status) override;
    void SetReportSink(ICommonReportSink* sink) override;

    CCommonPaser& Parser() { return *m_parser; }

private:
    DMDispatcher& m_dispatcher;
    std::unique_ptr<CCommonPaser> m_parser;
};
