// The application framework's value types: the wide string CString and the geometry classes
// CPoint, CSize and CRect over the platform's POINT, SIZE and RECT.
#pragma once

#include <compare>
#include <string>
#include <utility>

#include <windef.h>

// ---- CString ----
// A wide text of its own length. Positions and counts are characters; a null text pointer counts
// as the empty text. Where the framework stops the program on a bad argument (a position outside
// the text, a negative buffer length), this one throws std::out_of_range or std::invalid_argument.
// A CString passed to Format's variable arguments must be passed as GetString() (or cast to
// LPCWSTR): the host's compiler refuses a class object there.
class CString {
public:
    CString() = default;
    CString(const CString&) = default;
    CString(CString&&) noexcept = default;
    CString(LPCWSTR text);  // NOLINT: converts implicitly, as the framework's does
    // The first length characters of text (all of them when it is shorter).
    CString(LPCWSTR text, int length);
    // repeat copies of ch (none for a count below 1).
    explicit CString(wchar_t ch, int repeat = 1);

    CString& operator=(const CString&) = default;
    CString& operator=(CString&&) noexcept = default;
    CString& operator=(LPCWSTR text);
    CString& operator=(wchar_t ch);

    CString& operator+=(const CString& text);
    CString& operator+=(LPCWSTR text);
    CString& operator+=(wchar_t ch);
    friend CString operator+(CString a, const CString& b) { return std::move(a += b); }
    friend CString operator+(CString a, LPCWSTR b) { return std::move(a += b); }
    friend CString operator+(LPCWSTR a, const CString& b) { return std::move(CString(a) += b); }
    friend CString operator+(CString a, wchar_t b) { return std::move(a += b); }
    friend CString operator+(wchar_t a, const CString& b) { return std::move(CString(a) += b); }

    int GetLength() const { return static_cast<int>(text_.size()); }
    bool IsEmpty() const { return text_.empty(); }
    void Empty() { text_.clear(); }
    LPCWSTR GetString() const { return text_.c_str(); }
    operator LPCWSTR() const { return text_.c_str(); }  // NOLINT: implicit, as the framework's

    wchar_t GetAt(int index) const;
    wchar_t operator[](int index) const { return GetAt(index); }
    void SetAt(int index, wchar_t ch);

    // Ordinal comparison (<0, 0, >0), up to the first null character.
    int Compare(LPCWSTR text) const;
    // Comparison with each character lowered in the program's current locale: under "C" only the
    // ASCII letters have a case.
    int CompareNoCase(LPCWSTR text) const;

    // Counts below 0 count as 0; counts and positions beyond the end stop at the end.
    CString Left(int count) const;
    CString Right(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;

    // Position of the first occurrence at or after start; -1 when there is none or start lies
    // outside the text (a text may be found at the very end only when it is empty).
    int Find(wchar_t ch, int start = 0) const;
    int Find(LPCWSTR text, int start = 0) const;
    // Position of the last occurrence of ch, or -1.
    int ReverseFind(wchar_t ch) const;

    // Replace every occurrence, left to right without overlap; the number replaced. An empty or
    // null text to look for replaces nothing; a null replacement removes.
    int Replace(wchar_t from, wchar_t to);
    int Replace(LPCWSTR from, LPCWSTR to);
    // Removes every ch; the number removed.
    int Remove(wchar_t ch);

    // Drop white space (as iswspace in the current locale) at the ends.
    CString& Trim();
    CString& TrimLeft();
    CString& TrimRight();
    // Case of each character in the program's current locale.
    CString& MakeUpper();
    CString& MakeLower();

    // The platform's printf: "%s" takes a wide text, "%S" and "%hs" a narrow one.
    void Format(LPCWSTR format, ...);
    void AppendFormat(LPCWSTR format, ...);

    // A writable buffer of at least minLength characters plus a terminator, holding the text. Until
    // ReleaseBuffer the length and the other members are not to be used.
    LPWSTR GetBuffer(int minLength = 0);
    // As GetBuffer, and the text then has exactly length characters (cut, or padded with nulls).
    LPWSTR GetBufferSetLength(int length);
    // Ends the buffer's use: the text becomes the buffer's first newLength characters, or with -1,
    // the characters before the first null (at most the buffer's length).
    void ReleaseBuffer(int newLength = -1);

private:
    explicit CString(std::wstring text) : text_(std::move(text)) {}

    std::wstring text_;
};

inline bool operator==(const CString& a, const CString& b) {
    return a.Compare(b) == 0;
}
inline bool operator==(const CString& a, LPCWSTR b) {
    return a.Compare(b) == 0;
}
inline std::weak_ordering operator<=>(const CString& a, const CString& b) {
    return a.Compare(b) <=> 0;
}
inline std::weak_ordering operator<=>(const CString& a, LPCWSTR b) {
    return a.Compare(b) <=> 0;
}

// ---- CSize, CPoint, CRect ----
// Arithmetic wraps at 32 bits, as the platform's does.

class CSize : public SIZE {
public:
    CSize() : SIZE{0, 0} {}
    CSize(int x, int y) : SIZE{x, y} {}
    CSize(SIZE size) : SIZE(size) {}  // NOLINT: implicit, as the framework's

