// The IP address control: its four fields, the dotted text and the address, typing across the
// fields, range clamping when a field loses the focus, and its notifications.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <commctrl.h>
#include <winuser.h>
#include "common/window_helper.h"

namespace {

constexpr int kId = 30116;

class IpAddressTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        parent_ = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
        ip_ = CreateWindowExW(0, WC_IPADDRESSW, L"", WS_CHILD | WS_VISIBLE, 10, 10, 160, 22,
                              parent_, reinterpret_cast<HMENU>(kId), nullptr, nullptr);
        ASSERT_NE(ip_, nullptr);
        for (HWND h = GetWindow(ip_, GW_CHILD); h != nullptr; h = GetWindow(h, GW_HWNDNEXT))
            fields_.push_back(h);
        MessageLog().Clear();
    }
    static std::wstring Text(HWND w) {
        wchar_t buffer[64] = {};
        GetWindowTextW(w, buffer, 64);
        return buffer;
    }
    void Type(const std::wstring& keys) {
        for (wchar_t c : keys) SendMessageW(GetFocus(), WM_CHAR, c, 0);
    }
    HWND Field(int i) {
        for (HWND f : fields_)
            if (GetDlgCtrlID(f) == i) return f;
        return nullptr;
    }
    std::vector<UINT> Commands() {
        std::vector<UINT> out;
        for (const Logged& l : Entries(WM_COMMAND, parent_)) {
            EXPECT_EQ(LOWORD(l.wParam), kId);
            EXPECT_EQ(reinterpret_cast<HWND>(l.lParam), ip_);
            out.push_back(HIWORD(l.wParam));
        }
        return out;
    }

    HWND parent_ = nullptr;
    HWND ip_ = nullptr;
    std::vector<HWND> fields_;
};

TEST_F(IpAddressTest, MadeOfFourNumberOnlyEditsOfThreeDigits) {
    ASSERT_EQ(fields_.size(), 4u);
    int left = -1;
    for (int i = 0; i < 4; ++i) {
        HWND f = Field(i);
        ASSERT_NE(f, nullptr);
        wchar_t name[16] = {};
        GetClassNameW(f, name, 16);
        EXPECT_STREQ(name, L"Edit");
        EXPECT_TRUE(GetWindowLongPtrW(f, GWL_STYLE) & ES_NUMBER);
        EXPECT_EQ(SendMessageW(f, EM_GETLIMITTEXT, 0, 0), 3);
        RECT r;
        GetWindowRect(f, &r);
        EXPECT_GT(r.left, left);  // side by side, left to right
        left = r.left;
    }
    EXPECT_EQ(Text(ip_), L"0.0.0.0");
    EXPECT_TRUE(SendMessageW(ip_, IPM_ISBLANK, 0, 0));
}

TEST_F(IpAddressTest, TextAndAddressRoundTrip) {
    struct Case {
        const wchar_t* set;
        const wchar_t* text;
        int filled;
        DWORD address;
        std::vector<std::wstring> fields;
    };
    const std::vector<Case> cases = {
        {L"192.168.1.20", L"192.168.1.20", 4, 0xC0A80114u, {L"192", L"168", L"1", L"20"}},
        {L"", L"0.0.0.0", 0, 0, {L"", L"", L"", L""}},
        {L"10.0.0", L"10.0.0.0", 3, 0x0A000000u, {L"10", L"0", L"0", L""}},
        {L"1..3.4", L"1.0.3.4", 3, 0x01000304u, {L"1", L"", L"3", L"4"}},
        {L"300.1.2.3", L"255.1.2.3", 4, 0xFF010203u, {L"255", L"1", L"2", L"3"}},
        {L"a.b.8.9", L"0.0.8.9", 2, 0x00000809u, {L"", L"", L"8", L"9"}},
        {L"1.2.3.4.5", L"1.2.3.4", 4, 0x01020304u, {L"1", L"2", L"3", L"4"}},
        {L" 7 . 8 .9. 10", L"7.8.9.10", 4, 0x0708090Au, {L"7", L"8", L"9", L"10"}},
    };
    for (const Case& c : cases) {
        SetWindowTextW(ip_, c.set);
        EXPECT_EQ(Text(ip_), c.text) << c.set;
        DWORD address = 0xDEADBEEF;
        EXPECT_EQ(SendMessageW(ip_, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address)),
                  c.filled)
            << c.set;
        EXPECT_EQ(address, c.address) << c.set;
        EXPECT_EQ(SendMessageW(ip_, IPM_ISBLANK, 0, 0) != 0, c.filled == 0) << c.set;
        for (int i = 0; i < 4; ++i) EXPECT_EQ(Text(Field(i)), c.fields[i]) << c.set;
    }
}

TEST_F(IpAddressTest, SetAndClearTheAddress) {
    SendMessageW(ip_, IPM_SETADDRESS, 0, MAKEIPADDRESS(10, 64, 0, 255));
    EXPECT_EQ(Text(ip_), L"10.64.0.255");
    EXPECT_EQ(FIRST_IPADDRESS(0xC0A80114u), 192);
    EXPECT_EQ(FOURTH_IPADDRESS(0xC0A80114u), 20);
    EXPECT_FALSE(SendMessageW(ip_, IPM_ISBLANK, 0, 0));
    SendMessageW(ip_, IPM_CLEARADDRESS, 0, 0);
    EXPECT_TRUE(SendMessageW(ip_, IPM_ISBLANK, 0, 0));
    EXPECT_EQ(Text(ip_), L"0.0.0.0");
    EXPECT_EQ(SendMessageW(ip_, IPM_GETADDRESS, 0, 0), 0);  // no DWORD to fill: only the count
}

