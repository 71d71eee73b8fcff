#include "machine/remote_files.h"

#include <winbase.h>

namespace sim {

namespace {

class ServedFiles : public FileSharesRemote {
public:
    explicit ServedFiles(ServerLink& link) : link_(link) {}

    std::shared_ptr<const FileOpen> Open(const std::string& hostPath, DWORD access,
                                         DWORD share) override {
        wire::Writer w;
        w.Blob(hostPath).U32(access).U32(share);
        RemoteAnswer a = CallServer(link_, wire::Kind::FileOpen, w.Bytes());
        std::uint32_t id = 0;
        wire::Reader r(a.body);
        if (a.status != 0 || !r.U32(id)) return nullptr;
        // The open counts on the server until the file's last handle goes.
        ServerLink* link = &link_;
        return std::shared_ptr<const FileOpen>(
            new FileOpen{hostPath, access, share}, [link, id](const FileOpen* open) {
                wire::Writer close;
                close.U32(id);
                PostToServer(*link, wire::Kind::FileClose, close.Bytes());
                delete open;
            });
    }

    DWORD Delete(const std::string& hostPath) override {
        wire::Writer w;
        w.Blob(hostPath);
        return CallServer(link_, wire::Kind::FileDelete, w.Bytes()).status;
    }

private:
    ServerLink& link_;
};

}  // namespace

FileSharesRemote* ServedFileShares(ServerLink& link) {
    return new ServedFiles(link);
}

}  // namespace sim
