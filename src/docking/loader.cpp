#include "docking/loader.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "docking/controls.h"
#include "docking/docking.h"
#include "docking/messages.h"
#include "docking/registry.h"
#include "docking/style.h"
#include "docking/ui_guard.h"
#include <windows.h>
#include <msxml2.h>

namespace System::Docking {

const std::map<UINT, std::wstring>& LayoutFileTable() {
    static const std::map<UINT, std::wstring> table = {
        {7000, L"NetConnectDialog.xml"}, {30000, L"SettingDlg.xml"},
        {30100, L"DialSettingDlg.xml"},  {30200, L"OptionSettingDlg.xml"},
        {102, L"QOBUIDialog.xml"},
    };
    return table;
}

std::wstring LayoutFileName(UINT templateId) {
    const auto& table = LayoutFileTable();
    auto it = table.find(templateId);
    return it == table.end() ? std::wstring() : it->second;
}

const std::map<std::wstring, int>& ControlIdTable() {
    static const std::map<std::wstring, int> table = {
        {L"IDC_BUTTON_START", 800},
        {L"IDC_BUTTON_MAX", 801},
        {L"IDC_BUTTON_MIN", 802},
        {L"IDC_BUTTON_CLOSE", 803},
        {L"IDC_BUTTON_RESTORE", 804},
        {L"IDC_BUTTON_MIN2", 804},
        {L"IDC_BUTTON_SKIN", 1012},
        {L"IDC_STATIC", -1},
        {L"IDC_BTN_CONNECT", 7811},
        {L"IDC_NetInfo", 7999},
        {L"IDS_CONNECT", 7002},
        {L"IDC_NUMTEXT", 30101},
        {L"IDC_USERNAMETEXT", 30102},
        {L"IDC_PASSWORDTEXT", 30103},
        {L"IDC_DNSCHECKTEXT", 30104},
        {L"IDC_DNSTEXT", 30105},
        {L"IDC_DNSTEXT1", 30106},
        {L"IDC_CHAPCHECK", 30107},
        {L"IDC_ConnStartUp", 30109},
        {L"IDC_IPCHECK", 30110},
        {L"IDC_ReDial", 30111},
        {L"IDC_SETTING_NUMEDIT", 30113},
        {L"IDC_NAMEEDIT", 30114},
        {L"IDC_PASSWORDEDIT", 30115},
        {L"IDC_DNSIPADDRESS", 30116},
        {L"IDC_DNSIPADDRESS1", 30117},
        {L"IDC_IPADDRESS", 30118},
        {L"IDC_DialSetting", 31101},
        {L"IDC_OptionSetting", 31102},
        {L"IDC_STATUSBAR_UIM", 1014},
        {L"IDC_STATUSBAR_SMS", 1015},
        {L"IDC_STATUSBAR_ROAM", 1016},
        {L"IDC_STATUSBAR_CALL", 1017},
        {L"IDC_STATUSBAR_NET", 1018},
        {L"IDC_STATUSBAR_EVDO", 1019},
        {L"IDC_STATUSBAR_SIGNAL", 1020},
        {L"IDC_STATUSBAR_TIME", 1021},
        {L"IDM_ABOUTBOX", 16},
        {L"IDS_ABOUTBOX", 101},
        {L"IDR_MAINFRAME", 128},
        {L"IDB_VALUEADD", 132},
        {L"IDB_VOICE", 133},
        {L"IDB_VOICELOG", 134},
        {L"IDB_SMS", 135},
        {L"IDB_NET", 136},
        {L"IDB_NETLOG", 137},
        {L"IDB_PHONEBOOK", 138},
        {L"IDB_SETTING", 139},
        {L"IDB_HELP", 140},
    };
    return table;
}

int ControlIdOf(const std::wstring& name) {
    const auto& table = ControlIdTable();
    auto it = table.find(name);
    return it != table.end() ? it->second : ReadStyleNumber(name);
}

namespace {

template <class T>
CWnd* Make() {
    return new (std::nothrow) T();
}

}  // namespace

const std::map<std::wstring, ControlFactory>& ControlFactoryTable() {
    using namespace Skin;
    static const std::map<std::wstring, ControlFactory> table = {
        {L"Button", Make<CDockingButton>},
        {L"System::Docking::Skin::CDockingButton", Make<CDockingButton>},
        {L"Static", Make<CDockingStatic>},
        {L"System::Docking::Skin::CDockingStatic", Make<CDockingStatic>},
        {L"ComboBox", Make<CDockingComboBox>},
        {L"System::Docking::Skin::CDockingComboBox", Make<CDockingComboBox>},
        {L"Edit", Make<CDockingEdit>},
        {L"System::Docking::Skin::CDockingEdit", Make<CDockingEdit>},
        {L"GroupBox", Make<CDockingGroupBox>},
        {L"System::Docking::Skin::CDockingGroupBox", Make<CDockingGroupBox>},
        {L"Slider", Make<CDockingSlider>},
        {L"System::Docking::Skin::CDockingSlider", Make<CDockingSlider>},
        {L"List", Make<CDockingListCtrl>},
        {L"System::Docking::Skin::CDockingListCtrl", Make<CDockingListCtrl>},
        {L"IPAddress", Make<CDockingIPAddressCtrl>},
        {L"System::Docking::Skin::CDockingIPAddressCtrl", Make<CDockingIPAddressCtrl>},
        {L"DateTime", Make<CDockingDateTimeCtrl>},
        {L"System::Docking::Skin::CDockingDateTimeCtrl", Make<CDockingDateTimeCtrl>},
    };
    return table;
}

int DigitValue(wchar_t c) {
    return c >= L'1' && c <= L'9' ? c - L'0' : 0;
}

void AddWindowStyle(HWND window, DWORD bits) {
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
    if ((style & bits) != bits)
        SetWindowLongPtrW(window, GWL_STYLE, static_cast<LONG_PTR>(style | bits));
}

int ClampSkinSize(int size, int limit) {
    return std::clamp(size, 0, std::max(limit, 0));
}

COLORREF ColorKeyOf(ColorValue argb) {
    const DWORD red = (argb >> 16) & 0xFF, green = (argb >> 8) & 0xFF, blue = argb & 0xFF;
    return red | (green << 8) | (blue << 16);
}

namespace {

using Attribute = std::optional<std::wstring>;

// A style property: back to its defaults, then the attribute's text when there is one.
template <class P>
void ApplyStyle(P& property, const Attribute& value) {
    property.Restore();
    if (value) property.Assign(*value);
}

// A text property: the attribute's text, or `absent`.
template <class P>
void ApplyText(P& property, const Attribute& value, const wchar_t* absent = L"") {
    property.Assign(value ? *value : std::wstring(absent));
}

// The dialog window as the root docking's "window" asks: style bits added, layered or not, the
// colour key, the default and minimum sizes (within the work area).
void SetUpWindow(HWND dialog, const WindowFields& window) {
    if (window.style == L"popup")
        AddWindowStyle(dialog, WS_POPUP);
    else if (window.style == L"child")
        AddWindowStyle(dialog, WS_CHILD);

    const bool layouted = window.layout == L"layouted";
    const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_EXSTYLE));
    if (layouted && (exStyle & WS_EX_LAYERED) == 0)
        SetWindowLongPtrW(dialog, GWL_EXSTYLE, static_cast<LONG_PTR>(exStyle | WS_EX_LAYERED));
    else if (!layouted && (exStyle & WS_EX_LAYERED) != 0)
        SetWindowLongPtrW(dialog, GWL_EXSTYLE, static_cast<LONG_PTR>(exStyle & ~WS_EX_LAYERED));