    bool operator==(SIZE other) const { return cx == other.cx && cy == other.cy; }
    CSize operator+(SIZE other) const;
    CSize operator-(SIZE other) const;
    CSize operator-() const;
};

class CPoint : public POINT {
public:
    CPoint() : POINT{0, 0} {}
    CPoint(int px, int py) : POINT{px, py} {}
    CPoint(POINT point) : POINT(point) {}  // NOLINT: implicit, as the framework's

    void Offset(int dx, int dy);
    void Offset(POINT by) { Offset(by.x, by.y); }
    void Offset(SIZE by) { Offset(by.cx, by.cy); }

    bool operator==(POINT other) const { return x == other.x && y == other.y; }
    CPoint operator+(SIZE by) const;
    CPoint operator+(POINT by) const;
    CPoint operator-(SIZE by) const;
    CSize operator-(POINT other) const;  // the distance from other to this point
    CPoint operator-() const;
};

class CRect : public RECT {
public:
    CRect() : RECT{0, 0, 0, 0} {}
    CRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
    CRect(const RECT& rect) : RECT(rect) {}  // NOLINT: implicit, as the framework's
    CRect(LPCRECT rect) : RECT(*rect) {}     // NOLINT
    CRect& operator=(const RECT& rect);

    operator LPRECT() { return this; }         // NOLINT
    operator LPCRECT() const { return this; }  // NOLINT

    int Width() const;
    int Height() const;
    CSize Size() const { return CSize(Width(), Height()); }
    // The corners as points that are part of the rectangle: writing them moves its edges.
    CPoint& TopLeft();
    CPoint& BottomRight();
    const CPoint& TopLeft() const;
    const CPoint& BottomRight() const;
    CPoint CenterPoint() const;

    // No area: a width or height of 0 or less.
    BOOL IsRectEmpty() const { return Width() <= 0 || Height() <= 0; }
    // All four coordinates 0.
    BOOL IsRectNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    // Inside the left and top edges, outside the right and bottom ones.
    BOOL PtInRect(POINT point) const;

    void SetRect(int l, int t, int r, int b);
    void SetRectEmpty() { SetRect(0, 0, 0, 0); }
    void OffsetRect(int dx, int dy) { Shift(dx, dy, dx, dy); }
    void OffsetRect(POINT by) { OffsetRect(by.x, by.y); }
    void OffsetRect(SIZE by) { OffsetRect(by.cx, by.cy); }
    // Moves the left and right edges out by dx, the top and bottom by dy (in for negatives).
    void InflateRect(int dx, int dy) { InflateRect(dx, dy, dx, dy); }
    void InflateRect(SIZE by) { InflateRect(by.cx, by.cy); }
    // Each edge out by the matching member of by.
    void InflateRect(LPCRECT by) { InflateRect(by->left, by->top, by->right, by->bottom); }
    void InflateRect(int l, int t, int r, int b) { Shift(-1LL * l, -1LL * t, r, b); }
    // As InflateRect, inwards.
    void DeflateRect(int dx, int dy) { DeflateRect(dx, dy, dx, dy); }
    void DeflateRect(SIZE by) { DeflateRect(by.cx, by.cy); }
    void DeflateRect(LPCRECT by) { DeflateRect(by->left, by->top, by->right, by->bottom); }
    void DeflateRect(int l, int t, int r, int b) { Shift(l, t, -1LL * r, -1LL * b); }
    // Swaps the edges where left > right or top > bottom.
    void NormalizeRect();

    // The common part of a and b; when it is empty the rectangle becomes (0, 0, 0, 0) and FALSE
    // is returned. a or b may be this rectangle.
    BOOL IntersectRect(LPCRECT a, LPCRECT b);
    // The smallest rectangle holding a and b, ignoring an empty one; (0, 0, 0, 0) and FALSE when
    // both are empty. a or b may be this rectangle.
    BOOL UnionRect(LPCRECT a, LPCRECT b);

    // Equal coordinates.
    bool operator==(const RECT& other) const;
    // A point or size moves the rectangle; a rectangle inflates (+=) or deflates (-=) it.
    CRect& operator+=(POINT by);
    CRect& operator+=(SIZE by);
    CRect& operator+=(LPCRECT by);
    CRect& operator-=(POINT by);
    CRect& operator-=(SIZE by);
    CRect& operator-=(LPCRECT by);
    // Intersection and union as IntersectRect and UnionRect.
    CRect operator&(const RECT& other) const;
    CRect operator|(const RECT& other) const;

private:
    // Adds to each edge.
    void Shift(long long l, long long t, long long r, long long b);
};
