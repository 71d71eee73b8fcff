#include <winnls.h>

#include <wctype.h>

#include <algorithm>
#include <clocale>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <string>

#include <winbase.h>
#include "machine/codepage.h"
#include "machine/handles.h"
#include "machine/machine.h"
#include "machine/trace.h"

using sim::Fail;

UINT GetACP() {
    API_TRACE(Text, GetACP);
    return sim::machine().config().ansiCodePage;
}

LANGID GetUserDefaultUILanguage() {
    API_TRACE(Text, GetUserDefaultUILanguage);
    return sim::machine().config().uiLanguage;
}

namespace {
UINT Resolve(UINT cp) {
    return cp == CP_ACP || cp == CP_OEMCP ? GetACP() : cp;
}
}  // namespace

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR out,
                        int outChars) {
    API_TRACE(Text, MultiByteToWideChar, codePage, flags, text, length, out, outChars);
    if (text == nullptr || length == 0 || outChars < 0 || (out == nullptr && outChars != 0))
        return Fail(0, ERROR_INVALID_PARAMETER);
    std::string bytes = length < 0 ? std::string(text, std::strlen(text) + 1)
                                   : std::string(text, static_cast<size_t>(length));
    std::wstring wide;
    bool strict = (flags & MB_ERR_INVALID_CHARS) != 0;
    if (!sim::CodePageToWide(bytes, Resolve(codePage), &wide, strict)) {
        if (sim::CodePageName(Resolve(codePage)).empty()) return Fail(0, ERROR_INVALID_PARAMETER);
        return Fail(0, ERROR_NO_UNICODE_TRANSLATION);
    }
    int need = static_cast<int>(wide.size());
    if (outChars == 0) return need;
    if (outChars < need) return Fail(0, ERROR_INSUFFICIENT_BUFFER);
    std::wmemcpy(out, wide.data(), wide.size());
    return need;
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR text, int length, LPSTR out,
                        int outBytes, LPCSTR defaultChar, LPBOOL usedDefault) {
    API_TRACE(Text, WideCharToMultiByte, codePage, flags, text, length, out, outBytes, defaultChar,
              usedDefault);
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

BOOL IsDBCSLeadByte(BYTE byte) {
    API_TRACE(Text, IsDBCSLeadByte, byte);
    return sim::IsLeadByte(GetACP(), byte) ? TRUE : FALSE;
}

LPSTR CharNextA(LPCSTR current) {
    API_TRACE(Text, CharNextA, current);
    if (current == nullptr) return nullptr;
    if (*current == 0) return const_cast<LPSTR>(current);
    if (IsDBCSLeadByte(static_cast<BYTE>(*current)) && current[1] != 0)
        return const_cast<LPSTR>(current + 2);
    return const_cast<LPSTR>(current + 1);
}

namespace {

// Simple case folding that does not depend on the process's C locale.
wchar_t Fold(wchar_t c) {
    static locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    if (utf8 != static_cast<locale_t>(0)) return static_cast<wchar_t>(towlower_l(c, utf8));
    return static_cast<wchar_t>(std::towlower(c));
}

}  // namespace

int CompareStringA(LCID locale, DWORD flags, LPCSTR text1, int length1, LPCSTR text2, int length2) {
    API_TRACE(Text, CompareStringA, locale, flags, text1, length1, text2, length2);
    if (text1 == nullptr || text2 == nullptr || length1 < -1 || length2 < -1)
        return Fail(0, ERROR_INVALID_PARAMETER);
    if ((flags & ~NORM_IGNORECASE) != 0) return Fail(0, ERROR_INVALID_FLAGS);
    (void)locale;  // one user locale on the machine
    std::string a = length1 < 0 ? std::string(text1) : std::string(text1, length1);
    std::string b = length2 < 0 ? std::string(text2) : std::string(text2, length2);
    std::wstring wa, wb;
    sim::CodePageToWide(a, GetACP(), &wa);
    sim::CodePageToWide(b, GetACP(), &wb);
    auto order = [](wchar_t x, wchar_t y) { return x < y ? CSTR_LESS_THAN : CSTR_GREATER_THAN; };
    size_t n = std::min(wa.size(), wb.size());
    for (size_t i = 0; i < n; ++i)
        if (Fold(wa[i]) != Fold(wb[i])) return order(Fold(wa[i]), Fold(wb[i]));
    if (wa.size() != wb.size()) return wa.size() < wb.size() ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
    if (flags & NORM_IGNORECASE) return CSTR_EQUAL;
    for (size_t i = 0; i < n; ++i)
        if (wa[i] != wb[i]) return order(wb[i], wa[i]);  // lower case (the larger value) first
    return CSTR_EQUAL;
}
