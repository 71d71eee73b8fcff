#include <afx.h>

#include <algorithm>
#include <cstdarg>
#include <cwchar>
#include <cwctype>
#include <stdexcept>

#include <corecrt.h>

// ---- CString ----

namespace {

const wchar_t* OrEmpty(LPCWSTR text) {
    return text != nullptr ? text : L"";
}

// A count or position clamped into [0, limit].
std::size_t Clamp(long long value, std::size_t limit) {
    if (value < 0) return 0;
    return std::min(static_cast<std::size_t>(value), limit);
}

// Characters before the first null among the first limit ones.
std::size_t LengthWithin(const wchar_t* text, std::size_t limit) {
    return static_cast<std::size_t>(std::find(text, text + limit, L'\0') - text);
}

}  // namespace

CString::CString(LPCWSTR text) : text_(OrEmpty(text)) {}

CString::CString(LPCWSTR text, int length) {
    if (text == nullptr || length <= 0) return;
    text_.assign(text, LengthWithin(text, static_cast<std::size_t>(length)));
}

CString::CString(wchar_t ch, int repeat) {
    if (repeat > 0) text_.assign(static_cast<std::size_t>(repeat), ch);
}

CString& CString::operator=(LPCWSTR text) {
    text_ = OrEmpty(text);
    return *this;
}

CString& CString::operator=(wchar_t ch) {
    text_.assign(1, ch);
    return *this;
}

CString& CString::operator+=(const CString& text) {
    text_ += text.text_;
    return *this;
}

CString& CString::operator+=(LPCWSTR text) {
    text_ += OrEmpty(text);
    return *this;
}

CString& CString::operator+=(wchar_t ch) {
    text_ += ch;
    return *this;
}

wchar_t CString::GetAt(int index) const {
    if (index < 0 || index >= GetLength())
        throw std::out_of_range("CString::GetAt: no such position");
    return text_[static_cast<std::size_t>(index)];
}

void CString::SetAt(int index, wchar_t ch) {
    if (index < 0 || index >= GetLength())
        throw std::out_of_range("CString::SetAt: no such position");
    text_[static_cast<std::size_t>(index)] = ch;
}

int CString::Compare(LPCWSTR text) const {
    int result = std::wcscmp(text_.c_str(), OrEmpty(text));
    return result < 0 ? -1 : result > 0 ? 1 : 0;
}

int CString::CompareNoCase(LPCWSTR text) const {
    return _wcsicmp(text_.c_str(), OrEmpty(text));
}

CString CString::Left(int count) const {
    return CString(text_.substr(0, Clamp(count, text_.size())));
}

CString CString::Right(int count) const {
    return CString(text_.substr(text_.size() - Clamp(count, text_.size())));
}

CString CString::Mid(int first) const {
    return Mid(first, GetLength());
}

CString CString::Mid(int first, int count) const {
    std::size_t start = Clamp(first, text_.size());
    return CString(text_.substr(start, Clamp(count, text_.size() - start)));
}

int CString::Find(wchar_t ch, int start) const {
    if (start < 0 || start >= GetLength()) return -1;
    std::size_t at = text_.find(ch, static_cast<std::size_t>(start));
    return at == std::wstring::npos ? -1 : static_cast<int>(at);
}

int CString::Find(LPCWSTR text, int start) const {
    if (start < 0 || start > GetLength()) return -1;
    std::size_t at = text_.find(OrEmpty(text), static_cast<std::size_t>(start));
    return at == std::wstring::npos ? -1 : static_cast<int>(at);
}

int CString::ReverseFind(wchar_t ch) const {
    std::size_t at = text_.rfind(ch);
    return at == std::wstring::npos ? -1 : static_cast<int>(at);
}

int CString::Replace(wchar_t from, wchar_t to) {
    int count = 0;
    for (wchar_t& c : text_) {
        if (c != from) continue;
        c = to;
        ++count;
    }
    return count;
}

