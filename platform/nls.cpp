#include "platform/nls.h"

#include <cstring>
#include <cwchar>
#include <string>

#include "platform/kernel.h"
#include "platform/sim/codepage.h"
#include "platform/sim/handles.h"
#include "platform/sim/machine.h"

using sim::Fail;

UINT GetACP() { return sim::machine().config().ansiCodePage; }

namespace {
UINT Resolve(UINT cp) { return cp == CP_ACP || cp == CP_OEMCP ? GetACP() : cp; }
}  // namespace

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR out,
                        int outChars) {
    if (text == nullptr || length == 0 || outChars < 0 || (out == nullptr && outChars != 0))
        return Fail(0, ERROR_INVALID_PARAMETER);
    std::string bytes = length < 0 ? std::string(text, std::strlen(text) + 1)
                                   : std::string(text, static_cast<size_t>(length));
    std::wstring wide;
    bool strict = (flags & MB_ERR_INVALID_CHARS) != 0;
    if (!sim::CodePageToWide(bytes, Resolve(codePage), &wide, strict)) {
        if (sim::CodePageName(Resolve(codePage)).empty()) return Fail(0, ERROR_INVALID_PARAMETER);
        return Fail(0, 1113 /* ERROR_NO_UNICODE_TRANSLATION */);
    }
    int need = static_cast<int>(wide.size());
    if (outChars == 0) return need;
    if (outChars < need) return Fail(0, ERROR_INSUFFICIENT_BUFFER);
    std::wmemcpy(out, wide.data(), wide.size());
    return need;
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR text, int length, LPSTR out,
                        int outBytes, LPCSTR defaultChar, LPBOOL usedDefault) {
    if (text == nullptr || length == 0 || outBytes < 0 || (out == nullptr && outBytes != 0))
        return Fail(0, ERROR_INVALID_PARAMETER);
    UINT cp = Resolve(codePage);
    if (cp == CP_UTF8 && (defaultChar != nullptr || usedDefault != nullptr))
        return Fail(0, ERROR_INVALID_PARAMETER);
    std::wstring wide = length < 0 ? std::wstring(text, std::wcslen(text) + 1)
                                   : std::wstring(text, static_cast<size_t>(length));
    std::string bytes;
    bool lossy = false;
    if (!sim::WideToCodePage(wide, cp, &bytes, defaultChar ? *defaultChar : '?', &lossy))
        return Fail(0, ERROR_INVALID_PARAMETER);
    if (usedDefault) *usedDefault = lossy ? TRUE : FALSE;
    int need = static_cast<int>(bytes.size());
    if (outBytes == 0) return need;
    if (outBytes < need) return Fail(0, ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(out, bytes.data(), bytes.size());
    return need;
}
