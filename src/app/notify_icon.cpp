#include "app/notify_icon.h"

#include <algorithm>
#include <cstring>

namespace {

// Copies at most `limit` units of the text into the zeroed field (which stays terminated).
template <size_t N>
void CopyField(WCHAR (&field)[N], const std::wstring& text, size_t limit) {
    static_assert(N > 0);
    const size_t count = std::min({text.size(), limit, N - 1});
    std::memcpy(field, text.data(), count * sizeof(WCHAR));
    field[count] = 0;
}

}  // namespace

CNotifyIcon::CNotifyIcon(CWnd* owner) : m_owner(owner) {}

CNotifyIcon::~CNotifyIcon() = default;

NOTIFYICONDATAW CNotifyIcon::Record(UINT id) const {
    NOTIFYICONDATAW data;
    std::memset(&data, 0, sizeof(data));
    data.cbSize = NOTIFYICONDATAW_952_SIZE;
    data.hWnd = m_owner != nullptr ? m_owner->GetSafeHwnd() : nullptr;
    data.uID = id;
    return data;
}

BOOL CNotifyIcon::Add(UINT id, HICON icon) {
    NOTIFYICONDATAW data = Record(id);
    data.uFlags = NIF_MESSAGE | NIF_ICON;
    data.uCallbackMessage = WM_TRAY_NOTIFY;
    data.hIcon = icon;
    return Shell_NotifyIconW(NIM_ADD, &data);
}

BOOL CNotifyIcon::Delete(UINT id) {
    NOTIFYICONDATAW data = Record(id);
    return Shell_NotifyIconW(NIM_DELETE, &data);
}

BOOL CNotifyIcon::SetTip(UINT id, const std::wstring& text) {
    NOTIFYICONDATAW data = Record(id);
    data.uFlags = NIF_TIP;
    CopyField(data.szTip, text, kMaxTip);
    return Shell_NotifyIconW(NIM_MODIFY, &data);
}

BOOL CNotifyIcon::ShowBalloon(UINT id, const std::wstring& text, const std::wstring& title) {
    NOTIFYICONDATAW data = Record(id);
    data.uFlags = NIF_INFO;
    CopyField(data.szInfo, text, kMaxBalloonText);
    CopyField(data.szInfoTitle, title, kMaxBalloonTitle);
    data.dwInfoFlags = 0;
    data.uTimeout = 0;
    return Shell_NotifyIconW(NIM_MODIFY, &data);
}

BOOL CNotifyIconEx::Add(UINT id, HICON icon) {
    const BOOL result = CNotifyIcon::Add(id, icon);
    m_texts[id];
    return result;
}

BOOL CNotifyIconEx::Delete(UINT id) {
    const BOOL result = CNotifyIcon::Delete(id);
    m_texts.erase(id);
    return result;
}

BOOL CNotifyIconEx::SetTip(UINT id, const std::wstring& text) {
    m_texts[id].tip = text;
    return CNotifyIcon::SetTip(id, text);
}

BOOL CNotifyIconEx::ShowBalloon(UINT id, const std::wstring& text, const std::wstring& title) {
    NotifyIconTexts& texts = m_texts[id];
    texts.balloonText = text;
    texts.balloonTitle = title;
    return CNotifyIcon::ShowBalloon(id, text, title);
}

void CNotifyIconEx::Reserved() {}

void CNotifyIconEx::ReapplyTips() {
    // A copy: SetTip writes into the map.
    const std::map<UINT, NotifyIconTexts> texts = m_texts;
    for (const auto& [id, record] : texts) {
        if (!record.tip.empty()) SetTip(id, record.tip);
    }
}
