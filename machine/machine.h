// The simulated machine that backs the platform layer. Tests and demos reset it and drive it
// through this control interface; the system's code never includes this header.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "machine/faults.h"
#include "machine/waits.h"
#include <windef.h>

namespace sim {

class DeviceBroadcast;
class DeviceTree;
class FileShares;
class MessageBoxes;
class Menus;
class FontTable;
class Screen;
class Shell;
class Ras;
class SerialPortTable;
class Registry;
class ServiceManager;
class ProcessTable;
class WindowTable;

struct Config {
    // Windows version as GetVersionExW reports it.
    DWORD major = 5;
    DWORD minor = 1;
    DWORD build = 2600;
    DWORD platformId = 2;  // 1: the 9x line, 2: NT
    std::wstring servicePack = L"Service Pack 2";
    bool is64Bit = false;
    UINT ansiCodePage = 936;
    LANGID uiLanguage = 0x0804;
    std::wstring userName = L"user";
    std::wstring profileFolder = L"C:\\Documents and Settings\\user";
    // The machine's own program (the process the tests or the demo run in): its folder (ending
    // in a backslash) and file name. Every other process has its own image.
    std::wstring programFolder = L"C:\\Program Files\\Modem\\";
    std::wstring programName = L"program.exe";
    // Host folder that holds the drives ("C:\x" is <hostFolder>/C/x). Empty: a fresh temporary
    // folder, removed at the next reset.
    std::filesystem::path hostFolder;
    ClockMode clock = ClockMode::Virtual;
    double clockSpeed = 1.0;
    std::uint64_t startTick = 0;
    // Local wall-clock time at tick 0, in seconds since 1970 (GetLocalTime adds the ticks).
    std::int64_t startLocalTime = 1212321600;  // 2008-06-01 12:00:00
    // The time zone: UTC = local time + bias, in minutes (China's is -480).
    int timeZoneBias = 0;
    // The user's locale (GetLocaleInfoW, the date and time pictures): 0x0409 English (United
    // States) or 0x0804 Chinese (PRC). The host's own locale environment (LC_ALL) is set to match
    // at each reset, falling back to C.UTF-8 when the host lacks it, so that the standard
    // library's locale("") is always one the host has.
    LCID userLocale = 0x0409;
    // Whether the process token holds SeDebugPrivilege (an administrator's token does).
    bool hasDebugPrivilege = true;
    // Console output is captured; echoed to the host's standard output when set (demos).
    bool echoConsole = false;
    bool echoDebugOutput = false;
    // The screen's size in pixels (GetSystemMetrics, default window placement).
    int screenWidth = 1024;
    int screenHeight = 768;
    // The taskbar along the screen's bottom edge: the work area is the screen above it.
    int taskbarHeight = 30;

    static Config WindowsXP();
    static Config Windows2000();
    static Config WindowsVista();
    static Config Windows7();
    static Config Windows98();
};

// A module that LoadLibraryW can find: a name, whether it is a system module (always found),
// and its exports.
struct ModuleDef {
    std::wstring name;  // file name, for example "Kernel32.dll"
    bool system = false;
    std::map<std::string, void*> exports;
};

class Machine {
public:
    // Replaces the process's machine with a fresh one. False when its host folder or its standard
    // folders (program, profile, system) could not be made; the machine is replaced all the same,
    // and its file calls fail as they find things.
    static bool Reset(const Config& config = Config());
    const Config& config() const { return config_; }

    // ---- Files ----
    // Host path of a machine path ("C:\a\b" or "C:/a/b"), resolving each existing component
    // without regard to case.
    std::filesystem::path HostPath(const std::wstring& machinePath) const;
    const std::filesystem::path& HostRoot() const { return hostRoot_; }
    // Convenience for tests and demos. None of these throws: a host error (a name too long, a
    // file where a folder should be, no access) is a false, an empty text or a -1.
    // Writes a file, creating its folders; false when the file could not be written whole.
    bool WriteFile(const std::wstring& machinePath, const std::string& bytes);
    // Reads a file whole; false (bytes empty) when it is missing or cannot be read.
    bool ReadFile(const std::wstring& machinePath, std::string& bytes) const;
    // The file's bytes; empty when it is missing or cannot be read.
    std::string ReadFile(const std::wstring& machinePath) const;
    bool FileExists(const std::wstring& machinePath) const;
    // Copies every file below a host folder into the machine folder (ending in a backslash),
    // keeping the sub-folders: how tests and demos put assets (language files, driver folders)
    // on the machine. Returns the number of files copied (0 when the host folder is missing), or
    // -1 when a file or folder could not be read or written (the others are copied all the same).
    int CopyFromHost(const std::filesystem::path& hostFolder, const std::wstring& machineFolder);
    // Files open on the machine, for the share-mode checks (machine/files.h).
    FileShares& fileShares() { return *fileShares_; }

