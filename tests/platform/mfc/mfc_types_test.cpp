// The framework's value types: CString's searches, cuts, edits, formatting, buffer and case rules;
// CRect, CPoint and CSize geometry.
#include <climits>
#include <clocale>
#include <cwchar>
#include <stdexcept>
#include <string>

#include "common/sim_fixture.h"
#include <corecrt.h>
#include <afxwin.h>
#include <afxcmn.h>

namespace {

std::wstring Text(const CString& s) {
    return std::wstring(s.GetString(), static_cast<std::size_t>(s.GetLength()));
}

// ---- CString ----

TEST(CStringBasics, NullTextsAreEmptyAndConcatenationAndComparisonFollowTheText) {
    CString s(L"abcdef", 2);
    s += static_cast<LPCWSTR>(nullptr);
    EXPECT_EQ(Text(L">" + s + CString(L'c', 2) + L'<'), L">abcc<");
    EXPECT_TRUE(L"ab" == s && s != CString(L"aB") && s < CString(L"ac"));
    EXPECT_THROW(s.GetAt(2), std::out_of_range);
}

struct FindCase {
    const wchar_t *text, *what;
    char kind;  // 'c' Find(wchar_t), 's' Find(LPCWSTR), 'r' ReverseFind
    int start, expected;
};

TEST(CStringSearch, FindFromAStartAndReverseFindAndNotFoundIsMinusOne) {
    const FindCase cases[] = {
        {L"abcabc", L"a", 'c', 0, 0},  {L"abcabc", L"c", 'c', 3, 5},
        {L"abcabc", L"c", 'c', 6, -1}, {L"abcabc", L"a", 'c', -1, -1},
        {L"abcabc", L"bc", 's', 2, 4}, {L"abcabc", L"abc", 's', 4, -1},
        {L"abcabc", L"", 's', 6, 6},   {L"abcabc", L"c", 's', 7, -1},
        {L"a b c ", L" ", 'r', 0, 5},  {L"bca", L"b", 'r', 0, 0},
        {L"abc", L"x", 'r', 0, -1},    {L"", L"x", 'r', 0, -1},
    };
    for (const auto& c : cases) {
        CString s(c.text);
        int found = c.kind == 'c'   ? s.Find(c.what[0], c.start)
                    : c.kind == 's' ? s.Find(c.what, c.start)
                                    : s.ReverseFind(c.what[0]);
        EXPECT_EQ(found, c.expected) << c.text << " / " << c.what << " from " << c.start;
    }
}

TEST(CStringCut, CountsAndPositionsStopAtTheEnds) {
    const CString s(L"hello");
    struct Case {
        CString got;
        const wchar_t* expected;
    } cases[] = {
        {s.Left(2), L"he"},     {s.Left(9), L"hello"}, {s.Left(-3), L""},   {s.Right(2), L"lo"},
        {s.Right(9), L"hello"}, {s.Right(-1), L""},    {s.Mid(1), L"ello"}, {s.Mid(9), L""},
        {s.Mid(1, 3), L"ell"},  {s.Mid(3, 9), L"lo"},  {s.Mid(7, 2), L""},  {s.Mid(-1, 2), L"he"},
    };
    for (const auto& c : cases) EXPECT_EQ(Text(c.got), c.expected);
}

TEST(CStringEdit, ReplaceAndRemoveCountWhatTheyChanged) {
    struct Case {
        const wchar_t *text, *from, *to, *expected;
        int count;
    } cases[] = {
        {L"aaa", L"aa", L"b", L"ba", 1},  // no overlap, left to right
        {L"aa", L"a", L"aa", L"aaaa", 2}, {L"abab", L"ab", nullptr, L"", 2},
        {L"abc", L"", L"x", L"abc", 0},   {L"xyz", L"q", L"r", L"xyz", 0},
    };
    for (const auto& c : cases) {
        CString s(c.text);
        EXPECT_EQ(s.Replace(c.from, c.to), c.count) << c.text;
        EXPECT_EQ(Text(s), c.expected) << c.text;
    }
    CString dashed(L"-a-b--c-");
    EXPECT_EQ(dashed.Replace(L'-', L'.'), 5);
    EXPECT_EQ(dashed.Remove(L'.'), 5);
    EXPECT_EQ(Text(dashed), L"abc");
}

TEST(CStringEdit, TrimDropsBlanksAtTheEndsOnly) {
    struct Case {
        const wchar_t *text, *both, *left, *right;
    } cases[] = {
        {L" \ta b\r\n ", L"a b", L"a b\r\n ", L" \ta b"},
        {L" \t\r\n ", L"", L"", L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Text(CString(c.text).Trim()), c.both);
        EXPECT_EQ(Text(CString(c.text).TrimLeft()), c.left);
        EXPECT_EQ(Text(CString(c.text).TrimRight()), c.right);
    }
}

TEST(CStringFormat, FormatsWithThePlatformsPrintf) {
    CString name(L"\u8FDE\u63A5");
    CString s;
    s.Format(L"[%s] %d %08X %S", name.GetString(), -42, 0xBEEFu, "narrow");
    EXPECT_EQ(Text(s), L"[\u8FDE\u63A5] -42 0000BEEF narrow");
    s.AppendFormat(L"|%-3s|%c", L"a", L'z');
    EXPECT_EQ(Text(s), L"[\u8FDE\u63A5] -42 0000BEEF narrow|a  |z");
}

TEST(CStringBuffer, ReleaseBufferTakesTheTextUpToItsTerminator) {
    CString s(L"abcdef");
    wchar_t* buffer = s.GetBuffer(MAX_PATH);
    std::wcscpy(buffer, L"xy");
    s.ReleaseBuffer();
    EXPECT_EQ(Text(s), L"xy");
    CString untouched(L"abcdef");
    untouched.GetBuffer(100);
    untouched.ReleaseBuffer(-1);
    EXPECT_EQ(Text(untouched), L"abcdef");
    untouched.GetBufferSetLength(4)[1] = L'B';
    untouched.ReleaseBuffer(3);
    EXPECT_EQ(Text(untouched), L"aBc");
    EXPECT_THROW(s.GetBuffer(-1), std::invalid_argument);
}

class CStringLocale : public SimTest {};

TEST_F(CStringLocale, CaseBeyondAsciiOnlyUnderTheUsersLocale) {
    ASSERT_STREQ(_wsetlocale(LC_ALL, L"C"), L"C");
    EXPECT_EQ(CString(L"Setup.INF").CompareNoCase(L"setup.inf"), 0);
    EXPECT_NE(CString(L"\u00C4RGER").CompareNoCase(L"\u00E4rger"), 0);
    EXPECT_EQ(Text(CString(L"\u00C4b").MakeLower()), L"\u00C4b");

    ASSERT_NE(_wsetlocale(LC_ALL, L""), nullptr);
    EXPECT_EQ(CString(L"\u00C4RGER").CompareNoCase(L"\u00E4rger"), 0);
    EXPECT_EQ(Text(CString(L"\u00C4b").MakeLower()), L"\u00E4b");
}

// ---- CRect, CPoint, CSize ----

TEST(CRectShape, NormalizeRectSwapsReversedEdges) {
    CRect reversed(10, 20, 0, 5), upright(1, 2, 3, 4);
    reversed.NormalizeRect();
    upright.NormalizeRect();
    EXPECT_TRUE(reversed == CRect(0, 5, 10, 20) && upright == CRect(1, 2, 3, 4));
}

TEST(CRectShape, SizesAndCornersInPlace) {
    CRect r(10, 20, 40, 60);
    EXPECT_TRUE(r.Size() == CSize(30, 40) && r.CenterPoint() == CPoint(25, 40));
    r.TopLeft() = CPoint(0, 0);
    r.BottomRight().Offset(1, 1);
    EXPECT_EQ(r, CRect(0, 0, 41, 61));
    EXPECT_TRUE(CRect(5, 5, 5, 9).IsRectEmpty() && !CRect(5, 5, 5, 9).IsRectNull());
}

TEST(CRectShape, PtInRectExcludesTheRightAndBottomEdges) {
    const CRect r(0, 0, 10, 5);
    struct Case {
        CPoint point;
        BOOL inside;
    } cases[] = {
        {{0, 0}, TRUE},   {{9, 4}, TRUE},   {{10, 0}, FALSE}, {{0, 5}, FALSE},
        {{-1, 2}, FALSE}, {{5, -1}, FALSE}, {{10, 5}, FALSE},
    };
    for (const auto& c : cases) EXPECT_EQ(r.PtInRect(c.point), c.inside) << c.point.x << c.point.y;
}

struct SetCase {
    CRect a, b, expected;
    BOOL result;
};

TEST(CRectSet, IntersectRectOfDisjointRectsIsEmptyAndFalse) {
    const SetCase cases[] = {
        {{0, 0, 10, 10}, {5, 5, 20, 20}, {5, 5, 10, 10}, TRUE},
        {{0, 0, 10, 10}, {20, 20, 30, 30}, {0, 0, 0, 0}, FALSE},
        {{0, 0, 10, 10}, {10, 0, 20, 10}, {0, 0, 0, 0}, FALSE},  // touching edges share nothing
        {{0, 0, 10, 10}, {2, 2, 2, 8}, {0, 0, 0, 0}, FALSE},     // an empty one
        {{0, 0, 10, 10}, {2, 3, 4, 5}, {2, 3, 4, 5}, TRUE},
    };
    for (const auto& c : cases) {
        CRect out(7, 7, 8, 8);
        EXPECT_EQ(out.IntersectRect(&c.a, &c.b), c.result);
        EXPECT_EQ(out, c.expected);
        EXPECT_EQ(c.a & c.b, c.expected);
        CRect self = c.a;  // the rectangle itself as an operand
        self.IntersectRect(self, &c.b);
        EXPECT_EQ(self, c.expected);
    }
}

TEST(CRectSet, UnionRectIgnoresAnEmptyRect) {
    const SetCase cases[] = {
        {{0, 0, 10, 10}, {20, 5, 30, 30}, {0, 0, 30, 30}, TRUE},
        {{0, 0, 0, 0}, {20, 5, 30, 30}, {20, 5, 30, 30}, TRUE},
        {{20, 5, 30, 30}, {-50, -50, -50, 0}, {20, 5, 30, 30}, TRUE},
        {{5, 5, 5, 9}, {1, 1, 0, 0}, {0, 0, 0, 0}, FALSE},
    };
    for (const auto& c : cases) {
        CRect out(7, 7, 8, 8);
        EXPECT_EQ(out.UnionRect(&c.a, &c.b), c.result);
        EXPECT_EQ(out, c.expected);
        EXPECT_EQ(c.a | c.b, c.expected);
    }
}

TEST(CRectMove, OffsetInflateDeflateAndOperatorsWrapAt32Bits) {
    CRect r(10, 10, 20, 20);
    r.OffsetRect(5, -5);
    r.InflateRect(1, 2);
    r.DeflateRect(1, 2, 3, 4);
    EXPECT_EQ(r, CRect(15, 5, 23, 13));
    r += CRect(1, 1, 2, 2);  // a rectangle inflates, a size or point moves
    r -= CSize(14, 4);
    EXPECT_EQ(r, CRect(0, 0, 11, 11));
    r -= CPoint(INT_MIN, 0);
    EXPECT_EQ(r, CRect(INT_MIN, 0, INT_MIN + 11, 11));
}

TEST(MfcPointSize, ArithmeticAndComparison) {
    CPoint p(3, 4);
    p.Offset(CSize(-1, -2));
    EXPECT_TRUE(p + CSize(1, 2) == CPoint(3, 4) && p - CSize(1, 2) == CPoint(1, 0));
    EXPECT_EQ(CPoint(10, 3) - p, CSize(8, 1));
    EXPECT_EQ(CSize(5, 6) - CSize(6, 6) + CSize(1, 1), CSize(0, 1));
    EXPECT_NE(p, CPoint(2, 3));
}

}  // namespace
