#include "machine/files.h"

#include <filesystem>

#include <winbase.h>

namespace sim {

std::shared_ptr<const FileOpen> FileShares::Open(const std::string& hostPath, DWORD access,
                                                 DWORD share) {
    if (remote_) return remote_->Open(hostPath, access, share);
    std::lock_guard<std::mutex> lk(mu_);
    open_.remove_if([](const std::weak_ptr<const FileOpen>& w) { return w.expired(); });
    for (const auto& w : open_) {
        auto f = w.lock();
        if (!f || f->hostPath != hostPath) continue;
        if ((access & GENERIC_READ) && !(f->share & FILE_SHARE_READ)) return nullptr;
        if ((access & GENERIC_WRITE) && !(f->share & FILE_SHARE_WRITE)) return nullptr;
        if ((f->access & GENERIC_READ) && !(share & FILE_SHARE_READ)) return nullptr;
        if ((f->access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE)) return nullptr;
    }
    auto opened = std::make_shared<const FileOpen>(FileOpen{hostPath, access, share});
    open_.push_back(opened);
    return opened;
}

DWORD FileShares::Delete(const std::string& hostPath) {
    if (remote_) return remote_->Delete(hostPath);
    std::lock_guard<std::mutex> lk(mu_);
    for (const auto& w : open_) {
        auto f = w.lock();
        if (f && f->hostPath == hostPath && !(f->share & FILE_SHARE_DELETE))
            return ERROR_SHARING_VIOLATION;
    }
    std::error_code ec;
    return std::filesystem::remove(hostPath, ec) ? 0 : ERROR_ACCESS_DENIED;
}

}  // namespace sim
