#include "dm/device_info.h"

#include <algorithm>
#include <cstring>

#include "dm/text_fields.h"
#include "support/auto_lock.h"

// ---- Reports ----

CModuleChange::CModuleChange(TReportSinkSlot<ICommonReportSink>& slot, std::uint32_t value)
    : TReportNotify(
          slot, [](ICommonReportSink& s, const std::uint32_t& v) { s.OnModuleChange(v); }, value) {}

CFlashNotify::CFlashNotify(TReportSinkSlot<ICommonReportSink>& slot, std::string text,
                           std::uint32_t value)
    : TReportNotify(
          slot,
          [](ICommonReportSink& s, const std::string& t, const std::uint32_t& v) {
              s.OnFlashReport(t, v);
          },
          std::move(text), value) {}

CPlusCodeNotSupportedNotify::CPlusCodeNotSupportedNotify(TReportSinkSlot<ICommonReportSink>& slot)
    : TReportNotify(slot, [](ICommonReportSink& s) { s.OnPlusCodeNotSupported(); }) {}

const ReportTableEntry* CCommonPaser::GetReportTable() const {
    static const ReportTableEntry table[] = {
        {kReportModuleChange, ReportFactory<&CCommonPaser::BuildModuleChange>()},
        {kReportFlash, ReportFactory<&CCommonPaser::BuildFlash>()},
        {kReportPlusCodeNotSupported, ReportFactory<&CCommonPaser::BuildPlusCodeNotSupported>()},
        {0, nullptr},
    };
    return table;
}

std::unique_ptr<CActiveDMCmd> CCommonPaser::BuildModuleChange(DMPacket& reader) {
    std::uint8_t value = 0;
    reader.ReadU8(value);
    return std::make_unique<CModuleChange>(m_sink, value);
}

std::unique_ptr<CActiveDMCmd> CCommonPaser::BuildFlash(DMPacket& reader) {
    std::string text = ReadTextField(reader, 64, false);
    std::uint8_t value = 0;
    reader.ReadU8(value);
    return std::make_unique<CFlashNotify>(m_sink, std::move(text), value);
}

std::unique_ptr<CActiveDMCmd> CCommonPaser::BuildPlusCodeNotSupported(DMPacket&) {
    return std::make_unique<CPlusCodeNotSupportedNotify>(m_sink);
}

// ---- Reply readers ----

std::string ReadFixedText(DMPacket& reader, std::uint32_t width) {
    std::vector<char> bytes(width);
    reader.ReadBytes(bytes.data(), width);
    const auto end = std::find(bytes.begin(), bytes.end(), '\0');
    return std::string(bytes.begin(), end);
}

namespace {

std::uint8_t ReadByte(DMPacket& r) {
    std::uint8_t b = 0;
    r.ReadU8(b);
    return b;
}

// A little-endian number of `width` bytes copied as they are.
std::uint32_t ReadRaw(DMPacket& r, std::uint32_t width) {
    std::uint8_t bytes[4] = {};
    r.ReadBytes(bytes, width);
    std::uint32_t v = 0;
    for (std::uint32_t i = 0; i < width; ++i) v |= static_cast<std::uint32_t>(bytes[i]) << (8 * i);
    return v;
}

}  // namespace

bool DMCmdParam_QueryDormant::Read(DMPacket& r) {
    return ReadByte(r) != 0;
}

DMTime DMCmdParam_QueryTime::Read(DMPacket& r) {
    std::uint16_t year = 0;
    r.ReadU16(year);
    std::uint8_t f[5] = {};
    r.ReadBytes(f, 5);
    const DMTime t{year, f[0], f[1], f[2], f[3], f[4]};
    const bool valid = t.year >= 2006 && t.year <= 2999 && t.month >= 1 && t.month <= 12 &&
                       t.day >= 1 && t.day <= 31 && t.hour < 24 && t.minute < 60 && t.second < 60;
    return valid ? t : Initial();
}

std::string DMCmdParam_GetVersionEx::Read(DMPacket& r) {
    std::string x = ReadFixedText(r, 32);
    std::string y = ReadFixedText(r, 11);
    std::string z = ReadFixedText(r, 8);
    return x.empty() ? x : x + " " + y + " " + z;
}

