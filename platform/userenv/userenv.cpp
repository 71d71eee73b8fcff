#include <userenv.h>

#include <cwchar>
#include <string>

#include <winbase.h>
#include "machine/handles.h"
#include "machine/machine.h"
#include "machine/trace.h"

using sim::Fail;

// Every token on the machine is the logged-on user's; the layer does not tell tokens of other
// users apart here.
BOOL GetUserProfileDirectoryW(HANDLE token, LPWSTR profileDir, LPDWORD size) {
    API_TRACE(Processes, GetUserProfileDirectoryW, token, profileDir, size);
    if (size == nullptr) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    if (token == nullptr || !sim::HandleTable::Get().Find(token))
        return Fail(FALSE, ERROR_INVALID_HANDLE);
    std::wstring folder = sim::machine().config().profileFolder;
    while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
    if (folder.empty()) return Fail(FALSE, ERROR_FILE_NOT_FOUND);
    auto need = static_cast<DWORD>(folder.size() + 1);
    if (profileDir == nullptr || *size < need) {
        *size = need;
        return Fail(FALSE, ERROR_INSUFFICIENT_BUFFER);
    }
    std::wmemcpy(profileDir, folder.c_str(), need);
    *size = need;
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}