int CString::Replace(LPCWSTR from, LPCWSTR to) {
    std::wstring pattern = OrEmpty(from), replacement = OrEmpty(to);
    if (pattern.empty()) return 0;
    std::wstring result;
    int count = 0;
    std::size_t done = 0;
    for (std::size_t at; (at = text_.find(pattern, done)) != std::wstring::npos;) {
        result.append(text_, done, at - done);
        result += replacement;
        done = at + pattern.size();
        ++count;
    }
    result.append(text_, done);
    text_ = std::move(result);
    return count;
}

int CString::Remove(wchar_t ch) {
    return static_cast<int>(std::erase(text_, ch));
}

CString& CString::Trim() {
    return TrimRight().TrimLeft();
}

CString& CString::TrimLeft() {
    auto blank = [](wchar_t c) { return std::iswspace(static_cast<wint_t>(c)) != 0; };
    text_.erase(text_.begin(), std::find_if_not(text_.begin(), text_.end(), blank));
    return *this;
}

CString& CString::TrimRight() {
    auto blank = [](wchar_t c) { return std::iswspace(static_cast<wint_t>(c)) != 0; };
    text_.erase(std::find_if_not(text_.rbegin(), text_.rend(), blank).base(), text_.end());
    return *this;
}

CString& CString::MakeUpper() {
    for (wchar_t& c : text_) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    return *this;
}

CString& CString::MakeLower() {
    for (wchar_t& c : text_) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return *this;
}

void CString::Format(LPCWSTR format, ...) {
    va_list args;
    va_start(args, format);
    text_ = crt::FormatV(format, args);
    va_end(args);
}

void CString::AppendFormat(LPCWSTR format, ...) {
    va_list args;
    va_start(args, format);
    text_ += crt::FormatV(format, args);
    va_end(args);
}

LPWSTR CString::GetBuffer(int minLength) {
    if (minLength < 0) throw std::invalid_argument("CString::GetBuffer: negative length");
    // std::wstring keeps a writable terminator after its characters.
    if (static_cast<std::size_t>(minLength) > text_.size())
        text_.resize(static_cast<std::size_t>(minLength));
    return text_.data();
}

LPWSTR CString::GetBufferSetLength(int length) {
    if (length < 0) throw std::invalid_argument("CString::GetBufferSetLength: negative length");
    text_.resize(static_cast<std::size_t>(length));
    return text_.data();
}

void CString::ReleaseBuffer(int newLength) {
    std::size_t length =
        newLength < 0 ? LengthWithin(text_.data(), text_.size()) : Clamp(newLength, text_.size());
    text_.resize(length);
}

// ---- CSize, CPoint, CRect ----

namespace {

// A sum or difference of coordinates, wrapped at 32 bits.
LONG Wrap(long long value) {
    return static_cast<LONG>(static_cast<ULONG>(value));
}

}  // namespace

CSize CSize::operator+(SIZE other) const {
    return CSize(Wrap(1LL * cx + other.cx), Wrap(1LL * cy + other.cy));
}

CSize CSize::operator-(SIZE other) const {
    return CSize(Wrap(1LL * cx - other.cx), Wrap(1LL * cy - other.cy));
}

CSize CSize::operator-() const {
    return CSize(Wrap(-1LL * cx), Wrap(-1LL * cy));
}

void CPoint::Offset(int dx, int dy) {
    x = Wrap(1LL * x + dx);
    y = Wrap(1LL * y + dy);
}

CPoint CPoint::operator+(SIZE by) const {
    CPoint result(*this);
    result.Offset(by);
    return result;
}

CPoint CPoint::operator+(POINT by) const {
    CPoint result(*this);
    result.Offset(by);
    return result;
}

CPoint CPoint::operator-(SIZE by) const {
    return *this + -CSize(by);
}

CSize CPoint::operator-(POINT other) const {
    return CSize(x, y) - CSize(other.x, other.y);
}