std::string DMCmdParam_GetHWVersion::Read(DMPacket& r) {
    const std::uint32_t a = ReadRaw(r, 2);
    const std::uint32_t b = ReadRaw(r, 2);
    return std::to_string(a) + "," + std::to_string(b);
}

std::uint32_t DMCmdParam_ReadESNEx::Read(DMPacket& r) {
    return ReadRaw(r, 4);
}

std::uint32_t DMCmdParam_ReadBaud::Read(DMPacket& r) {
    std::uint32_t v = 0;
    r.ReadU32(v);
    return v;
}

DMServiceState DMCmdParam_QueryService::Read(DMPacket& r) {
    std::uint8_t b[4] = {};
    r.ReadBytes(b, 4);
    return {b[0] != 0, b[1], b[2] != 0, b[3] != 0};
}

std::uint8_t DMCmdParam_ReadMode::Read(DMPacket& r) {
    return ReadByte(r);
}

DMCmdParam_ReadIMSI::Value DMCmdParam_ReadIMSI::Read(DMPacket& r) {
    Value v{};
    r.ReadBytes(v.data(), static_cast<std::uint32_t>(v.size()));
    return v;
}

std::vector<std::uint8_t> DMCmdParam_ReadMINRange::Read(DMPacket& r) {
    std::uint8_t ignored = 0;
    std::uint16_t count = 0;
    r.ReadU8(ignored).ReadU16(count);
    const std::uint32_t bytes = static_cast<std::uint32_t>(count) * kMINEntrySize;
    r.Require(bytes);  // before allocating: a count the reply cannot hold is a short reply
    std::vector<std::uint8_t> entries(bytes, 0);
    r.ReadBytes(entries.data(), bytes);
    return entries;
}

PPPCredentials DMCmdParam_ReadPPPInfo::Read(DMPacket& r) {
    PPPCredentials c;
    c.user = ReadTextField(r, 127, false);
    c.password = ReadTextField(r, 127, false);
    return c;
}

bool DMCmdParam_CheckMCCMNC::Read(DMPacket& r) {
    return ReadByte(r) == 1;
}

std::uint16_t DMCmdParam_GetHardwareVersion::Read(DMPacket& r) {
    std::uint16_t v = 0;
    r.ReadU16(v);
    return v;
}

SchematicsVersion DMCmdParam_GetHardwareSchematicsVersion::Read(DMPacket& r) {
    SchematicsVersion v;
    r.Require(1 + 32);
    r.ReadU8(v.length).ReadBytes(v.text.data(), 32);
    return v;
}

std::uint8_t DMCmdParam_InitRUIM::Read(DMPacket& r) {
    return ReadByte(r);
}

std::uint8_t DMCmdParam_QueryEVDOVersion::Read(DMPacket& r) {
    return ReadByte(r);
}

void CDMCmdWritePPPInfo::WriteParams(DMPacket& packet) {
    WriteTextField(packet, m_user, 127, TextCoding::Bytes);
    WriteTextField(packet, m_password, 127, TextCoding::Bytes);
}

void CDMCmdQueryVersion::HandleResponse(DMPacket& reader, CLog&) {
    if (IsCompleted()) return;
    reader.Require(54);
    std::uint8_t skipped[19];
    reader.ReadBytes(skipped, 19);
    const std::string c = ReadFixedText(reader, 11);
    const std::string d = ReadFixedText(reader, 8);
    const std::string e = ReadFixedText(reader, 8);
    reader.ReadBytes(skipped, 8);
    std::string text = e + " " + c + " " + d;
    CommitAndComplete(kCmdSucceeded, [this, &text] { m_text = std::move(text); });
}

std::string CDMCmdQueryVersion::Reply() const {
    return WithFieldsLocked([this] { return m_text; });
}

// ---- The service ----

