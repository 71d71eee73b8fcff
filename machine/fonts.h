// The machine's font table: the family names that programs and skins ask for ("Arial", "Tahoma",
// "SimSun", "宋体", ...) and the host's font families that draw them (DejaVu Sans, WenQuanYi Micro
// Hei). GDI and GDI+ resolve every family name through it; a name that is not in it does not exist
// on the machine. Tests remove families to exercise fallbacks. Names compare without regard to
// case.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace sim {

class FontTable {
public:
    // The standard table.
    FontTable();

    // The host family (a fontconfig name for pango) that draws the family; nothing when the
    // machine has no such family.
    std::optional<std::string> HostFamily(const std::wstring& family) const;
    // The machine's family names, as added.
    std::vector<std::wstring> Families() const;

    // ---- Test controls ----
    void Add(const std::wstring& family, const std::string& hostFamily);
    // False when there was no such family.
    bool Remove(const std::wstring& family);

private:
    mutable std::mutex mu_;
    std::vector<std::wstring> order_;
    std::map<std::wstring, std::string> families_;  // key: lower-case name
};

}  // namespace sim