    if (window.mask != kNoColor) {
        // A layouted window shows its picture with per-pixel alpha (UpdateLayeredWindow), which a
        // colour key would refuse from then on, leaving the window blank: the picture's alpha
        // shapes such a window, and its mask is not applied.
        if (layouted)
            OutputDebugStringW(L"[DockingDialog] a layouted window ignores its mask");
        else
            SetLayeredWindowAttributes(dialog, ColorKeyOf(window.mask), 255, LWA_COLORKEY);
    }

    RECT work{};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0))
        work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    const int maxWidth = work.right - work.left, maxHeight = work.bottom - work.top;

    // The window's place in its parent's client area (the screen for a top-level one).
    RECT r{};
    GetWindowRect(dialog, &r);
    POINT corner{r.left, r.top};
    if (HWND parent = GetParent(dialog);
        parent != nullptr && (GetWindowLongPtrW(dialog, GWL_STYLE) & WS_CHILD) != 0)
        ScreenToClient(parent, &corner);
    int width = r.right - r.left, height = r.bottom - r.top;
    auto resize = [&](int w, int h) {
        if (w == width && h == height) return;
        MoveWindow(dialog, corner.x, corner.y, w, h, FALSE);
        width = w;
        height = h;
    };
    const int defaultWidth = ClampSkinSize(window.defaultwidth, maxWidth);
    const int defaultHeight = ClampSkinSize(window.defaultheight, maxHeight);
    if (!IsZoomed(dialog) && (defaultWidth != 0 || defaultHeight != 0))
        resize(defaultWidth != 0 ? defaultWidth : width,
               defaultHeight != 0 ? defaultHeight : height);
    const int minWidth = ClampSkinSize(window.minwidth, maxWidth);
    const int minHeight = ClampSkinSize(window.minheight, maxHeight);
    if (minWidth != 0 || minHeight != 0)
        resize(std::max(width, minWidth), std::max(height, minHeight));
}