namespace {

constexpr bool kExtra = true;
constexpr bool kNoExtra = false;

// A process-wide text filled once under a lock; the stored text never changes afterwards.
struct TextCache {
    TextCache() { InitializeCriticalSection(&lock); }
    CRITICAL_SECTION lock;
    std::string text;
    std::atomic<bool> filled{false};
};

TextCache& VersionCache() {
    static TextCache cache;
    return cache;
}

TextCache& HWVersionCache() {
    static TextCache cache;
    return cache;
}

// Returns the cached text, or runs fill (under the cache lock) to get it. A fill that yields an
// empty text stores nothing; the next call tries again.
template <class F>
const char* CachedText(TextCache& cache, int* status, F&& fill) {
    if (!cache.filled.load(std::memory_order_acquire)) {
        CAutoLock guard(cache.lock);
        if (!cache.filled.load(std::memory_order_relaxed)) {
            std::string text = fill();
            if (text.empty()) return "";
            cache.text = std::move(text);
            cache.filled.store(true, std::memory_order_release);
            return cache.text.c_str();
        }
    }
    if (status != nullptr) *status = kStatusSuccess;
    return cache.text.c_str();
}

int ByteToTriState(std::uint8_t b) {
    return b <= 1 ? b : 2;
}

}  // namespace

CDMCommon::CDMCommon(DMDispatcher& dispatcher)
    : m_dispatcher(dispatcher), m_parser(std::make_unique<CCommonPaser>()) {
    m_dispatcher.AddReportParser(m_parser.get());
}

CDMCommon::~CDMCommon() {
    RemoveReportParser(m_dispatcher, m_parser.get());
}

bool CDMCommon::QueryDormant(int* status) {
    return RunOperation<CDMCmdQueryDormant>(m_dispatcher, 500, kExtra, status)->Reply();
}

