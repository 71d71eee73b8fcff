// The date and time picker: getting and setting its time, its pictures, editing field by field
// with keys, digits and the mouse, the check box of DTS_SHOWNONE, its range, and the parent's
// DTN_DATETIMECHANGE.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include <commctrl.h>
#include "machine/control/input.h"
#include <wingdi.h>
#include <afxwin.h>
#include <afxcmn.h>
#include <winuser.h>
#include "common/window_helper.h"

namespace {

constexpr int kId = 3301;
// Sunday, 15 March 2026, 14:05:09.
constexpr SYSTEMTIME kStart{2026, 3, 0, 15, 14, 5, 9, 0};

SYSTEMTIME Date(int y, int m, int d, int h = 14, int mi = 5, int s = 9) {
    return {
        static_cast<WORD>(y),  static_cast<WORD>(m), 0, static_cast<WORD>(d), static_cast<WORD>(h),
        static_cast<WORD>(mi), static_cast<WORD>(s), 0};
}

bool Same(const SYSTEMTIME& a, const SYSTEMTIME& b) {
    return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDay == b.wDay && a.wHour == b.wHour &&
           a.wMinute == b.wMinute && a.wSecond == b.wSecond;
}

class DateTimeTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        parent_ = MakeWindow(WS_POPUP | WS_VISIBLE, nullptr, 0, L"", {0, 0, 400, 200});
        ASSERT_NE(parent_, nullptr);
        SetForegroundWindow(parent_);
    }
    HWND Make(DWORD style, const SYSTEMTIME& time = kStart) {
        HWND h = CreateWindowExW(0, DATETIMEPICK_CLASSW, L"", WS_CHILD | WS_VISIBLE | style, 10, 10,
                                 200, 22, parent_, reinterpret_cast<HMENU>(kId), nullptr, nullptr);
        EXPECT_NE(h, nullptr);
        EXPECT_TRUE(SendMessageW(h, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&time)));
        Drain();
        MessageLog().Clear();
        return h;
    }
    static std::wstring Text(HWND h) {
        wchar_t buffer[128] = {};
        GetWindowTextW(h, buffer, 128);
        return buffer;
    }
    static SYSTEMTIME Time(HWND h) {
        SYSTEMTIME t{};
        EXPECT_EQ(SendMessageW(h, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&t)), GDT_VALID);
        return t;
    }
    // The parent's DTN_DATETIMECHANGE notifications, as the flags they carried.
    // (Taken by Watch's answer: the structure lives for the call only.)
    std::vector<DWORD> Changes(SYSTEMTIME* last = nullptr) {
        std::vector<DWORD> out;
        out.swap(changes_);
        if (last != nullptr) *last = last_;
        return out;
    }
    void Watch() {
        Answers() = [this](HWND, UINT m, WPARAM, LPARAM lp) -> std::optional<LRESULT> {
            if (m != WM_NOTIFY) return std::nullopt;
            const auto* nm = reinterpret_cast<const NMDATETIMECHANGE*>(lp);
            if (nm->nmhdr.code != DTN_DATETIMECHANGE) return std::nullopt;
            EXPECT_EQ(nm->nmhdr.idFrom, static_cast<UINT_PTR>(kId));
            changes_.push_back(nm->dwFlags);
            last_ = nm->st;
            return 0;
        };
    }
    // '<' '>' '^' '+' '-' press Left, Right, Home, Up and Down; other characters are typed.
    static void Keys(HWND h, const std::wstring& keys) {
        static const std::map<wchar_t, WPARAM> kVirtual = {
            {L'<', VK_LEFT}, {L'>', VK_RIGHT}, {L'^', VK_HOME}, {L'+', VK_UP}, {L'-', VK_DOWN}};
        for (wchar_t k : keys) {
            const auto v = kVirtual.find(k);
            if (v != kVirtual.end())
                SendMessageW(h, WM_KEYDOWN, v->second, 0);
            else
                SendMessageW(h, WM_CHAR, k, 0);
        }
    }

    HWND parent_ = nullptr;
    std::vector<DWORD> changes_;
    SYSTEMTIME last_{};
};

TEST_F(DateTimeTest, TheTimeIsSetAndReadWhole) {
    HWND h = Make(0);
    SYSTEMTIME t = Time(h);
    EXPECT_TRUE(Same(t, kStart));
    EXPECT_EQ(t.wDayOfWeek, 0) << "the weekday comes from the date";
    struct Case {
        const char* name;
        WPARAM flag;
        SYSTEMTIME time;
        bool accepted;
    };
    const Case cases[] = {
        {"a leap day", GDT_VALID, Date(2024, 2, 29), true},
        {"a day that does not exist", GDT_VALID, Date(2026, 2, 29), false},
        {"month 13", GDT_VALID, Date(2026, 13, 1), false},
        {"hour 24", GDT_VALID, Date(2026, 1, 1, 24), false},
        {"before 1601", GDT_VALID, Date(1600, 12, 31), false},
        {"no time without a check box", GDT_NONE, {}, false},
        {"an unknown flag", 7, Date(2026, 1, 1), false},
    };
    for (const Case& c : cases) {
        SendMessageW(h, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&kStart));
        EXPECT_EQ(
            SendMessageW(h, DTM_SETSYSTEMTIME, c.flag, reinterpret_cast<LPARAM>(&c.time)) != 0,
            c.accepted)
            << c.name;
        EXPECT_TRUE(Same(Time(h), c.accepted ? c.time : kStart)) << c.name;
    }
    EXPECT_EQ(SendMessageW(h, DTM_GETSYSTEMTIME, 0, 0), GDT_ERROR);
    EXPECT_EQ(SendMessageW(h, DTM_SETSYSTEMTIME, GDT_VALID, 0), FALSE);
    EXPECT_TRUE(Entries(WM_NOTIFY, parent_).empty()) << "the program's own settings tell no one";
}

