// Stand-in of the device command library's log library "DMLog.dll". Its exports:
//   "CreateLogService"  ILogService* (*)(): a new log object;
//   "ReleaseLogService" void (*)(ILogService*): takes the object back.
// The objects record every call in one journal that tests read. Registering the module makes it
// loadable on the machine; its file must still be installed where the program loads it from.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dm/log.h"

namespace dmlog {

inline constexpr wchar_t kFileName[] = L"DMLog.dll";

enum class Call { WriteWide, WriteNarrow, WriteHex, SetLevel, SetEnabled, SetOptions };

struct Entry {
    Call call;
    std::string text;         // WriteNarrow: the text; WriteHex: the bytes
    std::wstring wide;        // WriteWide: the text
    std::uint32_t value = 0;  // SetLevel, SetEnabled, SetOptions: the argument
    std::uint8_t level = 0;   // the object's level when the call came
};

ILogService* CreateLogService();
void ReleaseLogService(ILogService* service);

// Registers the module and writes its file into the folder (ending in a backslash). Exports
// named in `missing` are left out.
void Install(const std::wstring& folder, const std::vector<std::string>& missing = {});
// Forgets the journal (objects still alive keep their levels).
void ResetJournal();
std::vector<Entry> Journal();
// The narrow lines written, in order.
std::vector<std::string> NarrowLines();
// Objects created and not yet released.
int LiveServices();
int ReleasedServices();

}  // namespace dmlog