DMTime CDMCommon::QueryTime(int* status) {
    auto op = RunOperation<CDMCmdQueryTime>(m_dispatcher, 500, kExtra, status);
    if (op.Succeeded()) return op->Reply();
    SYSTEMTIME now{};
    GetLocalTime(&now);
    if (status != nullptr) *status = kStatusSuccess;
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

int CDMCommon::QuerySignal(int* status) {
    auto op = RunOperation<CDMCmdQuerySignal>(m_dispatcher, 500, kNoExtra, status);
    if (!op.Succeeded()) return 0;
    const std::uint8_t r1 = op->Reply().r[1];
    return r1 == 255 ? 0 : std::min(r1 + 1, 6);
}

int CDMCommon::QueryCDMA(int* status) {
    auto op = RunOperation<CDMCmdQueryCDMA>(m_dispatcher, 500, kExtra, status);
    switch (op->Reply().s[1]) {
        case 2:
            return 1;
        case 4:
            return 0;
        case 13:
            return 2;
        default:
            return 3;
    }
}

const char* CDMCommon::GetVersion(int* status) {
    return CachedText(VersionCache(), status, [&] {
        std::string text =
            RunOperation<CDMCmdQueryVersionEx>(m_dispatcher, 1000, kExtra, status)->Reply();
        if (text.empty())
            text = RunOperation<CDMCmdQueryVersion>(m_dispatcher, 1000, kExtra, status)->Reply();
        return text;
    });
}

const char* CDMCommon::GetHWVersion(int* status) {
    return CachedText(HWVersionCache(), status, [&] {
        return RunOperation<CDMCmdQueryHWVersion>(m_dispatcher, 1000, kExtra, status)->Reply();
    });
}

bool CDMCommon::QueryRoaming(int* status) {
    return RunOperation<CDMCmdQueryRoaming>(m_dispatcher, 500, kNoExtra, status)->Reply().r[0] != 0;
}

void CDMCommon::ReadESN(std::uint32_t* esn, int* status) {
    const std::uint32_t v =
        RunOperation<CDMCmdReadESNEx>(m_dispatcher, 500, kExtra, status)->Reply();
    if (esn != nullptr) *esn = v;
}

std::uint32_t CDMCommon::ReadBaud(int* status) {
    return RunOperation<CDMCmdReadBaud>(m_dispatcher, 500, kExtra, status)->Reply();
}

void CDMCommon::SetBaud(std::uint32_t baud, int* status) {
    RunOperation<CDMCmdSetBaud>(m_dispatcher, 500, kExtra, status, baud);
}

bool CDMCommon::NotSupported1(std::uint32_t, int* status) {
    if (status != nullptr) *status = kStatusNotSupported;
    return false;
}

void CDMCommon::NotSupported2(std::uint32_t, std::uint32_t, int* status) {
    if (status != nullptr) *status = kStatusNotSupported;
}

void CDMCommon::SetPower(bool on, int* status) {
    if (on)
        RunOperation<CSimpleDMCmd<DMCmdParam_PowerOn>>(m_dispatcher, 500, kExtra, status);
    else
        RunOperation<CSimpleDMCmd<DMCmdParam_PowerOff>>(m_dispatcher, 500, kExtra, status);
}

void CDMCommon::QueryService(DMServiceState* state, int* status) {
    auto op = RunOperation<CDMCmdQueryService>(m_dispatcher, 10000, kExtra, status);
    if (op.Succeeded() && state != nullptr) *state = op->Reply();
}

int CDMCommon::ReadMode(int* status) {
    return ByteToTriState(
        RunOperation<CDMCmdReadMode>(m_dispatcher, 1000, kNoExtra, status)->Reply());
}

void CDMCommon::SetMode(int mode, int* status) {
    const std::uint8_t byte = mode == 0 ? 0 : mode == 1 ? 1 : 2;
    RunOperation<CDMCmdSetMode>(m_dispatcher, 1500, kExtra, status, byte);
}

void CDMCommon::ReadIMSI(std::uint8_t* imsi, int* status) {
    const auto v = RunOperation<CDMCmdReadIMSI>(m_dispatcher, 1500, kExtra, status)->Reply();
    if (imsi != nullptr) std::memcpy(imsi, v.data(), v.size());
}

std::uint32_t CDMCommon::ReadMINRange(std::uint32_t maxEntries, std::uint8_t* entries,
                                      int* status) {
    const std::vector<std::uint8_t> v =
        RunOperation<CDMCmdReadMINRange>(m_dispatcher, 2000, kExtra, status)->Reply();
    const std::uint32_t n =
        entries == nullptr
            ? 0
            : std::min(static_cast<std::uint32_t>(v.size() / kMINEntrySize), maxEntries);
    if (n != 0) std::memcpy(entries, v.data(), static_cast<std::size_t>(n) * kMINEntrySize);
    return n;
}

void CDMCommon::ReadPPPInfo(char* user, char* password, int* status) {
    const PPPCredentials c =
        RunOperation<CDMCmdReadPPPInfo>(m_dispatcher, 2000, kExtra, status)->Reply();
    for (auto [out, text] : {std::pair{user, &c.user}, std::pair{password, &c.password}}) {
        if (out == nullptr) continue;
        const std::size_t n = std::min<std::size_t>(text->size(), 127);
        std::memcpy(out, text->data(), n);
        out[n] = '\0';
    }
}

void CDMCommon::WritePPPInfo(const char* user, const char* password, int* status) {
    RunOperation<CDMCmdWritePPPInfo>(m_dispatcher, 2000, kExtra, status, NarrowArg(user),
                                     NarrowArg(password));
}

bool CDMCommon::CheckMCCMNC(int* status) {
    return RunOperation<CDMCmdCheckMCCMNC>(m_dispatcher, 2000, kExtra, status)->Reply();
}

std::uint16_t CDMCommon::GetHardwareVersion(int* status) {
    return RunOperation<CDMCmdGetHardwareVersion>(m_dispatcher, 2000, kExtra, status)->Reply();
}

void CDMCommon::GetHardwareSchematicsVersion(char* text, int* status) {
    const SchematicsVersion v =
        RunOperation<CDMCmdGetHardwareSchematicsVersion>(m_dispatcher, 2000, kExtra, status)
            ->Reply();
    if (text == nullptr) return;
    const std::size_t n = std::min<std::size_t>(v.length, 32);
    std::memcpy(text, v.text.data(), n);
    text[n] = '\0';
}

bool CDMCommon::InitRUIM(int* status) {
    return RunOperation<CDMCmdInitRUIM>(m_dispatcher, 2000, kExtra, status)->Reply() != 0;
}

int CDMCommon::QueryEVDOVersion(int* status) {
    return ByteToTriState(
        RunOperation<CDMCmdQueryEVDOVersion>(m_dispatcher, 2000, kExtra, status)->Reply());
}

void CDMCommon::SetReportSink(ICommonReportSink* sink) {
    m_parser->Sink().Set(sink);
}
