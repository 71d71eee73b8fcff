#include "machine/fonts.h"

#include <algorithm>

#include "machine/machine.h"

namespace sim {

namespace {
constexpr const char* kLatin = "DejaVu Sans";
constexpr const char* kChinese = "WenQuanYi Micro Hei";
}  // namespace

FontTable::FontTable() {
    for (const wchar_t* name :
         {L"Microsoft Sans Serif", L"MS Sans Serif", L"MS Shell Dlg", L"MS Shell Dlg 2", L"Arial",
          L"Tahoma", L"Verdana", L"Segoe UI", L"Times New Roman", L"Courier New", L"System"})
        Add(name, kLatin);
    for (const wchar_t* name : {L"SimSun", L"宋体", L"NSimSun", L"新宋体", L"SimHei", L"黑体",
                                L"Microsoft YaHei", L"微软雅黑"})
        Add(name, kChinese);
}

std::optional<std::string> FontTable::HostFamily(const std::wstring& family) const {
    std::lock_guard<std::mutex> lk(mu_);
    auto it = families_.find(Lower(family));
    if (it == families_.end()) return std::nullopt;
    return it->second;
}

std::vector<std::wstring> FontTable::Families() const {
    std::lock_guard<std::mutex> lk(mu_);
    return order_;
}

void FontTable::Add(const std::wstring& family, const std::string& hostFamily) {
    std::lock_guard<std::mutex> lk(mu_);
    if (families_.insert_or_assign(Lower(family), hostFamily).second) order_.push_back(family);
}

bool FontTable::Remove(const std::wstring& family) {
    std::lock_guard<std::mutex> lk(mu_);
    if (families_.erase(Lower(family)) == 0) return false;
    std::wstring key = Lower(family);
    order_.erase(std::remove_if(order_.begin(), order_.end(),
                                [&](const std::wstring& n) { return Lower(n) == key; }),
                 order_.end());
    return true;
}

}  // namespace sim
