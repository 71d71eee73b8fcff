// The dial settings pages: the container (template 30000) with its two tab buttons, the dial
// page (number, user, password, save) and the option page (DNS, IP address, auto-connect,
// redial). The container fills the pages from the settings store when it is made and writes
// the pages back into the store before every connect and when it is destroyed.
#pragma once

#include <string>

#include "app/dial_settings.h"
#include "docking/dialog.h"

// The pages' controls.
constexpr UINT IDD_DialInfo = 30000;
constexpr UINT IDD_Dial = 30100;
constexpr UINT IDD_DnsConfig = 30200;
constexpr UINT IDC_NUMTEXT = 30101;
constexpr UINT IDC_USERNAMETEXT = 30102;
constexpr UINT IDC_PASSWORDTEXT = 30103;
constexpr UINT IDC_DNSCHECKTEXT = 30104;
constexpr UINT IDC_DNSTEXT = 30105;
constexpr UINT IDC_DNSTEXT1 = 30106;
constexpr UINT IDC_CHAPCHECK = 30107;  // "save information"
constexpr UINT IDC_ConnStartUp = 30109;
constexpr UINT IDC_IPCHECK = 30110;
constexpr UINT IDC_ReDial = 30111;
constexpr UINT IDC_SETTING_NUMEDIT = 30113;
constexpr UINT IDC_NAMEEDIT = 30114;
constexpr UINT IDC_PASSWORDEDIT = 30115;
constexpr UINT IDC_DNSIPADDRESS = 30116;
constexpr UINT IDC_DNSIPADDRESS1 = 30117;
constexpr UINT IDC_IPADDRESS = 30118;
constexpr UINT IDC_DialSetting = 31101;
constexpr UINT IDC_OptionSetting = 31102;

// The dial page: number, user, password and the save box.
class CDial : public System::Docking::Skin::CDockingDialog {
public:
    enum { IDD = IDD_Dial };
    CDial();

    // The controls' current texts.
    std::wstring GetNumber();
    std::wstring GetUser();
    std::wstring GetPass();

private:
    std::wstring m_lastNumber, m_lastUser, m_lastPass;
};

// The option page: DNS servers, IP address, auto-connect and redial.
class CDnsConfig : public System::Docking::Skin::CDockingDialog {
public:
    enum { IDD = IDD_DnsConfig };
    CDnsConfig();

    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    // "" while "使用DNS" is unticked.
    std::wstring GetDnsMain();
    std::wstring GetDnsMinor();
    // "" while "使用指定IP地址" is unticked.
    std::wstring GetIpAddress();

    void OnUseDnsClicked();
    void OnUseIpClicked();
    // Ticks the box and sets the flag (fields enabled) when the stored value is not empty, so
    // that saved values are kept by the next write-back.
    void SetUseDns(bool use);
    void SetUseIp(bool use);
    bool UseDns() const { return m_useDns; }
    bool UseIp() const { return m_useIp; }

private:
    bool m_useDns = false;
    bool m_useIp = false;
    std::wstring m_lastDnsMain, m_lastDnsMinor, m_lastIp;
};

// The settings container with its two tabs.
class CDialInfo : public System::Docking::Skin::CDockingDialog {
public:
    enum { IDD = IDD_DialInfo };
    CDialInfo();

    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

    // The pages from the store's profile.
    void FillFromSettings();
    // The store's profile from the pages: a copy of the current profile with the fields the
    // pages have controls for overwritten (the others are kept).
    void ApplyToSettings();
    void ShowDialPage();
    void ShowOptionPage();

    CDial& DialPage() { return m_dial; }
    CDnsConfig& OptionPage() { return m_dnsConfig; }

protected:
    // Writes the pages back, then the base.
    void OnDestroy() override;

private:
    // Ticks one tab and shows its page, unticks and hides the other.
    void ShowPage(bool dialPage);

    CDial m_dial;
    CDnsConfig m_dnsConfig;
};