TEST_F(DateTimeTest, TheCheckBoxHoldsNoTime) {
    Watch();
    HWND h = Make(DTS_SHOWNONE);
    EXPECT_TRUE(SendMessageW(h, DTM_SETSYSTEMTIME, GDT_NONE, 0));
    SYSTEMTIME t{};
    EXPECT_EQ(SendMessageW(h, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&t)), GDT_NONE);
    Keys(h, L"+");  // an unchecked picker takes no change
    EXPECT_TRUE(Changes().empty());
    Keys(h, L" ");
    EXPECT_EQ(Changes(), std::vector<DWORD>{GDT_VALID});
    EXPECT_TRUE(Same(Time(h), kStart));
    Keys(h, L" ");
    EXPECT_EQ(Changes(), std::vector<DWORD>{GDT_NONE});
    // The box is clicked with the mouse: it lies at the left, before the text.
    ASSERT_TRUE(control::Click({10 + 2 + 6, 10 + 11}));
    Drain();
    EXPECT_EQ(Changes(), std::vector<DWORD>{GDT_VALID});
    EXPECT_EQ(SendMessageW(h, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&t)), GDT_VALID);
}

TEST_F(DateTimeTest, TheTextFollowsTheStyleOrThePicture) {
    struct Case {
        DWORD style;
        const wchar_t* picture;
        const wchar_t* text;
    };
    const Case cases[] = {
        {DTS_SHORTDATEFORMAT, nullptr, L"3/15/2026"},
        {DTS_LONGDATEFORMAT, nullptr, L"Sunday, March 15, 2026"},
        {DTS_TIMEFORMAT, nullptr, L"2:05:09 PM"},
        {0, L"'Date:' dd-MMM-yy HH:mm", L"Date: 15-Mar-26 14:05"},
        {0, L"ddd d MMMM yyyy, h:m:s t", L"Sun 15 March 2026, 2:5:9 P"},
        {0, L"'It''s' H 'o''clock'", L"It's 14 o'clock"},
        {0, L"", L""},
    };
    for (const Case& c : cases) {
        HWND h = Make(c.style);
        if (c.picture != nullptr) {
            EXPECT_TRUE(SendMessageW(h, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(c.picture)));
        }
        EXPECT_EQ(Text(h), c.text);
        SendMessageW(h, DTM_SETFORMATW, 0, 0);
        EXPECT_EQ(Text(h), c.style == 0 ? L"3/15/2026" : c.text) << "no picture: the style's";
        DestroyWindow(h);
    }
}

TEST_F(DateTimeTest, FieldsAreEditedByKeysAndDigits) {
    // Keys: < and > select (^ the first field), + and - step, anything else is typed.
    struct Case {
        DWORD style;
        SYSTEMTIME start;
        const wchar_t* keys;
        SYSTEMTIME expected;
        std::size_t changes;
    };
    const SYSTEMTIME jan31 = Date(2026, 1, 31);
    constexpr DWORD kShortYear = 0x80000000u;  // the picture "d.M.yy"
    const Case cases[] = {
        {0, kStart, L"+", Date(2026, 4, 15), 1},
        {0, kStart, L"-", Date(2026, 2, 15), 1},
        {0, kStart, L">+", Date(2026, 3, 16), 1},
        {0, kStart, L">>+", Date(2027, 3, 15), 1},
        {0, kStart, L"<-", Date(2025, 3, 15), 1},  // Left from the first field wraps to the last
        {0, kStart, L"++++++++++", Date(2026, 1, 15), 10},  // December wraps to January
        {0, kStart, L">---------------", Date(2026, 3, 31), 15},
        {0, jan31, L"+", Date(2026, 2, 28), 1},  // the day shrinks to the month
        {0, kStart, L"1231", Date(2026, 12, 31), 4},
        {0, kStart, L"74", Date(2026, 7, 4), 2},  // 7 cannot take a digit more: on to the day
        {0, kStart, L">>2031", Date(2031, 3, 15), 1},
        {0, kStart, L"09", Date(2026, 9, 15), 1},  // 0 alone is no month
        {0, kStart, L"x", kStart, 0},
        {DTS_TIMEFORMAT, kStart, L"+", Date(2026, 3, 15, 15), 1},
        {DTS_TIMEFORMAT, kStart, L"<+", Date(2026, 3, 15, 2), 1},  // PM -> AM
        {DTS_TIMEFORMAT, kStart, L"<a", Date(2026, 3, 15, 2), 1},
        {DTS_TIMEFORMAT, kStart, L">45", Date(2026, 3, 15, 14, 45), 2},
        {DTS_TIMEFORMAT, kStart, L">>-", Date(2026, 3, 15, 14, 5, 8), 1},
        {DTS_TIMEFORMAT, kStart, L"12", Date(2026, 3, 15, 12), 2},  // 12 PM is noon
        {kShortYear, kStart, L"<31", Date(2031, 3, 15), 2},  // two digits of a year: its century
    };
    Watch();
    for (const Case& c : cases) {
        HWND h = Make(c.style & ~kShortYear, c.start);
        if (c.style & kShortYear) {
            SendMessageW(h, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(L"d.M.yy"));
        }
        SetFocus(h);
        Changes();
        Keys(h, c.keys);
        SYSTEMTIME last{};
        const auto changes = Changes(&last);
        EXPECT_TRUE(Same(Time(h), c.expected))
            << std::wstring(c.keys).size() << " keys: " << Text(h).size();
        EXPECT_EQ(changes.size(), c.changes) << c.style;
        if (!changes.empty()) {
            EXPECT_TRUE(Same(last, c.expected));
            EXPECT_EQ(changes.back(), static_cast<DWORD>(GDT_VALID));
        }
        DestroyWindow(h);
    }
}