// One docking to fill: the element, the docking, the item whose cell named it (-1 for the root)
// and how deep it nests.
struct WorkItem {
    std::size_t element;
    CDocking* docking;
    int parent;
    int depth;
};

// The element already fills this item or one of the dockings it nests in.
bool OnChain(const std::vector<WorkItem>& work, int item, std::size_t element) {
    for (int depth = 0; item >= 0 && depth <= kMaxLayoutDepth; ++depth) {
        if (work[item].element == element) return true;
        item = work[item].parent;
    }
    return false;
}

// The cell's attributes, in their order.
void ApplyCell(CDockingCell& cell, const IXMLDOMNode& element) {
    ApplyText(cell.id, element.getAttribute(L"id"));
    if (auto width = element.getAttribute(L"width")) cell.width.Assign(ReadStyleNumber(*width));
    if (auto height = element.getAttribute(L"height")) cell.height.Assign(ReadStyleNumber(*height));
    ApplyStyle(cell.background, element.getAttribute(L"background"));
    ApplyText(cell.text, element.getAttribute(L"text"));
    ApplyStyle(cell.font, element.getAttribute(L"font"));
    ApplyStyle(cell.padding, element.getAttribute(L"padding"));
    ApplyStyle(cell.margin, element.getAttribute(L"margin"));
    ApplyStyle(cell.border, element.getAttribute(L"border"));
    ApplyText(cell.cursor, element.getAttribute(L"cursor"));
    auto zindex = element.getAttribute(L"zindex");
    cell.zindex.Assign(zindex ? ReadStyleNumber(*zindex) : 0);
}

// "handle": the control's window through the dialog, then the control reads its own attributes.
void ApplyHandle(CDockingCell& cell, IXMLDOMNode& element, HWND dialog) {
    const Attribute value = element.getAttribute(L"handle");
    if (!value) return;
    std::wstring name, key, style;
    const auto pairs = ParseStyleText(*value);
    auto text = [&pairs](const wchar_t* field) {
        auto it = pairs.find(field);
        return it == pairs.end() ? std::wstring() : it->second;
    };
    if (pairs.empty()) {
        name = *value;
    } else {
        name = text(L"id");
        key = text(L"class");
        style = text(L"style");
    }
    cell.handle.style = style;
    if (name.empty()) return;
    const auto window = reinterpret_cast<HWND>(SendMessageW(dialog, WM_DOCKING_CREATECONTROL,
                                                            reinterpret_cast<WPARAM>(name.c_str()),
                                                            reinterpret_cast<LPARAM>(key.c_str())));
    cell.handle.Assign(window);
    if (window != nullptr)
        SendMessageW(window, WM_DOCKING_SETSTYLE, reinterpret_cast<WPARAM>(&element), 0);
}

}  // namespace

std::map<std::wstring, HWND> CollectAttachedWindows(CDocking& root) {
    std::map<std::wstring, HWND> attached;
    std::vector<CDocking*> list{&root};
    for (std::size_t i = 0; i < list.size(); ++i) {
        for (int k = 0; k < 9; ++k) {
            CDockingCell& cell = list[i]->Cell(k / 3, k % 3);
            if (cell.handle.Ref() != nullptr && !cell.id.Ref().empty())
                attached.emplace(cell.id.Ref(), cell.handle.Ref());
            if (CDocking* nested = cell.child.Value()) list.push_back(nested);
        }
    }
    return attached;
}

