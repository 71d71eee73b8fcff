#include <winbase.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "machine/devices.h"
#include "machine/files.h"
#include "machine/handles.h"
#include "machine/machine.h"
#include "machine/serial.h"
#include "machine/trace.h"

namespace fs = std::filesystem;
using sim::Fail;

namespace {

struct FileObj : sim::KObject {
    int fd = -1;
    DWORD access = 0;
    std::shared_ptr<const sim::FileOpen> opened;  // the open as the machine's share table has it
    ~FileObj() override {
        if (fd >= 0) ::close(fd);
    }
};

struct DeviceFileObj : sim::KObject {
    std::wstring instanceId;
    std::shared_ptr<sim::DeviceModel> model;
};

struct FindObj : sim::KObject {
    std::vector<WIN32_FIND_DATAW> entries;
    std::size_t next = 0;
};

bool IsDevicePath(const std::wstring& p) {
    if (p.rfind(L"\\\\.\\", 0) == 0) return true;
    if (p.rfind(L"\\\\?\\", 0) == 0) return !(p.size() >= 6 && p[5] == L':');
    return false;
}

HANDLE OpenDevice(const std::wstring& path) {
    std::wstring link = L"\\\\?\\" + path.substr(4);
    sim::DeviceNode node;
    if (!sim::machine().devices().FindInterface(link, &node, nullptr))
        return Fail(INVALID_HANDLE_VALUE, ERROR_FILE_NOT_FOUND);
    if (DWORD e = sim::machine().faults().Take(sim::DeviceOp::Open, link))
        return Fail(INVALID_HANDLE_VALUE, e);
    if (node.spec.model)
        if (DWORD e = node.spec.model->Open(node.spec.instanceId))
            return Fail(INVALID_HANDLE_VALUE, e);
    auto obj = std::make_shared<DeviceFileObj>();
    obj->instanceId = node.spec.instanceId;
    obj->model = node.spec.model;
    SetLastError(ERROR_SUCCESS);
    return sim::HandleTable::Get().Add(obj);
}

std::wstring Lower(const std::wstring& s) {
    return sim::Lower(s);
}

bool WildMatch(const std::wstring& pat, const std::wstring& name) {
    std::size_t p = 0, n = 0, star = std::wstring::npos, mark = 0;
    while (n < name.size()) {
        if (p < pat.size() && (pat[p] == L'?' || pat[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pat.size() && pat[p] == L'*') {
            star = p++;
            mark = n;
        } else if (star != std::wstring::npos) {
            p = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (p < pat.size() && pat[p] == L'*') ++p;
    return p == pat.size();
}

void FillFind(WIN32_FIND_DATAW* d, const fs::directory_entry& e) {
    std::memset(d, 0, sizeof *d);
    std::error_code ec;
    bool dir = e.is_directory(ec);
    d->dwFileAttributes = dir ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    if (!dir) {
        auto size = static_cast<std::uint64_t>(e.file_size(ec));
        d->nFileSizeLow = static_cast<DWORD>(size);
        d->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    }
    std::wstring name = sim::FromUtf8(e.path().filename().string());
    std::wcsncpy(d->cFileName, name.c_str(), MAX_PATH - 1);
}

}  // namespace

HANDLE CreateFileW(LPCWSTR fileName, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES arg4,
                   DWORD disposition, DWORD flagsAndAttributes, HANDLE arg7) {
    API_TRACE(Files, CreateFileW, fileName, access, shareMode, arg4, disposition,
              flagsAndAttributes, arg7);
    if (fileName == nullptr || *fileName == 0)
        return Fail(INVALID_HANDLE_VALUE, ERROR_PATH_NOT_FOUND);
    std::wstring path = fileName;
    if (!sim::SerialPortNameOfPath(path).empty()) {
        HANDLE port = INVALID_HANDLE_VALUE;
        if (DWORD e = sim::OpenSerialPort(path, flagsAndAttributes, &port))
            return Fail(INVALID_HANDLE_VALUE, e);
        SetLastError(ERROR_SUCCESS);
        return port;
    }
    if (IsDevicePath(path)) return OpenDevice(path);
    auto& m = sim::machine();
    if (DWORD e = m.faults().Take(sim::FileOp::Open, path)) return Fail(INVALID_HANDLE_VALUE, e);
    fs::path host = m.HostPath(path);
    std::error_code ec;
    if (!fs::is_directory(host.parent_path(), ec))
        return Fail(INVALID_HANDLE_VALUE, ERROR_PATH_NOT_FOUND);
    if (fs::is_directory(host, ec)) return Fail(INVALID_HANDLE_VALUE, ERROR_ACCESS_DENIED);
    bool exists = fs::exists(host, ec);
    int flags = O_CLOEXEC;
    if ((access & GENERIC_READ) && (access & GENERIC_WRITE))
        flags |= O_RDWR;
    else if (access & GENERIC_WRITE)
        flags |= O_WRONLY;
    else
        flags |= O_RDONLY;
    switch (disposition) {
        case CREATE_NEW:
            if (exists) return Fail(INVALID_HANDLE_VALUE, ERROR_FILE_EXISTS);
            flags |= O_CREAT;
            break;
        case CREATE_ALWAYS:
            flags |= O_CREAT | O_TRUNC;
            break;
        case OPEN_EXISTING:
            if (!exists) return Fail(INVALID_HANDLE_VALUE, ERROR_FILE_NOT_FOUND);
            break;
        case OPEN_ALWAYS:
            flags |= O_CREAT;
            break;
        case TRUNCATE_EXISTING:
            if (!exists) return Fail(INVALID_HANDLE_VALUE, ERROR_FILE_NOT_FOUND);
            if (!(access & GENERIC_WRITE))
                return Fail(INVALID_HANDLE_VALUE, ERROR_INVALID_PARAMETER);
            flags |= O_TRUNC;
            break;
        default:
            return Fail(INVALID_HANDLE_VALUE, ERROR_INVALID_PARAMETER);
    }
    std::string hostPath = host.string();
    auto opened = m.fileShares().Open(hostPath, access, shareMode);
    if (!opened) return Fail(INVALID_HANDLE_VALUE, ERROR_SHARING_VIOLATION);
    int fd = ::open(hostPath.c_str(), flags, 0644);
    if (fd < 0) return Fail(INVALID_HANDLE_VALUE, ERROR_ACCESS_DENIED);
    auto obj = std::make_shared<FileObj>();
    obj->fd = fd;
    obj->access = access;
    obj->opened = std::move(opened);
    bool reported = exists && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS);
    SetLastError(reported ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return sim::HandleTable::Get().Add(obj);
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED arg5) {
    API_TRACE(Files, ReadFile, file, buffer, toRead, read, arg5);
    if (auto port = sim::HandleTable::Get().FindAs<sim::SerialHandle>(file)) {
        if (DWORD e = sim::ReadSerialPort(*port, buffer, toRead, read, arg5 != nullptr))
            return Fail(FALSE, e);
        SetLastError(ERROR_SUCCESS);
        return TRUE;
    }
    auto f = sim::HandleTable::Get().FindAs<FileObj>(file);
    if (!f) return Fail(FALSE, ERROR_INVALID_HANDLE);
    if (!(f->access & GENERIC_READ)) return Fail(FALSE, ERROR_ACCESS_DENIED);
    ssize_t n = ::read(f->fd, buffer, toRead);
    if (n < 0) return Fail(FALSE, ERROR_READ_FAULT);
    if (read) *read = static_cast<DWORD>(n);
    return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written,
               LPOVERLAPPED overlapped) {
    API_TRACE(Files, WriteFile, file, buffer, toWrite, written, overlapped);
    if (auto port = sim::HandleTable::Get().FindAs<sim::SerialHandle>(file)) {
        if (DWORD e = sim::WriteSerialPort(*port, buffer, toWrite, written, overlapped != nullptr))
            return Fail(FALSE, e);
        SetLastError(ERROR_SUCCESS);
        return TRUE;
    }
    auto f = sim::HandleTable::Get().FindAs<FileObj>(file);
    if (!f) return Fail(FALSE, ERROR_INVALID_HANDLE);
    if (!(f->access & GENERIC_WRITE)) return Fail(FALSE, ERROR_ACCESS_DENIED);
    ssize_t n = ::write(f->fd, buffer, toWrite);
    if (n < 0) return Fail(FALSE, ERROR_WRITE_FAULT);
    if (written) *written = static_cast<DWORD>(n);
    return TRUE;
}

BOOL FlushFileBuffers(HANDLE file) {
    API_TRACE(Files, FlushFileBuffers, file);
    if (!sim::HandleTable::Get().FindAs<FileObj>(file)) return Fail(FALSE, ERROR_INVALID_HANDLE);
    return TRUE;
}

DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh) {
    API_TRACE(Files, GetFileSize, file, sizeHigh);
    auto f = sim::HandleTable::Get().FindAs<FileObj>(file);
    if (!f) return Fail<DWORD>(INVALID_FILE_SIZE, ERROR_INVALID_HANDLE);
    struct stat st {};
    ::fstat(f->fd, &st);
    auto size = static_cast<std::uint64_t>(st.st_size);
    if (sizeHigh) *sizeHigh = static_cast<DWORD>(size >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(size);
}

DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method) {
    API_TRACE(Files, SetFilePointer, file, distance, distanceHigh, method);
    auto f = sim::HandleTable::Get().FindAs<FileObj>(file);
    if (!f) return Fail<DWORD>(INVALID_SET_FILE_POINTER, ERROR_INVALID_HANDLE);
    std::int64_t off = distanceHigh ? (static_cast<std::int64_t>(*distanceHigh) << 32) |
                                          static_cast<std::uint32_t>(distance)
                                    : distance;
    int whence = method == FILE_BEGIN ? SEEK_SET : method == FILE_CURRENT ? SEEK_CUR : SEEK_END;
    off_t pos = ::lseek(f->fd, off, whence);
    if (pos < 0) return Fail<DWORD>(INVALID_SET_FILE_POINTER, ERROR_NEGATIVE_SEEK);
    if (distanceHigh) *distanceHigh = static_cast<LONG>(static_cast<std::uint64_t>(pos) >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(pos);
}

BOOL DeleteFileW(LPCWSTR fileName) {
    API_TRACE(Files, DeleteFileW, fileName);
    if (!fileName) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    auto& m = sim::machine();
    fs::path host = m.HostPath(fileName);
    std::error_code ec;
    if (!fs::is_directory(host.parent_path(), ec)) return Fail(FALSE, ERROR_PATH_NOT_FOUND);
    if (!fs::exists(host, ec)) return Fail(FALSE, ERROR_FILE_NOT_FOUND);
    if (fs::is_directory(host, ec)) return Fail(FALSE, ERROR_ACCESS_DENIED);
    // A file open without FILE_SHARE_DELETE cannot be deleted.
    if (DWORD e = m.fileShares().Delete(host.string())) return Fail(FALSE, e);
    return TRUE;
}

BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES arg2) {
    API_TRACE(Files, CreateDirectoryW, path, arg2);
    if (!path) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    std::wstring p = path;
    while (p.size() > 3 && (p.back() == L'\\' || p.back() == L'/')) p.pop_back();
    fs::path host = sim::machine().HostPath(p);
    std::error_code ec;
    if (fs::exists(host, ec)) return Fail(FALSE, ERROR_ALREADY_EXISTS);
    if (!fs::is_directory(host.parent_path(), ec)) return Fail(FALSE, ERROR_PATH_NOT_FOUND);
    if (!fs::create_directory(host, ec)) return Fail(FALSE, ERROR_ACCESS_DENIED);
    return TRUE;
}

BOOL RemoveDirectoryW(LPCWSTR path) {
    API_TRACE(Files, RemoveDirectoryW, path);
    if (!path) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    fs::path host = sim::machine().HostPath(path);
    std::error_code ec;
    if (!fs::is_directory(host, ec)) return Fail(FALSE, ERROR_PATH_NOT_FOUND);
    if (!fs::is_empty(host, ec)) return Fail(FALSE, ERROR_DIR_NOT_EMPTY);
    fs::remove(host, ec);
    return TRUE;
}

DWORD GetFileAttributesW(LPCWSTR fileName) {
    API_TRACE(Files, GetFileAttributesW, fileName);
    if (!fileName) return Fail<DWORD>(INVALID_FILE_ATTRIBUTES, ERROR_INVALID_PARAMETER);
    fs::path host = sim::machine().HostPath(fileName);
    std::error_code ec;
    if (!fs::is_directory(host.parent_path(), ec))
        return Fail<DWORD>(INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND);
    if (!fs::exists(host, ec)) return Fail<DWORD>(INVALID_FILE_ATTRIBUTES, ERROR_FILE_NOT_FOUND);
    return fs::is_directory(host, ec) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
}

HANDLE FindFirstFileW(LPCWSTR fileName, LPWIN32_FIND_DATAW data) {
    API_TRACE(Files, FindFirstFileW, fileName, data);
    if (!fileName || !data) return Fail(INVALID_HANDLE_VALUE, ERROR_INVALID_PARAMETER);
    std::wstring path = fileName;
    std::size_t slash = path.find_last_of(L"\\/");
    std::wstring folder = slash == std::wstring::npos ? L"" : path.substr(0, slash + 1);
    std::wstring pattern = slash == std::wstring::npos ? path : path.substr(slash + 1);
    if (pattern.empty()) return Fail(INVALID_HANDLE_VALUE, ERROR_FILE_NOT_FOUND);
    if (pattern == L"*.*") pattern = L"*";
    fs::path dir = folder.empty() ? sim::machine().HostPath(L".") : sim::machine().HostPath(folder);
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) return Fail(INVALID_HANDLE_VALUE, ERROR_PATH_NOT_FOUND);
    auto obj = std::make_shared<FindObj>();
    std::wstring lowPattern = Lower(pattern);
    std::vector<fs::directory_entry> matches;
    for (const auto& e : fs::directory_iterator(dir, ec))
        if (WildMatch(lowPattern, Lower(sim::FromUtf8(e.path().filename().string()))))
            matches.push_back(e);
    std::sort(matches.begin(), matches.end());
    // A folder below a drive's root lists itself (".") and its parent ("..") first.
    std::wstring trimmed = folder;
    while (!trimmed.empty() && (trimmed.back() == L'\\' || trimmed.back() == L'/')) trimmed.pop_back();
    const bool root = trimmed.empty() || (trimmed.size() == 2 && trimmed[1] == L':');
    for (const wchar_t* dots : {L".", L".."}) {
        if (root || !WildMatch(lowPattern, dots)) continue;
        WIN32_FIND_DATAW d{};
        d.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
        std::wcsncpy(d.cFileName, dots, MAX_PATH - 1);
        obj->entries.push_back(d);
    }
    for (const auto& e : matches) {
        WIN32_FIND_DATAW d;
        FillFind(&d, e);
        obj->entries.push_back(d);
    }
    if (obj->entries.empty()) return Fail(INVALID_HANDLE_VALUE, ERROR_FILE_NOT_FOUND);
    *data = obj->entries[0];
    obj->next = 1;
    SetLastError(ERROR_SUCCESS);
    return sim::HandleTable::Get().Add(obj);
}

BOOL FindNextFileW(HANDLE find, LPWIN32_FIND_DATAW data) {
    API_TRACE(Files, FindNextFileW, find, data);
    auto f = sim::HandleTable::Get().FindAs<FindObj>(find);
    if (!f || !data) return Fail(FALSE, ERROR_INVALID_HANDLE);
    if (f->next >= f->entries.size()) return Fail(FALSE, ERROR_NO_MORE_FILES);
    *data = f->entries[f->next++];
    return TRUE;
}

BOOL FindClose(HANDLE find) {
    API_TRACE(Files, FindClose, find);
    if (!sim::HandleTable::Get().FindAs<FindObj>(find)) return Fail(FALSE, ERROR_INVALID_HANDLE);
    sim::HandleTable::Get().Close(find);
    return TRUE;
}

BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                     LPDWORD returned, LPOVERLAPPED arg8) {
    API_TRACE(Files, DeviceIoControl, device, code, in, inSize, out, outSize, returned, arg8);
    auto d = sim::HandleTable::Get().FindAs<DeviceFileObj>(device);
    if (!d) {
        if (sim::HandleTable::Get().Find(device)) return Fail(FALSE, ERROR_INVALID_FUNCTION);
        return Fail(FALSE, ERROR_INVALID_HANDLE);
    }
    // The device behind the handle has left (unplugged or re-enumerated): it no longer answers.
    sim::DeviceNode node;
    if (!sim::machine().devices().FindInstance(d->instanceId, &node) || !node.present || !d->model)
        return Fail(FALSE, ERROR_GEN_FAILURE);
    DWORD bytes = 0, error = 0;
    BOOL ok = d->model->IoControl(d->instanceId, code, in, inSize, out, outSize, &bytes, &error);
    if (returned) *returned = bytes;
    if (!ok) return Fail(FALSE, error);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}
