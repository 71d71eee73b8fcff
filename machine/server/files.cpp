// The files' share table of the machine: every program's opens of the machine's files, so that a
// file one process opened without sharing is refused to another. An open counts until the
// program closes it or its connection ends (a process that died has its files closed).
#include <filesystem>
#include <map>

#include <winbase.h>
#include "machine/files.h"
#include "machine/server/core.h"

namespace sim::server {

struct ServedFileTable {
    FileShares shares;
    std::map<std::pair<ClientId, std::uint32_t>, std::shared_ptr<const FileOpen>> opens;
    std::uint32_t nextId = 1;
};

namespace {

// The path as the table keys it, or "" when it is no path inside the machine folder.
std::string InFolder(const std::string& folder, const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path root = fs::weakly_canonical(fs::absolute(folder, ec), ec);
    if (ec || path.empty() || path.find('\0') != std::string::npos) return "";
    fs::path p = fs::weakly_canonical(fs::absolute(path, ec), ec);
    if (ec) return "";
    auto rel = p.lexically_relative(root);
    if (rel.empty() || *rel.begin() == ".." || rel == ".") return "";
    return p.string();
}

}  // namespace

void Core::OnFiles(Client& c, const wire::Frame& f, wire::Reader& r) {
    if (!files_) files_ = std::make_shared<ServedFileTable>();
    ServedFileTable& t = *files_;
    std::string path;
    std::uint32_t access = 0, share = 0, id = 0;
    switch (f.kind) {
        case wire::Kind::FileOpen: {
            if (!r.Blob(path) || !r.U32(access) || !r.U32(share) || !r.AtEnd())
                return Reply(c, f.id, ERROR_INVALID_PARAMETER);
            std::string key = InFolder(folder_, path);
            if (key.empty()) return Reply(c, f.id, ERROR_ACCESS_DENIED);
            auto opened = t.shares.Open(key, access, share);
            if (!opened) return Reply(c, f.id, ERROR_SHARING_VIOLATION);
            id = t.nextId++;
            t.opens[{IdOf(c), id}] = std::move(opened);
            wire::Writer w;
            w.U32(id);
            return Reply(c, f.id, 0, w);
        }
        case wire::Kind::FileClose:
            if (!r.U32(id) || !r.AtEnd()) return Reply(c, f.id, ERROR_INVALID_PARAMETER);
            return Reply(c, f.id, t.opens.erase({IdOf(c), id}) ? 0 : ERROR_INVALID_HANDLE);
        case wire::Kind::FileDelete: {
            if (!r.Blob(path) || !r.AtEnd()) return Reply(c, f.id, ERROR_INVALID_PARAMETER);
            std::string key = InFolder(folder_, path);
            if (key.empty()) return Reply(c, f.id, ERROR_ACCESS_DENIED);
            return Reply(c, f.id, t.shares.Delete(key));
        }
        default:
            return Reply(c, f.id, ERROR_INVALID_FUNCTION);
    }
}

void Core::DropFileOpens(ClientId client) {
    if (!files_) return;
    std::erase_if(files_->opens, [&](const auto& o) { return o.first.first == client; });
}

}  // namespace sim::server