void LoadDockingLayout(const std::wstring& path, CDocking& root, HWND dialog) {
    const std::map<std::wstring, HWND> attached = CollectAttachedWindows(root);

    IXMLDOMDocument document;
    if (document.load(path.c_str()) != VARIANT_TRUE)
        throw LayoutLoadError("the layout file cannot be loaded");
    const std::vector<IXMLDOMNode*> elements = document.selectNodes(L"/root/docking");

    std::map<std::wstring, std::size_t> indexOf;
    for (std::size_t i = 0; i < elements.size(); ++i)
        if (auto id = elements[i]->getAttribute(L"id")) indexOf[*id] = i;

    std::optional<UiWrite> change;
    std::vector<WorkItem> work{{0, &root, -1, 0}};
    for (std::size_t i = 0; i < work.size(); ++i) {
        const WorkItem item = work[i];  // the list grows below
        // Null: a later cell element of the same cell replaced or deleted that nested docking.
        if (item.element >= elements.size() || item.docking == nullptr) continue;
        IXMLDOMNode& element = *elements[item.element];
        const std::vector<IXMLDOMNode*> cells = element.selectNodes(L"cell");
        CDocking& docking = *item.docking;
        const bool first = i == 0;

        // From the reset on, the whole fill is one change of the tree: renders stop and wait.
        if (first) {
            change.emplace(root, UiWrite::Structure);
            docking.Reset(dialog);
        }
        ApplyText(docking.id, element.getAttribute(L"id"));
        if (first) docking.handle.Assign(dialog);
        docking.handle.layoutFile = path;
        ApplyStyle(docking.background, element.getAttribute(L"background"));
        ApplyStyle(docking.border, element.getAttribute(L"border"));
        ApplyText(docking.overflow, element.getAttribute(L"overflow"), L"clip");
        ApplyText(docking.cursor, element.getAttribute(L"cursor"));
        if (first) {
            ApplyStyle(docking.window, element.getAttribute(L"window"));
            SetUpWindow(dialog, docking.window);
            ApplyText(docking.anchor, element.getAttribute(L"anchor"));
        }

        for (IXMLDOMNode* cellElement : cells) {
            const std::wstring index = cellElement->getAttribute(L"index").value_or(L"");
            const int row = index.size() > 0 ? DigitValue(index[0]) : 0;
            const int column = index.size() > 1 ? DigitValue(index[1]) : 0;
            if (row > 2 || column > 2) continue;
            CDockingCell& cell = docking.Cell(row, column);
            ApplyCell(cell, *cellElement);
            ApplyHandle(cell, *cellElement, dialog);

            // A cell named twice: the nested docking its earlier element queued is filled (or
            // deleted) by this one; the queued fill must not reach it.
            if (CDocking* queued = cell.child.Value())
                for (std::size_t k = i + 1; k < work.size(); ++k)
                    if (work[k].docking == queued) work[k].docking = nullptr;
            const Attribute child = cellElement->getAttribute(L"child");
            auto target = child ? indexOf.find(*child) : indexOf.end();
            // A reference to an element the cell is already inside (a cycle), one nesting too
            // deep, or one beyond the dockings a load may build, counts as naming no docking.
            if (target == indexOf.end() || OnChain(work, static_cast<int>(i), target->second) ||
                item.depth >= kMaxLayoutDepth ||
                work.size() >= static_cast<std::size_t>(kMaxLayoutDockings)) {
                cell.child.Destroy();
                continue;
            }
            work.push_back(
                {target->second, cell.child.Read(), static_cast<int>(i), item.depth + 1});
        }
    }

    // Windows the application had put in cells come back in the cell of the same id when the new
    // layout put no window of its own there.
    for (const auto& [id, window] : attached) {
        auto* cell = dynamic_cast<CDockingCell*>(FindRenderableById(id));
        if (cell == nullptr || FindRenderableByWindow(window) != nullptr) continue;
        cell->handle.Assign(window);
        cell->Update(cell->GetBounds());
    }
}

}  // namespace System::Docking
