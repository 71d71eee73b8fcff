#include "dmlog/dmlog.h"

#include <mutex>
#include <set>

#include "machine/control/modules.h"

namespace dmlog {

namespace {

struct State {
    std::mutex mu;
    std::vector<Entry> journal;
    std::set<ILogService*> live;
    int released = 0;
};

State& S() {
    static State* state = new State();  // lives until the process ends
    return *state;
}

class LogService final : public ILogService {
public:
    void WriteWide(const wchar_t* text) override {
        Entry e{Call::WriteWide};
        e.wide = text != nullptr ? text : L"";
        Record(std::move(e));
    }
    void WriteNarrow(const char* text) override {
        Entry e{Call::WriteNarrow};
        e.text = text != nullptr ? text : "";
        Record(std::move(e));
    }
    void WriteHex(const void* data, DWORD size) override {
        Entry e{Call::WriteHex};
        if (data != nullptr) e.text.assign(static_cast<const char*>(data), size);
        Record(std::move(e));
    }
    void SetLevel(std::uint8_t level) override {
        Entry e{Call::SetLevel};
        e.value = level;
        std::lock_guard<std::mutex> lk(S().mu);
        m_level = level;
        e.level = level;
        S().journal.push_back(std::move(e));
    }
    std::uint8_t GetLevel() override {
        std::lock_guard<std::mutex> lk(S().mu);
        return m_level;
    }
    void SetEnabled(int enabled) override {
        Entry e{Call::SetEnabled};
        e.value = static_cast<std::uint32_t>(enabled);
        Record(std::move(e));
    }
    void SetOptions(DWORD options) override {
        Entry e{Call::SetOptions};
        e.value = options;
        Record(std::move(e));
    }
    ~LogService() = default;

private:
    void Record(Entry e) {
        std::lock_guard<std::mutex> lk(S().mu);
        e.level = m_level;
        S().journal.push_back(std::move(e));
    }
    std::uint8_t m_level = 0;
};

}  // namespace

ILogService* CreateLogService() {
    auto* service = new LogService();
    std::lock_guard<std::mutex> lk(S().mu);
    S().live.insert(service);
    return service;
}

void ReleaseLogService(ILogService* service) {
    {
        std::lock_guard<std::mutex> lk(S().mu);
        if (S().live.erase(service) == 0) return;
        ++S().released;
    }
    delete static_cast<LogService*>(service);
}

void Install(const std::wstring& folder, const std::vector<std::string>& missing) {
    control::ModuleExports exports{
        {"CreateLogService", reinterpret_cast<void*>(&CreateLogService)},
        {"ReleaseLogService", reinterpret_cast<void*>(&ReleaseLogService)},
    };
    for (const std::string& name : missing) exports.erase(name);
    control::InstallModule(folder, kFileName, exports);
}

void ResetJournal() {
    std::lock_guard<std::mutex> lk(S().mu);
    S().journal.clear();
}

std::vector<Entry> Journal() {
    std::lock_guard<std::mutex> lk(S().mu);
    return S().journal;
}

std::vector<std::string> NarrowLines() {
    std::vector<std::string> lines;
    for (const Entry& e : Journal())
        if (e.call == Call::WriteNarrow) lines.push_back(e.text);
    return lines;
}

int LiveServices() {
    std::lock_guard<std::mutex> lk(S().mu);
    return static_cast<int>(S().live.size());
}

int ReleasedServices() {
    std::lock_guard<std::mutex> lk(S().mu);
    return S().released;
}

}  // namespace dmlog