TEST_F(IpAddressTest, TypingMovesAcrossTheFieldsOnTheThirdDigitOrADot) {
    SendMessageW(ip_, IPM_SETFOCUS, 0, 0);
    EXPECT_EQ(GetFocus(), Field(0));
    Type(L"192");
    EXPECT_EQ(GetFocus(), Field(1));
    Type(L"168.");
    EXPECT_EQ(GetFocus(), Field(2));
    Type(L".");  // a dot in a blank field stays there
    EXPECT_EQ(GetFocus(), Field(2));
    Type(L"1.x5");
    EXPECT_EQ(GetFocus(), Field(3));
    Type(L"20");
    EXPECT_EQ(Text(Field(3)), L"520");
    EXPECT_EQ(Text(ip_), L"192.168.1.255");  // read within the range even before it is left
    DWORD address = 0;
    EXPECT_EQ(SendMessageW(ip_, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address)), 4);
    EXPECT_EQ(address, static_cast<DWORD>(MAKEIPADDRESS(192, 168, 1, 255)));
    Type(L"9");  // the last field is full: no further field to move to
    EXPECT_EQ(GetFocus(), Field(3));
}

TEST_F(IpAddressTest, AFieldLeavingTheFocusIsClampedAndReported) {
    std::vector<std::pair<int, int>> changed;  // (field, value)
    Answers() = [&](HWND w, UINT m, WPARAM wp, LPARAM lp) -> std::optional<LRESULT> {
        if (w == parent_ && m == WM_NOTIFY) {
            auto* nm = reinterpret_cast<const NMIPADDRESS*>(lp);
            EXPECT_EQ(nm->hdr.hwndFrom, ip_);
            EXPECT_EQ(nm->hdr.idFrom, static_cast<UINT_PTR>(kId));
            EXPECT_EQ(wp, static_cast<WPARAM>(kId));
            if (nm->hdr.code == IPN_FIELDCHANGED) changed.emplace_back(nm->iField, nm->iValue);
        }
        return std::nullopt;
    };
    SendMessageW(ip_, IPM_SETFOCUS, 0, 0);
    Type(L"999");  // moves on to the second field
    EXPECT_EQ(Text(Field(0)), L"255");
    SendMessageW(ip_, IPM_SETFOCUS, 3, 0);  // leaves the second field blank
    SetFocus(parent_);
    EXPECT_EQ(changed, (std::vector<std::pair<int, int>>{{0, 255}, {1, -1}, {3, -1}}));

    // A narrower range set for a field holds the same way.
    EXPECT_TRUE(SendMessageW(ip_, IPM_SETRANGE, 2, MAKEIPRANGE(10, 20)));
    EXPECT_FALSE(SendMessageW(ip_, IPM_SETRANGE, 4, MAKEIPRANGE(10, 20)));
    EXPECT_FALSE(SendMessageW(ip_, IPM_SETRANGE, 1, MAKEIPRANGE(30, 20)));
    SendMessageW(ip_, IPM_SETFOCUS, 2, 0);
    Type(L"5");
    SetFocus(parent_);
    EXPECT_EQ(Text(Field(2)), L"10");
}

TEST_F(IpAddressTest, FieldChangesReachTheParentAsTheControlsEnChange) {
    SendMessageW(ip_, IPM_SETFOCUS, 1, 0);
    Type(L"4");
    EXPECT_EQ(Commands(), std::vector<UINT>{EN_CHANGE});
    MessageLog().Clear();
    SendMessageW(ip_, IPM_SETADDRESS, 0, MAKEIPADDRESS(1, 2, 3, 4));  // one change, one message
    EXPECT_EQ(Commands(), std::vector<UINT>{EN_CHANGE});
    MessageLog().Clear();
    SetWindowTextW(ip_, L"1.2.3.4");  // nothing changes
    EXPECT_TRUE(Commands().empty());
}

TEST_F(IpAddressTest, DisablingTheControlDisablesItsFields) {
    EnableWindow(ip_, FALSE);
    for (HWND f : fields_) EXPECT_FALSE(IsWindowEnabled(f));
    EnableWindow(ip_, TRUE);
    for (HWND f : fields_) EXPECT_TRUE(IsWindowEnabled(f));
}

TEST_F(IpAddressTest, FocusOnTheControlGoesToAField) {
    SetWindowTextW(ip_, L"1.2");
    SetFocus(ip_);
    EXPECT_EQ(GetFocus(), Field(0));
    SendMessageW(ip_, IPM_SETFOCUS, 9, 0);  // out of range: the first blank field
    EXPECT_EQ(GetFocus(), Field(2));
    DWORD start = 9, end = 9;
    SendMessageW(ip_, IPM_SETFOCUS, 1, 0);
    SendMessageW(Field(1), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);  // its text selected, so typing replaces it
    EXPECT_EQ(end, 1u);
}

TEST_F(IpAddressTest, CommonControlsInitialisationChecksItsRequest) {
    INITCOMMONCONTROLSEX init{sizeof init, ICC_INTERNET_CLASSES | ICC_WIN95_CLASSES};
    EXPECT_TRUE(InitCommonControlsEx(&init));
    init.dwSize = 3;
    EXPECT_FALSE(InitCommonControlsEx(&init));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(InitCommonControlsEx(nullptr));
}

}  // namespace
