// The notification-area icon of a window: adds, removes and changes the icons one window owns
// through Shell_NotifyIconW. CNotifyIconEx also keeps the last texts set for each icon, so that
// the tips can be set again (for instance after the taskbar was recreated).
#pragma once

#include <map>
#include <string>

#include <afxwin.h>
#include <shellapi.h>

// The message the owner window gets for clicks on its icons (wParam: icon id, lParam: mouse
// message).
constexpr UINT WM_TRAY_NOTIFY = 0x547;

struct NotifyIconTexts {
    std::wstring tip;
    std::wstring balloonText;
    std::wstring balloonTitle;
};

class CNotifyIcon {
public:
    // Texts are cut to these lengths, in UTF-16 units.
    static constexpr size_t kMaxTip = 127;
    static constexpr size_t kMaxBalloonText = 255;
    static constexpr size_t kMaxBalloonTitle = 63;

    explicit CNotifyIcon(CWnd* owner = nullptr);
    virtual ~CNotifyIcon();
    CNotifyIcon(const CNotifyIcon&) = delete;
    CNotifyIcon& operator=(const CNotifyIcon&) = delete;

    // Adds the icon; clicks come to the owner as WM_TRAY_NOTIFY.
    virtual BOOL Add(UINT id, HICON icon);
    virtual BOOL Delete(UINT id);
    virtual BOOL SetTip(UINT id, const std::wstring& text);
    // Shows a balloon without an icon, for the shell's shortest time.
    virtual BOOL ShowBalloon(UINT id, const std::wstring& text, const std::wstring& title);

    // Null: the window handle sent is 0.
    void SetOwner(CWnd* owner) { m_owner = owner; }
    CWnd* Owner() const { return m_owner; }

protected:
    // A zeroed record of the 952-byte layout for the owner's icon `id`.
    NOTIFYICONDATAW Record(UINT id) const;

private:
    CWnd* m_owner;
};

class CNotifyIconEx : public CNotifyIcon {
public:
    using CNotifyIcon::CNotifyIcon;

    BOOL Add(UINT id, HICON icon) override;
    BOOL Delete(UINT id) override;
    BOOL SetTip(UINT id, const std::wstring& text) override;
    BOOL ShowBalloon(UINT id, const std::wstring& text, const std::wstring& title) override;
    // Does nothing.
    virtual void Reserved();
    // Sets again the tip of every icon that has a non-empty one.
    virtual void ReapplyTips();

    // Icon id -> the last texts set.
    const std::map<UINT, NotifyIconTexts>& Texts() const { return m_texts; }

private:
    std::map<UINT, NotifyIconTexts> m_texts;
};
