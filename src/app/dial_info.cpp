#include "app/dial_info.h"

namespace {

std::wstring ItemText(HWND dialog, UINT id) {
    const HWND item = ::GetDlgItem(dialog, static_cast<int>(id));
    if (item == nullptr) return L"";
    const int length = ::GetWindowTextLengthW(item);
    if (length <= 0) return L"";
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(item, text.data(), length + 1);
    text.resize(static_cast<size_t>(std::max(copied, 0)));
    return text;
}

void SetItemText(HWND dialog, UINT id, const std::wstring& text) {
    ::SetDlgItemTextW(dialog, static_cast<int>(id), text.c_str());
}

bool Ticked(HWND dialog, UINT id) {
    return ::IsDlgButtonChecked(dialog, static_cast<int>(id)) == BST_CHECKED;
}

void Tick(HWND dialog, UINT id, bool ticked) {
    ::CheckDlgButton(dialog, static_cast<int>(id), ticked ? BST_CHECKED : BST_UNCHECKED);
}

void EnableItem(HWND dialog, UINT id, bool enable) {
    if (const HWND item = ::GetDlgItem(dialog, static_cast<int>(id))) ::EnableWindow(item, enable);
}

}  // namespace

// ---- The dial page ----

CDial::CDial() : CDockingDialog(IDD, nullptr) {}

std::wstring CDial::GetNumber() {
    return m_lastNumber = ItemText(m_hWnd, IDC_SETTING_NUMEDIT);
}

std::wstring CDial::GetUser() {
    return m_lastUser = ItemText(m_hWnd, IDC_NAMEEDIT);
}

std::wstring CDial::GetPass() {
    return m_lastPass = ItemText(m_hWnd, IDC_PASSWORDEDIT);
}

// ---- The option page ----

CDnsConfig::CDnsConfig() : CDockingDialog(IDD, nullptr) {}

BOOL CDnsConfig::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
            case IDC_DNSCHECKTEXT:
                OnUseDnsClicked();
                return TRUE;
            case IDC_IPCHECK:
                OnUseIpClicked();
                return TRUE;
            default:
                break;
        }
    }
    return CDockingDialog::OnCommand(wParam, lParam);
}

std::wstring CDnsConfig::GetDnsMain() {
    return m_lastDnsMain = m_useDns ? ItemText(m_hWnd, IDC_DNSIPADDRESS) : L"";
}

std::wstring CDnsConfig::GetDnsMinor() {
    return m_lastDnsMinor = m_useDns ? ItemText(m_hWnd, IDC_DNSIPADDRESS1) : L"";
}

std::wstring CDnsConfig::GetIpAddress() {
    return m_lastIp = m_useIp ? ItemText(m_hWnd, IDC_IPADDRESS) : L"";
}

void CDnsConfig::OnUseDnsClicked() {
    m_useDns = Ticked(m_hWnd, IDC_DNSCHECKTEXT);
    EnableItem(m_hWnd, IDC_DNSIPADDRESS, m_useDns);
    EnableItem(m_hWnd, IDC_DNSIPADDRESS1, m_useDns);
}

void CDnsConfig::OnUseIpClicked() {
    m_useIp = Ticked(m_hWnd, IDC_IPCHECK);
    EnableItem(m_hWnd, IDC_IPADDRESS, m_useIp);
}

void CDnsConfig::SetUseDns(bool use) {
    Tick(m_hWnd, IDC_DNSCHECKTEXT, use);
    OnUseDnsClicked();
}

void CDnsConfig::SetUseIp(bool use) {
    Tick(m_hWnd, IDC_IPCHECK, use);
    OnUseIpClicked();
}

// ---- The container ----

CDialInfo::CDialInfo() : CDockingDialog(IDD, nullptr) {}

BOOL CDialInfo::OnInitDialog() {
    m_dial.Create(IDD_Dial, this);
    m_dnsConfig.Create(IDD_DnsConfig, this);
    CDockingDialog::OnInitDialog();
    CDialSettings& settings = CDialSettings::Instance();
    settings.Path() = GetUserDataFolder() + L"Setting.txt";
    DialProfile profile = settings.Profile();
    CDialSettings::Read(profile, settings.Path());
    settings.SetProfile(profile);
    FillFromSettings();
    ShowDialPage();
    return TRUE;
}

BOOL CDialInfo::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) == BN_CLICKED) {
        if (LOWORD(wParam) == IDC_DialSetting) {
            ShowDialPage();
            return TRUE;
        }
        if (LOWORD(wParam) == IDC_OptionSetting) {
            ShowOptionPage();
            return TRUE;
        }
    }
    return CDockingDialog::OnCommand(wParam, lParam);
}

void CDialInfo::FillFromSettings() {
    const DialProfile p = CDialSettings::Instance().Profile();
    const HWND dial = m_dial.m_hWnd;
    const HWND option = m_dnsConfig.m_hWnd;
    SetItemText(dial, IDC_SETTING_NUMEDIT, p.Number);
    SetItemText(dial, IDC_NAMEEDIT, p.User);
    SetItemText(dial, IDC_PASSWORDEDIT, p.Pass);
    Tick(dial, IDC_CHAPCHECK, p.SaveInfo);
    SetItemText(option, IDC_DNSIPADDRESS, p.DNSMain);
    SetItemText(option, IDC_DNSIPADDRESS1, p.DNSMinor);
    SetItemText(option, IDC_IPADDRESS, p.IPAddress);
    Tick(option, IDC_ReDial, p.Redial);
    Tick(option, IDC_ConnStartUp, p.AutoRun);
    // Stored values count as chosen: otherwise the next write-back would drop them.
    m_dnsConfig.SetUseDns(!p.DNSMain.empty() || !p.DNSMinor.empty());
    m_dnsConfig.SetUseIp(!p.IPAddress.empty());
}

void CDialInfo::ApplyToSettings() {
    if (m_dial.m_hWnd == nullptr || m_dnsConfig.m_hWnd == nullptr) return;
    CDialSettings& settings = CDialSettings::Instance();
    // The fields without a control on the pages keep their stored values.
    DialProfile p = settings.Profile();
    p.Number = m_dial.GetNumber();
    p.User = m_dial.GetUser();
    p.Pass = m_dial.GetPass();
    p.DNSMain = m_dnsConfig.GetDnsMain();
    p.DNSMinor = m_dnsConfig.GetDnsMinor();
    p.IPAddress = m_dnsConfig.GetIpAddress();
    p.Redial = Ticked(m_dnsConfig.m_hWnd, IDC_ReDial);
    p.AutoRun = Ticked(m_dnsConfig.m_hWnd, IDC_ConnStartUp);
    p.SaveInfo = Ticked(m_dial.m_hWnd, IDC_CHAPCHECK);
    settings.SetProfile(p);
}

void CDialInfo::ShowPage(bool dialPage) {
    Tick(m_hWnd, IDC_DialSetting, dialPage);
    Tick(m_hWnd, IDC_OptionSetting, !dialPage);
    if (m_dial.m_hWnd != nullptr) m_dial.ShowWindow(dialPage ? SW_SHOW : SW_HIDE);
    if (m_dnsConfig.m_hWnd != nullptr) m_dnsConfig.ShowWindow(dialPage ? SW_HIDE : SW_SHOW);
}

void CDialInfo::ShowDialPage() {
    ShowPage(true);
}

void CDialInfo::ShowOptionPage() {
    ShowPage(false);
}

void CDialInfo::OnDestroy() {
    // The pages are destroyed after their parent's WM_DESTROY: they still hold their texts.
    ApplyToSettings();
    CDockingDialog::OnDestroy();
}
