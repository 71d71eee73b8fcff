// The locales the machine knows and GetLocaleInfoW (<winnls.h>, platform/kernel32/nls_picture.h).
#include <array>
#include <string>

#include <winbase.h>
#include <winnls.h>
#include "platform/kernel32/nls_picture.h"
#include "machine/handles.h"
#include "machine/machine.h"
#include "machine/trace.h"

namespace nls {

namespace {

constexpr std::array<LocaleData, 2> kLocales{{
    {0x0409, L"M/d/yyyy", L"dddd, MMMM d, yyyy", L"h:mm:ss tt", L"AM", L"PM", 1252},
    {0x0804, L"yyyy-M-d", L"yyyy'\u5E74'M'\u6708'd'\u65E5'", L"H:mm:ss", L"\u4E0A\u5348",
     L"\u4E0B\u5348", 936},
}};

const LocaleData* Known(LCID id) {
    for (const auto& l : kLocales)
        if (l.id == id) return &l;
    return nullptr;
}

}  // namespace

const LocaleData& UserLocale() {
    const LocaleData* l = Known(sim::machine().config().userLocale);
    return l != nullptr ? *l : kLocales[0];
}

const LocaleData* FindLocale(LCID locale) {
    if (locale == 0 || locale == LOCALE_USER_DEFAULT || locale == LOCALE_SYSTEM_DEFAULT)
        return &UserLocale();
    return Known(locale);
}

}  // namespace nls

LCID GetUserDefaultLCID() {
    API_TRACE(Text, GetUserDefaultLCID);
    return nls::UserLocale().id;
}

int GetLocaleInfoW(LCID locale, LCTYPE type, LPWSTR out, int outChars) {
    API_TRACE(Text, GetLocaleInfoW, locale, type, out, outChars);
    const nls::LocaleData* data = nls::FindLocale(locale);
    if (data == nullptr) return sim::Fail(0, ERROR_INVALID_PARAMETER);
    std::wstring value;
    switch (type & ~LOCALE_NOUSEROVERRIDE) {
        case LOCALE_STIMEFORMAT:
            value = data->time;
            break;
        case LOCALE_SSHORTDATE:
            value = data->shortDate;
            break;
        case LOCALE_SLONGDATE:
            value = data->longDate;
            break;
        case LOCALE_S1159:
            value = data->am;
            break;
        case LOCALE_S2359:
            value = data->pm;
            break;
        case LOCALE_IDEFAULTANSICODEPAGE:
            value = std::to_wstring(data->ansiCodePage);
            break;
        default:
            return sim::Fail(0, ERROR_INVALID_FLAGS);
    }
    return nls::Deliver(value, out, outChars);
}
