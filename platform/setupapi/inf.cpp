// The SetupAPI's INF functions over the layer's .inf reader (machine/inf.h).
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include <winbase.h>
#include <winnls.h>
#include <setupapi.h>
#include "machine/handles.h"
#include "machine/inf.h"
#include "machine/machine.h"
#include "machine/trace.h"

using sim::Fail;

namespace {

struct InfObj : sim::KObject {
    sim::InfFile file;
};

std::shared_ptr<InfObj> FindInf(PVOID inf) {
    if (inf == nullptr || inf == INVALID_HANDLE_VALUE) return nullptr;
    return sim::HandleTable::Get().FindAs<InfObj>(inf);
}

// Reads the whole file through the platform's file functions; sets the last error on failure.
bool ReadWholeFile(PCWSTR path, std::string* bytes) {
    HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    char chunk[4096];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(h, chunk, sizeof chunk, &got, nullptr) != FALSE) && got > 0)
        bytes->append(chunk, got);
    DWORD error = GetLastError();
    CloseHandle(h);
    if (!ok) return Fail(false, error);
    return true;
}

// Opens and parses the file; fills *errorLine and the last error on failure.
std::shared_ptr<InfObj> Load(PCWSTR path, PUINT errorLine) {
    if (errorLine) *errorLine = 0;
    if (path == nullptr || *path == 0)
        return Fail<std::shared_ptr<InfObj>>(nullptr, ERROR_INVALID_PARAMETER);
    std::string bytes;
    if (!ReadWholeFile(path, &bytes)) return nullptr;
    auto obj = std::make_shared<InfObj>();
    DWORD error = 0;
    UINT line = 0;
    if (!obj->file.Parse(sim::DecodeInfBytes(bytes, GetACP()), &error, &line)) {
        if (errorLine) *errorLine = line;
        return Fail<std::shared_ptr<InfObj>>(nullptr, error);
    }
    return obj;
}

// The first value of a [Version] line, or empty.
std::wstring VersionValue(const sim::InfFile& file, const wchar_t* key) {
    int s = file.FindSection(L"Version");
    if (s < 0) return L"";
    for (const sim::InfLine& l : file.Sections()[s].lines)
        if (l.hasKey && sim::Lower(l.key) == sim::Lower(key) && !l.fields.empty())
            return l.fields[0];
    return L"";
}

const sim::InfLine* LineOf(const INFCONTEXT* context, std::shared_ptr<InfObj>* holder) {
    if (context == nullptr) return Fail<const sim::InfLine*>(nullptr, ERROR_INVALID_PARAMETER);
    *holder = FindInf(context->Inf);
    if (!*holder) return Fail<const sim::InfLine*>(nullptr, ERROR_INVALID_HANDLE);
    const auto& sections = (*holder)->file.Sections();
    if (context->Section >= sections.size() ||
        context->Line >= sections[context->Section].lines.size())
        return Fail<const sim::InfLine*>(nullptr, ERROR_INVALID_PARAMETER);
    return &sections[context->Section].lines[context->Line];
}

BOOL CopyOut(const std::wstring& text, PWSTR buffer, DWORD size, PDWORD required) {
    auto need = static_cast<DWORD>(text.size() + 1);
    if (required) *required = need;
    if (buffer == nullptr) {
        if (size != 0) return Fail(FALSE, ERROR_INVALID_USER_BUFFER);
        SetLastError(ERROR_SUCCESS);
        return TRUE;
    }
    if (size < need) return Fail(FALSE, ERROR_INSUFFICIENT_BUFFER);
    std::wmemcpy(buffer, text.c_str(), need);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

}  // namespace

HINF SetupOpenInfFileW(PCWSTR fileName, PCWSTR infClass, DWORD infStyle, PUINT errorLine) {
    API_TRACE(Devices, SetupOpenInfFileW, fileName, infClass, infStyle, errorLine);
    auto obj = Load(fileName, errorLine);
    if (!obj) return INVALID_HANDLE_VALUE;
    std::wstring signature = sim::Lower(VersionValue(obj->file, L"Signature"));
    bool win4 = signature == L"$windows nt$" || signature == L"$chicago$";
    if (!(infStyle & INF_STYLE_WIN4) || !win4)
        return Fail(INVALID_HANDLE_VALUE, ERROR_WRONG_INF_STYLE);
    if (infClass != nullptr &&
        sim::Lower(VersionValue(obj->file, L"Class")) != sim::Lower(infClass))
        return Fail(INVALID_HANDLE_VALUE, ERROR_CLASS_MISMATCH);
    SetLastError(ERROR_SUCCESS);
    return sim::HandleTable::Get().Add(obj);
}

void SetupCloseInfFile(HINF inf) {
    API_TRACE_VOID(Devices, SetupCloseInfFile, inf);
    if (FindInf(inf)) sim::HandleTable::Get().Close(inf);
}

