// Lead bytes, ANSI comparison, the wide helpers of the runtime library, and GDI fonts with the
// screen's device context.
#include <climits>
#include <cstring>

#include "common/sim_fixture.h"
#include <corecrt.h>
#include <wingdi.h>
#include <winbase.h>
#include <afxwin.h>
#include <afxcmn.h>
#include <winnls.h>
#include "machine/gdi_objects.h"

namespace {

class LeadBytes : public SimTest {};

using LeadBytes1252 = WithCodePage<SimTest, 1252>;

TEST_F(LeadBytes, CharNextStepsOverDoubleByteCharactersButNeverPastTheEnd) {
    EXPECT_TRUE(IsDBCSLeadByte(0x81));
    EXPECT_TRUE(IsDBCSLeadByte(0xFE));
    EXPECT_FALSE(IsDBCSLeadByte(0x80));
    EXPECT_FALSE(IsDBCSLeadByte(0xFF));
    const char text[] = "a\xD6\xD0\xD6";  // 'a', 中, then a lone lead byte
    EXPECT_EQ(CharNextA(text), text + 1);
    EXPECT_EQ(CharNextA(text + 1), text + 3);
    EXPECT_EQ(CharNextA(text + 3), text + 4);  // onto the terminator
    EXPECT_EQ(CharNextA(text + 4), text + 4);
}

TEST_F(LeadBytes1252, SingleBytePageHasNoLeadBytesAndKeepsItsUnassignedBytes) {
    EXPECT_FALSE(IsDBCSLeadByte(0xD6));
    const char text[] = "\xD6\xD0";
    EXPECT_EQ(CharNextA(text), text + 1);
    // 0x81 has no character in this page; it maps to the control U+0081 and back.
    wchar_t wide[4] = {};
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, "\x81\xE9", 2, wide, 4), 2);
    EXPECT_EQ(wide[0], L'\u0081');
    EXPECT_EQ(wide[1], L'é');
    char back[4] = {};
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, 2, back, 4, nullptr, nullptr), 2);
    EXPECT_EQ(std::string(back, 2), "\x81\xE9");
}

TEST_F(LeadBytes, ConversionSizesFirstThenConvertsKeepingEmbeddedZeros) {
    const char text[] = "a\0\xD6\xD0";
    int need = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text, 4, nullptr, 0);
    EXPECT_EQ(need, 3);
    wchar_t wide[3] = {};
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text, 4, wide, 2), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text, 4, wide, need), 3);
    EXPECT_EQ(std::wstring(wide, 3), std::wstring(L"a\0中", 3));
}

TEST_F(LeadBytes, CompareStringOrdersLettersThenCase) {
    EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, 0, "abc", -1, "abc", -1), CSTR_EQUAL);
    EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, 0, "abc", -1, "abd", -1), CSTR_LESS_THAN);
    EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, 0, "b", -1, "A", -1), CSTR_GREATER_THAN);
    EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, 0, "A", -1, "a", -1), CSTR_GREATER_THAN);
    EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, "A", -1, "a", -1), CSTR_EQUAL);
    EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, 0, "abX", 2, "ab", -1), CSTR_EQUAL);
    EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, 0, "\xD6\xD0", -1, "\xD6\xD0", -1), CSTR_EQUAL);
    EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, 0x10000000, "a", -1, "a", -1), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FLAGS));
    EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, 0, nullptr, -1, "a", -1), 0);
}

TEST(WideHelpers, WtoiReadsSignedDecimalsAndClampsOutOfRange) {
    EXPECT_EQ(_wtoi(L"  -42xyz"), -42);
    EXPECT_EQ(_wtoi(L"+9"), 9);
    EXPECT_EQ(_wtoi(L"abc"), 0);
    EXPECT_EQ(_wtoi(L""), 0);
    EXPECT_EQ(_wtoi(L"99999999999999999999"), INT_MAX);
    EXPECT_EQ(_wtoi(L"-2147483648"), INT_MIN);
    EXPECT_EQ(_wtoi(L"-99999999999"), INT_MIN);
}

TEST(WideHelpers, WcsicmpIgnoresCase) {
    EXPECT_EQ(_wcsicmp(L"Setup", L"SETUP"), 0);
    EXPECT_LT(_wcsicmp(L"abc", L"ABD"), 0);
    EXPECT_GT(_wcsicmp(L"abc", L"AB"), 0);
}

class GdiFonts : public SimTest {};

TEST_F(GdiFonts, ScreenContextHoldsTheStockSystemFont) {
    HDC screen = GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(GetObjectType(screen), static_cast<DWORD>(OBJ_DC));
    EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSY), 96);
    HGDIOBJ font = GetCurrentObject(screen, OBJ_FONT);
    EXPECT_EQ(GetObjectType(font), static_cast<DWORD>(OBJ_FONT));
    LOGFONTW lf{};
    EXPECT_EQ(GetObjectW(font, 0, nullptr), static_cast<int>(sizeof lf));
    EXPECT_EQ(GetObjectW(font, sizeof lf, &lf), static_cast<int>(sizeof lf));
    EXPECT_STREQ(lf.lfFaceName, L"System");
    EXPECT_EQ(lf.lfCharSet, GB2312_CHARSET);
    // A stock object survives DeleteObject, and a context is not deleted that way.
    EXPECT_TRUE(DeleteObject(font));
    EXPECT_EQ(GetObjectType(font), static_cast<DWORD>(OBJ_FONT));
    EXPECT_FALSE(DeleteObject(screen));
    EXPECT_EQ(sim::GdiTable::Get().LiveCount(OBJ_DC), 1u);
    EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
    EXPECT_EQ(ReleaseDC(nullptr, screen), 0);
    EXPECT_EQ(sim::GdiTable::Get().LiveCount(), 0u);
    EXPECT_EQ(GetDC(reinterpret_cast<HWND>(0x1234)), nullptr);
}

TEST_F(GdiFonts, PointFontsAreSizedForTheScreenAndFreedWithTheirObject) {
    {
        CFont font;
        ASSERT_TRUE(font.CreatePointFont(90, L"A face name longer than thirty-one characters"));
        LOGFONTW lf{};
        ASSERT_GT(GetObjectW(static_cast<HFONT>(font), sizeof lf, &lf), 0);
        EXPECT_EQ(lf.lfHeight, -12);
        EXPECT_EQ(std::wcslen(lf.lfFaceName), static_cast<size_t>(LF_FACESIZE - 1));
        EXPECT_EQ(lf.lfCharSet, DEFAULT_CHARSET);
        EXPECT_EQ(sim::GdiTable::Get().LiveCount(OBJ_FONT), 1u);
        ASSERT_TRUE(font.CreatePointFont(INT_MAX, L"Huge"));  // replaces the first one
        GetObjectW(font.GetSafeHandle(), sizeof lf, &lf);
        EXPECT_LT(lf.lfHeight, 0);
        EXPECT_EQ(sim::GdiTable::Get().LiveCount(OBJ_FONT), 1u);
    }
    EXPECT_EQ(sim::GdiTable::Get().LiveCount(), 0u);
    EXPECT_FALSE(DeleteObject(nullptr));
}

}  // namespace
