#include "machine/faults.h"

#include <algorithm>

#include "machine/machine.h"

namespace sim {

namespace {

// Spellings of one name that the machine takes for the same share one key.
std::wstring KeyOf(const std::wstring& key) {
    std::wstring k = Lower(key);
    std::replace(k.begin(), k.end(), L'/', L'\\');
    return k;
}

}  // namespace

std::vector<Faults::Entry>::iterator Faults::FindLocked(Facility facility, int operation,
                                                        const std::wstring& key) {
    return std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) {
        return e.facility == facility && e.operation == operation && e.key == key;
    });
}

void Faults::Set(Facility facility, int operation, const std::wstring& key, DWORD error,
                 int count) {
    std::wstring k = KeyOf(key);
    std::lock_guard<std::mutex> lk(mu_);
    auto it = FindLocked(facility, operation, k);
    if (it != entries_.end()) entries_.erase(it);
    if (error != 0 && count != 0) entries_.push_back(Entry{facility, operation, k, error, count});
}

DWORD Faults::Next(Facility facility, int operation, const std::wstring& key) {
    std::wstring k = KeyOf(key);
    std::lock_guard<std::mutex> lk(mu_);
    auto it = k.empty() ? entries_.end() : FindLocked(facility, operation, k);
    if (it == entries_.end()) it = FindLocked(facility, operation, L"");
    if (it == entries_.end()) return 0;
    DWORD error = it->error;
    if (it->remaining > 0 && --it->remaining == 0) entries_.erase(it);
    return error;
}

}  // namespace sim
