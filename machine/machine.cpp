#include "machine/machine.h"

#include <atomic>
#include <clocale>
#include <cstdio>
#include <locale.h>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <unistd.h>

#include "machine/boxes.h"
#include "machine/devices.h"
#include "machine/files.h"
#include "machine/handles.h"
#include "machine/fonts.h"
#include "machine/screen.h"
#include "machine/shell.h"
#include "machine/menus.h"
#include "machine/threads.h"
#include "machine/trace.h"
#include "machine/processes.h"
#include "machine/remote.h"
#include "machine/ras.h"
#include "machine/registry.h"
#include "machine/serial.h"
#include "machine/services.h"
#include "machine/windows.h"

namespace sim {

void RegisterSystemModules(Machine& m);  // kernel.cpp

namespace {

std::mutex g_machineMu;
Machine* g_machine = nullptr;
// Replaced machines are kept: a thread left over from an earlier test may still hold one.
std::vector<Machine*>* g_retired = new std::vector<Machine*>();

void RemoveCurrentHostFolder() {
    std::lock_guard<std::mutex> lk(g_machineMu);
    if (g_machine) g_machine->RemoveHostFolder();
}

}  // namespace

std::wstring Lower(const std::wstring& s) {
    std::wstring r = s;
    for (auto& c : r)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return r;
}

std::wstring Upper(const std::wstring& s) {
    std::wstring r = s;
    for (auto& c : r)
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    return r;
}

std::string ToUtf8(const std::wstring& s) {
    std::string out;
    for (wchar_t wc : s) {
        auto c = static_cast<std::uint32_t>(wc);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::wstring FromUtf8(const std::string& s) {
    std::wstring out;
    for (std::size_t i = 0; i < s.size();) {
        auto b = static_cast<unsigned char>(s[i]);
        std::uint32_t c;
        int extra;
        if (b < 0x80) {
            c = b;
            extra = 0;
        } else if ((b & 0xE0) == 0xC0) {
            c = b & 0x1F;
            extra = 1;
        } else if ((b & 0xF0) == 0xE0) {
            c = b & 0x0F;
            extra = 2;
        } else if ((b & 0xF8) == 0xF0) {
            c = b & 0x07;
            extra = 3;
        } else {
            out += L'\uFFFD';
            ++i;
            continue;
        }
        bool ok = true;
        for (int k = 1; k <= extra; ++k) {
            if (i + k >= s.size() || (static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        }
        if (!ok) {
            out += L'\uFFFD';
            ++i;
            continue;
        }
        out += static_cast<wchar_t>(c);
        i += extra + 1;
    }
    return out;
}

Config Config::WindowsXP() {
    return Config();
}

Config Config::Windows2000() {
    Config c;
    c.major = 5;
    c.minor = 0;
    c.build = 2195;
    c.servicePack = L"Service Pack 4";
    return c;
}

Config Config::WindowsVista() {
    Config c;
    c.major = 6;
    c.minor = 0;
    c.build = 6002;
    c.servicePack = L"Service Pack 2";
    c.profileFolder = L"C:\\Users\\user";
    return c;
}

Config Config::Windows7() {
    Config c = WindowsVista();
    c.minor = 1;
    c.build = 7601;
    c.servicePack = L"Service Pack 1";
    return c;
}

Config Config::Windows98() {
    Config c;
    c.major = 4;
    c.minor = 10;
    c.build = 2222;
    c.platformId = 1;
    c.servicePack = L"";
    return c;
}

namespace {

// The host's locale environment after the machine's user locale, so that the standard library's
// locale("") names a locale the host has (the user's own when the host has it, else C.UTF-8).
void MatchHostLocale(LCID userLocale) {
    const char* wanted = userLocale == 0x0804 ? "zh_CN.UTF-8" : "en_US.UTF-8";
    for (const char* name : {wanted, "C.UTF-8", "C"}) {
        locale_t probe = newlocale(LC_ALL_MASK, name, nullptr);
        if (probe == nullptr) continue;
        freelocale(probe);
        setenv("LC_ALL", name, 1);
        return;
    }
}

}  // namespace

Machine::Machine(const Config& config)
    : config_(config),
      devices_(std::make_unique<DeviceTree>()),
      serialPorts_(std::make_unique<SerialPortTable>(*devices_)),
      registry_(std::make_unique<Registry>()),
      processes_(std::make_unique<ProcessTable>(config_)),
      services_(std::make_unique<ServiceManager>(*devices_, *processes_, faults_)),
      windows_(std::make_unique<WindowTable>()),
      fileShares_(std::make_unique<FileShares>()),
      ras_(std::make_unique<Ras>(*this)),
      boxes_(std::make_unique<MessageBoxes>()),
      menus_(std::make_unique<Menus>()),
      fonts_(std::make_unique<FontTable>()),
      shell_(std::make_unique<Shell>(*windows_)),
      screen_(std::make_unique<Screen>(*windows_, config_.screenWidth, config_.screenHeight,
                                       shell_.get(), config_.taskbarHeight)),
      deviceBroadcast_(std::make_unique<DeviceBroadcast>(*devices_, *windows_)) {
    MatchHostLocale(config_.userLocale);
    if (config_.hostFolder.empty()) {
        char tmpl[] = "/tmp/simmachine-XXXXXX";
        if (char* d = mkdtemp(tmpl)) {
            hostRoot_ = d;
            ownsHostRoot_ = true;
        }
    } else {
        hostRoot_ = config_.hostFolder;
        std::error_code ec;
        std::filesystem::create_directories(hostRoot_, ec);
    }
}

Machine::~Machine() {
    RemoveHostFolder();
}

void Machine::RemoveHostFolder() {
    if (!ownsHostRoot_) return;
    std::error_code ec;
    std::filesystem::remove_all(hostRoot_, ec);
    ownsHostRoot_ = false;
}

Machine& machine() {
    {
        std::lock_guard<std::mutex> lk(g_machineMu);
        if (g_machine) return *g_machine;
    }
    // A program's first touch joins its machine server, which makes the machine (the calls the
    // join itself makes meanwhile find a default machine, which it then replaces).
    static std::atomic<bool> joining{false};
    if (ProgramJoinsServer() && !joining.exchange(true)) JoinServerAtStart();
    std::lock_guard<std::mutex> lk(g_machineMu);
    if (!g_machine) {
        g_machine = new Machine(Config());
        RegisterSystemModules(*g_machine);
        static bool registered = (std::atexit(RemoveCurrentHostFolder), true);
        (void)registered;
    }
    return *g_machine;
}

bool Machine::Reset(const Config& config) {
    ResetTraceFromEnvironment();
    auto& kernel = Kernel::Get();
    kernel.CancelAll();
    kernel.ResetClock(config.clock, config.clockSpeed, config.startTick);
    auto* fresh = new Machine(config);
    {
        std::lock_guard<std::mutex> lk(g_machineMu);
        if (g_machine) {
            // Its folder goes now; the object stays for threads that still hold it.
            g_machine->RemoveHostFolder();
            g_retired->push_back(g_machine);
        }
        g_machine = fresh;
        static bool registered = (std::atexit(RemoveCurrentHostFolder), true);
        (void)registered;
    }
    RegisterSystemModules(*fresh);
    // The calling thread now belongs to the fresh machine's own program.
    BindCurrentThread(fresh->processes().Self());
    std::vector<std::wstring> folders = {config.programFolder, L"C:\\WINDOWS\\system32"};
    // The user's profile holds its application-data folder.
    if (!config.profileFolder.empty())
        folders.push_back(config.profileFolder +
                          (config.major >= 6 ? L"\\AppData\\Roaming" : L"\\Application Data"));
    bool made = !fresh->hostRoot_.empty();
    for (const std::wstring& folder : folders) {
        std::error_code ec;
        std::filesystem::create_directories(fresh->HostPath(folder), ec);
        made = made && !ec && std::filesystem::is_directory(fresh->HostPath(folder), ec);
    }
    return made;
}

std::filesystem::path Machine::HostPath(const std::wstring& machinePathIn) const {
    std::wstring p = machinePathIn;
    for (auto& c : p)
        if (c == L'/') c = L'\\';
    if (p.rfind(L"\\\\?\\", 0) == 0) p = p.substr(4);
    std::filesystem::path cur;
    std::wstring rest;
    if (p.size() >= 2 && p[1] == L':') {
        wchar_t drive = Upper(std::wstring(1, p[0]))[0];
        cur = hostRoot_ / ToUtf8(std::wstring(1, drive));
        rest = p.substr(2);
    } else {
        // A relative path starts in the process's current folder (or the root of C: when that
        // folder is not a full path itself).
        const std::wstring folder = CurrentProcess().currentFolder.Get();
        bool absolute = folder.size() >= 2 && folder[1] == L':';
        cur = absolute ? HostPath(folder) : hostRoot_ / "C";
        rest = p;
    }
    std::wstringstream ss(rest);
    std::wstring part;
    std::filesystem::path root = cur;
    while (std::getline(ss, part, L'\\')) {
        if (part.empty() || part == L".") continue;
        if (part == L"..") {
            if (cur != root) cur = cur.parent_path();
            continue;
        }
        std::filesystem::path next = cur / ToUtf8(part);
        std::error_code ec;
        if (!std::filesystem::exists(next, ec) && std::filesystem::is_directory(cur, ec)) {
            std::wstring want = Lower(part);
            std::filesystem::directory_iterator it(cur, ec), end;
            for (; !ec && it != end; it.increment(ec)) {
                if (Lower(FromUtf8(it->path().filename().string())) == want) {
                    next = it->path();
                    break;
                }
            }
        }
        cur = next;
    }
    return cur;
}

namespace {

// Reads a host file whole; false (bytes empty) when it cannot be opened or read.
bool ReadHostFile(const std::filesystem::path& path, std::string& bytes) {
    bytes.clear();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    std::ifstream f(path, std::ios::binary);
    if (!f) return false;
    std::string read{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
    if (f.bad()) return false;
    bytes = std::move(read);
    return true;
}

}  // namespace

bool Machine::WriteFile(const std::wstring& machinePath, const std::string& bytes) {
    auto p = HostPath(machinePath);
    std::error_code ec;
    std::filesystem::create_directories(p.parent_path(), ec);
    if (ec) return false;
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    if (!f) return false;
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    f.close();
    return !f.fail();
}

bool Machine::ReadFile(const std::wstring& machinePath, std::string& bytes) const {
    return ReadHostFile(HostPath(machinePath), bytes);
}

std::string Machine::ReadFile(const std::wstring& machinePath) const {
    std::string bytes;
    ReadFile(machinePath, bytes);
    return bytes;
}

bool Machine::FileExists(const std::wstring& machinePath) const {
    std::error_code ec;
    return std::filesystem::exists(HostPath(machinePath), ec);
}

int Machine::CopyFromHost(const std::filesystem::path& hostFolder,
                          const std::wstring& machineFolder) {
    std::error_code ec;
    if (!std::filesystem::is_directory(hostFolder, ec)) return 0;
    int copied = 0;
    std::filesystem::recursive_directory_iterator it(hostFolder, ec), end;
    bool failed = static_cast<bool>(ec);
    for (; !ec && it != end; it.increment(ec)) {
        std::error_code entryError;
        if (!it->is_regular_file(entryError)) {
            failed = failed || entryError;
            continue;
        }
        std::string bytes;
        std::wstring relative =
            FromUtf8(it->path().lexically_relative(hostFolder).generic_string());
        for (auto& c : relative)
            if (c == L'/') c = L'\\';
        if (ReadHostFile(it->path(), bytes) && WriteFile(machineFolder + relative, bytes))
            ++copied;
        else
            failed = true;
    }
    return (failed || ec) ? -1 : copied;
}

void Machine::RegisterModule(ModuleDef def) {
    std::lock_guard<std::mutex> lk(mu_);
    std::wstring key = Lower(def.name);
    modules_[key] = std::move(def);
}

void Machine::UnregisterModule(const std::wstring& name) {
    std::lock_guard<std::mutex> lk(mu_);
    modules_.erase(Lower(name));
}

std::optional<ModuleDef> Machine::FindModule(const std::wstring& fileName) const {
    std::lock_guard<std::mutex> lk(mu_);
    auto it = modules_.find(Lower(fileName));
    if (it == modules_.end()) return std::nullopt;
    return it->second;
}

void Machine::AppendDebugOutput(const std::wstring& text) {
    {
        std::lock_guard<std::mutex> lk(mu_);
        debugOutput_.push_back(text);
        if (config_.echoDebugOutput || TraceAskedByEnvironment())
            std::fprintf(stderr, "[debug] %s\n", ToUtf8(text).c_str());
    }
    // A program on a machine server: its journal there too.
    if (ServerLink* link = JoinedLink()) JournalToServer(*link, true, text);
}

std::vector<std::wstring> Machine::DebugOutput() {
    std::lock_guard<std::mutex> lk(mu_);
    return debugOutput_;
}

void Machine::AppendConsole(const std::wstring& text) {
    {
        std::lock_guard<std::mutex> lk(mu_);
        console_ += text;
        if (config_.echoConsole) {
            std::string s = ToUtf8(text);
            std::fwrite(s.data(), 1, s.size(), stdout);
            std::fflush(stdout);
        }
    }
    if (ServerLink* link = JoinedLink()) JournalToServer(*link, false, text);
}

std::wstring Machine::Console() {
    std::lock_guard<std::mutex> lk(mu_);
    return console_;
}

void Machine::ClearCaptured() {
    std::lock_guard<std::mutex> lk(mu_);
    console_.clear();
    debugOutput_.clear();
}

std::shared_ptr<KObject> Machine::FindNamed(const std::wstring& name) {
    std::lock_guard<std::mutex> lk(mu_);
    auto it = named_.find(name);
    return it == named_.end() ? nullptr : it->second.lock();
}

std::shared_ptr<KObject> Machine::CreateOrOpenNamed(
    const std::wstring& name, const std::function<std::shared_ptr<KObject>()>& make,
    bool* existed) {
    std::lock_guard<std::mutex> lk(mu_);
    auto& slot = named_[name];
    if (auto obj = slot.lock()) {
        *existed = true;
        return obj;
    }
    auto obj = make();
    slot = obj;
    *existed = false;
    return obj;
}

}  // namespace sim