    // ---- Failures that tests inject (machine/faults.h) ----
    Faults& faults() { return faults_; }

    // ---- Devices ----
    DeviceTree& devices() { return *devices_; }
    // Serial ports: those of started device nodes and those a test added (machine/serial.h).
    SerialPortTable& serialPorts() { return *serialPorts_; }

    // ---- Registry, services, processes, windows ----
    Registry& registry() { return *registry_; }        // machine/registry.h
    ProcessTable& processes() { return *processes_; }  // machine/processes.h
    ServiceManager& services() { return *services_; }  // machine/services.h
    WindowTable& windows() { return *windows_; }       // machine/windows.h
    Ras& ras() { return *ras_; }                       // machine/ras.h
    MessageBoxes& boxes() { return *boxes_; }          // machine/boxes.h
    Menus& menus() { return *menus_; }                 // machine/menus.h
    FontTable& fonts() { return *fonts_; }             // machine/fonts.h
    Screen& screen() { return *screen_; }              // machine/screen.h
    Shell& shell() { return *shell_; }                 // machine/shell.h

    // ---- Modules ----
    void RegisterModule(ModuleDef def);
    void UnregisterModule(const std::wstring& name);
    // A copy of the registered module (it may be re-registered or removed meanwhile).
    std::optional<ModuleDef> FindModule(const std::wstring& fileName) const;

    // ---- Debug output and console ----
    void AppendDebugOutput(const std::wstring& text);
    std::vector<std::wstring> DebugOutput();
    void AppendConsole(const std::wstring& text);
    std::wstring Console();
    void ClearCaptured();

    // ---- Named kernel objects (machine-wide; names compare without regard to case) ----
    std::shared_ptr<struct KObject> FindNamed(const std::wstring& name);
    // Opens the object of that name or, when there is none, adds the one make() gives, in one
    // step: of two processes creating one name at once, exactly one creates it. *existed tells
    // which happened.
    std::shared_ptr<struct KObject> CreateOrOpenNamed(
        const std::wstring& name, const std::function<std::shared_ptr<struct KObject>()>& make,
        bool* existed);

    // ---- Program ----
    std::wstring ProgramPath() const { return config_.programFolder + config_.programName; }

    ~Machine();
    void RemoveHostFolder();

private:
    friend Machine& machine();
    explicit Machine(const Config& config);

    Config config_;
    std::filesystem::path hostRoot_;
    bool ownsHostRoot_ = false;
    Faults faults_;  // before the facilities that take from it
    std::unique_ptr<DeviceTree> devices_;
    std::unique_ptr<SerialPortTable> serialPorts_;
    std::unique_ptr<Registry> registry_;
    std::unique_ptr<ProcessTable> processes_;
    std::unique_ptr<ServiceManager> services_;
    std::unique_ptr<WindowTable> windows_;
    std::unique_ptr<FileShares> fileShares_;
    std::unique_ptr<Ras> ras_;  // after devices_: it listens to them
    std::unique_ptr<MessageBoxes> boxes_;
    std::unique_ptr<Menus> menus_;
    std::unique_ptr<FontTable> fonts_;
    std::unique_ptr<Shell> shell_;                      // after windows_
    std::unique_ptr<Screen> screen_;                    // after windows_ and shell_
    std::unique_ptr<DeviceBroadcast> deviceBroadcast_;  // after devices_ and windows_

    mutable std::mutex mu_;
    std::map<std::wstring, ModuleDef> modules_;  // key: lower-case file name
    std::vector<std::wstring> debugOutput_;
    std::wstring console_;
    std::map<std::wstring, std::weak_ptr<struct KObject>> named_;
};

// The process's machine (a default one is made on first use).
Machine& machine();

// Lower-cases ASCII letters (machine names compare this way).
std::wstring Lower(const std::wstring& s);
std::wstring Upper(const std::wstring& s);
// UTF-8 for host paths and host output.
std::string ToUtf8(const std::wstring& s);
std::wstring FromUtf8(const std::string& s);

}  // namespace sim
