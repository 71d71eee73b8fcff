// The C runtime's start-up pieces of a windowed program.
#include <corecrt.h>

#include <winbase.h>

wchar_t* _wwincmdln() {
    wchar_t* p = GetCommandLineW();
    if (p == nullptr) return nullptr;
    if (*p == L'"') {
        ++p;
        while (*p != L'\0' && *p != L'"') ++p;
        if (*p == L'"') ++p;
    } else {
        while (*p != L'\0' && *p != L' ' && *p != L'\t') ++p;
    }
    while (*p == L' ' || *p == L'\t') ++p;
    return p;
}
