// The machine's open files, as far as sharing goes: which host files are open with which access
// and sharing, for the share-mode checks of CreateFileW and DeleteFileW. Each machine has its
// own table (a reset starts with none open).
#pragma once

#include <list>
#include <memory>
#include <mutex>
#include <string>

#include <windef.h>

namespace sim {

// One open of a host file. It counts while its owner (the file handle's object) holds it.
struct FileOpen {
    std::string hostPath;
    DWORD access = 0;  // GENERIC_READ, GENERIC_WRITE
    DWORD share = 0;   // FILE_SHARE_READ, FILE_SHARE_WRITE, FILE_SHARE_DELETE
};

// The table of a machine server, for a program on one (machine/remote_files.cpp).
class FileSharesRemote {
public:
    virtual ~FileSharesRemote() = default;
    virtual std::shared_ptr<const FileOpen> Open(const std::string& hostPath, DWORD access,
                                                 DWORD share) = 0;
    virtual DWORD Delete(const std::string& hostPath) = 0;
};

class FileShares {
public:
    // From here on the table is the server's (the remote lives as long as the process).
    void UseRemote(FileSharesRemote* remote) { remote_ = remote; }
    // Registers an open of the file with this access and sharing, or returns null when it
    // conflicts with an open already registered (the check and the registration are one step).
    std::shared_ptr<const FileOpen> Open(const std::string& hostPath, DWORD access, DWORD share);
    // DeleteFileW's check and removal in one step: 0, ERROR_SHARING_VIOLATION when an open of
    // the file does not share deletion, or ERROR_ACCESS_DENIED when the host refuses.
    DWORD Delete(const std::string& hostPath);

private:
    FileSharesRemote* remote_ = nullptr;
    std::mutex mu_;
    std::list<std::weak_ptr<const FileOpen>> open_;
};

}  // namespace sim