TEST_F(DateTimeTest, AClickSelectsTheFieldUnderIt) {
    HWND h = Make(0);
    // Where the year starts: after "3/15/" in the controls' font, from the text's left edge.
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SIZE before{};
    GetTextExtentPoint32W(dc, L"3/15/", 5, &before);
    SelectObject(dc, old);
    DeleteDC(dc);
    POINT at{2 + before.cx + 4, 11};
    ClientToScreen(h, &at);
    ASSERT_TRUE(control::Click(at));
    Drain();
    EXPECT_EQ(GetFocus(), h);
    Keys(h, L"+");
    EXPECT_TRUE(Same(Time(h), Date(2027, 3, 15)));
}

TEST_F(DateTimeTest, TheSpinButtonStepsTheSelectedField) {
    HWND h = Make(DTS_TIMEFORMAT);
    RECT r{};
    GetClientRect(h, &r);
    struct Case {
        int y;
        SYSTEMTIME expected;
    };
    const Case cases[] = {{3, Date(2026, 3, 15, 15)}, {r.bottom - 3, Date(2026, 3, 15, 14)}};
    for (const Case& c : cases) {
        POINT at{r.right - 4, c.y};
        ClientToScreen(h, &at);
        ASSERT_TRUE(control::Click(at));
        Drain();
        EXPECT_TRUE(Same(Time(h), c.expected)) << c.y;
    }
}

TEST_F(DateTimeTest, TheRangeHoldsTheTime) {
    Watch();
    CDateTimeCtrl control;
    ASSERT_TRUE(control.Create(WS_CHILD | WS_VISIBLE, CRect(10, 10, 210, 32),
                               CWnd::FromHandle(parent_), kId));
    CDateTimeCtrl* picker = &control;
    HWND h = control.m_hWnd;
    const SYSTEMTIME low = Date(2026, 1, 1, 0, 0, 0), high = Date(2026, 12, 31, 23, 59, 59);
    EXPECT_TRUE(picker->SetRange(&low, &high));
    SYSTEMTIME gotLow{}, gotHigh{};
    EXPECT_EQ(picker->GetRange(&gotLow, &gotHigh), GDTR_MIN | GDTR_MAX);
    EXPECT_TRUE(Same(gotLow, low) && Same(gotHigh, high));
    struct Case {
        const wchar_t* keys;
        SYSTEMTIME expected;
    };
    const Case cases[] = {
        {L"^>>+", high},  // 2027 is past the end
        {L"^>>-", low},   // 2025 before the start
        {L"^-", Date(2026, 2, 15)},
    };
    for (const Case& c : cases) {
        picker->SetTime(kStart);
        Keys(h, c.keys);
        EXPECT_TRUE(Same(Time(h), c.expected)) << std::wstring(c.keys).size();
    }
    SYSTEMTIME outside = Date(2030, 1, 1);
    EXPECT_TRUE(picker->SetTime(outside));
    EXPECT_TRUE(Same(Time(h), high));
    EXPECT_FALSE(picker->SetRange(&high, &low)) << "a minimum after the maximum";
    EXPECT_TRUE(picker->SetRange(nullptr, nullptr));
    EXPECT_EQ(picker->GetRange(nullptr, nullptr), 0u);
    EXPECT_TRUE(picker->SetFormat(L"yyyy"));
    EXPECT_EQ(Text(h), L"2026");
    control.DestroyWindow();
    AfxDeleteTemporaryObjects();
}

}  // namespace