CPoint CPoint::operator-() const {
    CSize negated = -CSize(x, y);
    return CPoint(negated.cx, negated.cy);
}

// The corners are read and written in place: CPoint adds nothing to POINT, and a RECT is two
// POINTs one after the other.
static_assert(sizeof(CPoint) == sizeof(POINT) && sizeof(RECT) == 2 * sizeof(POINT));
static_assert(offsetof(RECT, right) == sizeof(POINT));

CRect& CRect::operator=(const RECT& rect) {
    static_cast<RECT&>(*this) = rect;
    return *this;
}

int CRect::Width() const {
    return Wrap(1LL * right - left);
}

int CRect::Height() const {
    return Wrap(1LL * bottom - top);
}

CPoint& CRect::TopLeft() {
    return *reinterpret_cast<CPoint*>(&left);
}

CPoint& CRect::BottomRight() {
    return *reinterpret_cast<CPoint*>(&right);
}

const CPoint& CRect::TopLeft() const {
    return *reinterpret_cast<const CPoint*>(&left);
}

const CPoint& CRect::BottomRight() const {
    return *reinterpret_cast<const CPoint*>(&right);
}

CPoint CRect::CenterPoint() const {
    return CPoint(static_cast<int>((1LL * left + right) / 2),
                  static_cast<int>((1LL * top + bottom) / 2));
}

BOOL CRect::PtInRect(POINT point) const {
    return point.x >= left && point.x < right && point.y >= top && point.y < bottom;
}

void CRect::SetRect(int l, int t, int r, int b) {
    left = l;
    top = t;
    right = r;
    bottom = b;
}

void CRect::Shift(long long l, long long t, long long r, long long b) {
    SetRect(Wrap(left + l), Wrap(top + t), Wrap(right + r), Wrap(bottom + b));
}

void CRect::NormalizeRect() {
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
}

BOOL CRect::IntersectRect(LPCRECT a, LPCRECT b) {
    CRect common(std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
                 std::min(a->bottom, b->bottom));
    if (CRect(a).IsRectEmpty() || CRect(b).IsRectEmpty() || common.IsRectEmpty()) {
        SetRectEmpty();
        return FALSE;
    }
    *this = common;
    return TRUE;
}

BOOL CRect::UnionRect(LPCRECT a, LPCRECT b) {
    CRect first(a), second(b);
    if (first.IsRectEmpty() && second.IsRectEmpty()) {
        SetRectEmpty();
        return FALSE;
    }
    if (first.IsRectEmpty()) {
        *this = second;
    } else if (second.IsRectEmpty()) {
        *this = first;
    } else {
        SetRect(std::min(first.left, second.left), std::min(first.top, second.top),
                std::max(first.right, second.right), std::max(first.bottom, second.bottom));
    }
    return TRUE;
}

bool CRect::operator==(const RECT& other) const {
    return left == other.left && top == other.top && right == other.right && bottom == other.bottom;
}

CRect& CRect::operator+=(POINT by) {
    OffsetRect(by);
    return *this;
}

CRect& CRect::operator+=(SIZE by) {
    OffsetRect(by);
    return *this;
}

CRect& CRect::operator+=(LPCRECT by) {
    InflateRect(by);
    return *this;
}

CRect& CRect::operator-=(POINT by) {
    Shift(-1LL * by.x, -1LL * by.y, -1LL * by.x, -1LL * by.y);
    return *this;
}

CRect& CRect::operator-=(SIZE by) {
    Shift(-1LL * by.cx, -1LL * by.cy, -1LL * by.cx, -1LL * by.cy);
    return *this;
}

CRect& CRect::operator-=(LPCRECT by) {
    DeflateRect(by);
    return *this;
}

CRect CRect::operator&(const RECT& other) const {
    CRect result;
    result.IntersectRect(this, &other);
    return result;
}

CRect CRect::operator|(const RECT& other) const {
    CRect result;
    result.UnionRect(this, &other);
    return result;
}
