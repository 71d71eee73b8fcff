// Local memory and the system's message texts.
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

#include <winbase.h>
#include "machine/handles.h"
#include "machine/trace.h"

using sim::Fail;

namespace {

// The machine's one table of system error texts, as FormatMessageW returns them.
struct MessageText {
    DWORD code;
    const wchar_t* text;
};
const MessageText kSystemMessages[] = {
    {0, L"The operation completed successfully."},
    {1, L"Incorrect function."},
    {2, L"The system cannot find the file specified."},
    {3, L"The system cannot find the path specified."},
    {5, L"Access is denied."},
    {6, L"The handle is invalid."},
    {8, L"Not enough storage is available to process this command."},
    {13, L"The data is invalid."},
    {18, L"There are no more files."},
    {21, L"The device is not ready."},
    {29, L"The system cannot write to the specified device."},
    {30, L"The system cannot read from the specified device."},
    {31, L"A device attached to the system is not functioning."},
    {32, L"The process cannot access the file because it is being used by another process."},
    {38, L"Reached the end of the file."},
    {50, L"The request is not supported."},
    {80, L"The file exists."},
    {87, L"The parameter is incorrect."},
    {120, L"This function is not supported on this system."},
    {122, L"The data area passed to a system call is too small."},
    {123, L"The filename, directory name, or volume label syntax is incorrect."},
    {126, L"The specified module could not be found."},
    {127, L"The specified procedure could not be found."},
    {183, L"Cannot create a file when that file already exists."},
    {234, L"More data is available."},
    {258, L"The wait operation timed out."},
    {259, L"No more data is available."},
    {1004, L"Invalid flags."},
    {1300, L"Not all privileges referenced are assigned to the caller."},
    {1313, L"A specified privilege does not exist."},
    {1784, L"The supplied user buffer is not valid for the requested operation."},
};

const wchar_t* SystemText(DWORD code) {
    for (const auto& m : kSystemMessages)
        if (m.code == code) return m.text;
    return nullptr;
}

bool LanguageServed(DWORD languageId) {
    DWORD primary = languageId & 0x3FF;
    return languageId <= 0xFFFF && (primary == LANG_NEUTRAL || primary == LANG_ENGLISH);
}

}  // namespace

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) {
    API_TRACE(Windows, LocalAlloc, flags, bytes);
    void* p = (flags & LMEM_ZEROINIT) ? std::calloc(bytes ? bytes : 1, 1)
                                      : std::malloc(bytes ? bytes : 1);
    if (p == nullptr) return Fail<HLOCAL>(nullptr, ERROR_NOT_ENOUGH_MEMORY);
    return p;
}

HLOCAL LocalFree(HLOCAL memory) {
    API_TRACE(Windows, LocalFree, memory);
    std::free(memory);
    return nullptr;
}

DWORD FormatMessageW(DWORD flags, LPCVOID arg2, DWORD messageId, DWORD languageId, LPWSTR buffer,
                     DWORD size, void* arg7) {
    API_TRACE(Windows, FormatMessageW, flags, arg2, messageId, languageId, buffer, size, arg7);
    if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || (flags & FORMAT_MESSAGE_FROM_STRING) ||
        buffer == nullptr)
        return Fail<DWORD>(0, ERROR_INVALID_PARAMETER);
    if (!LanguageServed(languageId)) return Fail<DWORD>(0, ERROR_RESOURCE_LANG_NOT_FOUND);
    const wchar_t* found = SystemText(messageId);
    if (found == nullptr) return Fail<DWORD>(0, ERROR_MR_MID_NOT_FOUND);
    std::wstring text = std::wstring(found) + L"\r\n";
    auto length = static_cast<DWORD>(text.size());
    if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
        DWORD chars = length + 1 > size ? length + 1 : size;
        auto* out = static_cast<wchar_t*>(LocalAlloc(LMEM_ZEROINIT, chars * sizeof(wchar_t)));
        if (out == nullptr) return 0;
        std::wmemcpy(out, text.c_str(), length + 1);
        *reinterpret_cast<LPWSTR*>(buffer) = out;
    } else {
        if (size < length + 1) return Fail<DWORD>(0, ERROR_INSUFFICIENT_BUFFER);
        std::wmemcpy(buffer, text.c_str(), length + 1);
    }
    SetLastError(ERROR_SUCCESS);
    return length;
}