BOOL SetupFindFirstLineW(HINF inf, PCWSTR section, PCWSTR key, PINFCONTEXT context) {
    API_TRACE(Devices, SetupFindFirstLineW, inf, section, key, context);
    auto obj = FindInf(inf);
    if (!obj) return Fail(FALSE, ERROR_INVALID_HANDLE);
    if (section == nullptr || context == nullptr) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    int s = obj->file.FindSection(section);
    if (s < 0) return Fail(FALSE, ERROR_LINE_NOT_FOUND);
    const auto& lines = obj->file.Sections()[s].lines;
    std::wstring want = key ? sim::Lower(key) : L"";
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (key != nullptr && !(lines[i].hasKey && sim::Lower(lines[i].key) == want)) continue;
        context->Inf = inf;
        context->CurrentInf = inf;
        context->Section = static_cast<UINT>(s);
        context->Line = static_cast<UINT>(i);
        SetLastError(ERROR_SUCCESS);
        return TRUE;
    }
    return Fail(FALSE, ERROR_LINE_NOT_FOUND);
}

BOOL SetupFindNextLine(const INFCONTEXT* contextIn, PINFCONTEXT contextOut) {
    API_TRACE(Devices, SetupFindNextLine, contextIn, contextOut);
    std::shared_ptr<InfObj> obj;
    if (!LineOf(contextIn, &obj)) return FALSE;
    if (contextOut == nullptr) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    INFCONTEXT next = *contextIn;
    ++next.Line;
    if (next.Line >= obj->file.Sections()[next.Section].lines.size())
        return Fail(FALSE, ERROR_LINE_NOT_FOUND);
    *contextOut = next;
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL SetupGetStringFieldW(const INFCONTEXT* context, DWORD fieldIndex, PWSTR buffer,
                          DWORD bufferSize, PDWORD requiredSize) {
    API_TRACE(Devices, SetupGetStringFieldW, context, fieldIndex, buffer, bufferSize, requiredSize);
    std::shared_ptr<InfObj> obj;
    const sim::InfLine* line = LineOf(context, &obj);
    if (!line) return FALSE;
    if (fieldIndex == 0) {
        if (!line->hasKey) return Fail(FALSE, ERROR_INVALID_PARAMETER);
        return CopyOut(line->key, buffer, bufferSize, requiredSize);
    }
    if (fieldIndex > line->fields.size()) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    return CopyOut(line->fields[fieldIndex - 1], buffer, bufferSize, requiredSize);
}

DWORD SetupGetFieldCount(const INFCONTEXT* context) {
    API_TRACE(Devices, SetupGetFieldCount, context);
    std::shared_ptr<InfObj> obj;
    const sim::InfLine* line = LineOf(context, &obj);
    if (!line) return 0;
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(line->fields.size());
}

BOOL SetupDiGetINFClassW(PCWSTR infName, LPGUID classGuid, PWSTR className, DWORD classNameSize,
                         PDWORD requiredSize) {
    API_TRACE(Devices, SetupDiGetINFClassW, infName, classGuid, className, classNameSize,
              requiredSize);
    if (classGuid == nullptr) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    auto obj = Load(infName, nullptr);
    if (!obj) return FALSE;
    std::wstring name = VersionValue(obj->file, L"Class");
    std::wstring guidText = VersionValue(obj->file, L"ClassGUID");
    GUID guid{};
    bool haveGuid = !guidText.empty() && sim::ParseGuid(guidText, &guid);
    if (name.empty() && !haveGuid) return Fail(FALSE, ERROR_NO_ASSOCIATED_CLASS);
    if (name.empty()) {
        // Named by its GUID only: the installed class of that GUID gives the name.
        for (const sim::SetupClass& c : sim::InstalledSetupClasses())
            if (c.guid == guid) name = c.name;
        if (name.empty()) return Fail(FALSE, ERROR_NO_ASSOCIATED_CLASS);
    }
    if (className == nullptr) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    if (!CopyOut(name, className, classNameSize, requiredSize)) return FALSE;
    *classGuid = guid;
    return TRUE;
}

BOOL SetupDiClassGuidsFromNameW(PCWSTR className, LPGUID guidList, DWORD guidListSize,
                                PDWORD requiredSize) {
    API_TRACE(Devices, SetupDiClassGuidsFromNameW, className, guidList, guidListSize, requiredSize);
    if (className == nullptr || requiredSize == nullptr)
        return Fail(FALSE, ERROR_INVALID_PARAMETER);
    std::vector<GUID> found;
    for (const sim::SetupClass& c : sim::InstalledSetupClasses())
        if (sim::Lower(c.name) == sim::Lower(className)) found.push_back(c.guid);
    *requiredSize = static_cast<DWORD>(found.size());
    if (guidListSize < found.size()) return Fail(FALSE, ERROR_INSUFFICIENT_BUFFER);
    if (!found.empty() && guidList == nullptr) return Fail(FALSE, ERROR_INVALID_USER_BUFFER);
    for (std::size_t i = 0; i < found.size(); ++i) guidList[i] = found[i];
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}
