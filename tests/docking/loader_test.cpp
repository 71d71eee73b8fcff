// The layout loader: which cell an element configures, controls made through the dialog, nested
// dockings and the references that must not run away, the dialog window set up from "window",
// failed loads and windows attached again after a reload; the tables beside it.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <typeinfo>
#include <vector>

#include "docking/controls.h"
#include "docking/loader.h"
#include "docking/messages.h"
#include "docking/registry.h"
#include "docking/skin.h"
#include "machine/screen.h"
#include <winuser.h>
#include <msxml2.h>
#include "skin_helper.h"

using namespace System::Docking;
using namespace skin_test;

namespace {

class Loader : public SkinTest {
protected:
    // The dialog is made on the test's fresh machine (its docking's events belong to it).
    void SetUp() override {
        SkinTest::SetUp();
        dialog_ = std::make_unique<TestDialog>(kMain);
        ASSERT_TRUE(dialog_->Create(kMain));
    }
    void TearDown() override {
        SkinTest::TearDown();
        dialog_.reset();
    }
    // Loads the layout into the dialog's own docking.
    void Load(const std::string& dockings) {
        LoadDockingLayout(WriteLayout(L"default", L"probe.xml", Layout(dockings)), Root(),
                          dialog_->m_hWnd);
    }
    CDocking& Root() { return dialog_->Docking(); }
    CDockingCell* CellById(const std::wstring& id) {
        return dynamic_cast<CDockingCell*>(FindRenderableById(id));
    }

    std::unique_ptr<TestDialog> dialog_;
};

// The dockings of the tree below (and with) the docking.
int CountDockings(CDocking& docking) {
    int count = 1;
    for (int k = 0; k < 9; ++k)
        if (CDocking* nested = docking.Cell(k / 3, k % 3).child.Value())
            count += CountDockings(*nested);
    return count;
}

int Depth(CDocking& docking) {
    int deepest = 0;
    for (int k = 0; k < 9; ++k)
        if (CDocking* nested = docking.Cell(k / 3, k % 3).child.Value())
            deepest = std::max(deepest, 1 + Depth(*nested));
    return deepest;
}

// ---- Which cell an element configures ----

struct IndexCase {
    const char* name;
    std::optional<std::string> index;  // nothing: no "index" attribute
    int row, column;                   // -1: the element is skipped
};
void PrintTo(const IndexCase& c, std::ostream* os) {
    *os << c.name;
}

class CellIndex : public Loader, public ::testing::WithParamInterface<IndexCase> {};

TEST_P(CellIndex, SelectsTheCellOrSkipsTheElement) {
    const IndexCase& c = GetParam();
    const std::string index = c.index ? " index=\"" + *c.index + "\"" : "";
    Load("<docking><cell" + index + " id=\"probe\" text=\"t\"/></docking>");
    CDockingCell* cell = CellById(L"probe");
    if (c.row < 0) {
        EXPECT_EQ(cell, nullptr);
        for (int k = 0; k < 9; ++k) EXPECT_EQ(Root().Cell(k / 3, k % 3).text.Value(), L"");
        return;
    }
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell, &Root().Cell(c.row, c.column));
    EXPECT_EQ(cell->text.Value(), L"t");
}

INSTANTIATE_TEST_SUITE_P(
    Indexes, CellIndex,
    ::testing::Values(IndexCase{"absent", std::nullopt, 0, 0}, IndexCase{"empty", "", 0, 0},
                      IndexCase{"one digit is the row", "2", 2, 0},
                      IndexCase{"row then column", "21", 2, 1},
                      IndexCase{"column 3 is skipped", "13", -1, -1},
                      IndexCase{"row 9 is skipped", "90", -1, -1},
                      IndexCase{"a letter counts as 0", "x2", 0, 2},
                      IndexCase{"characters after two are ignored", "112", 1, 1}),
    [](const auto& info) { return std::to_string(info.index); });

TEST_F(Loader, TwoElementsWithoutIndexBothConfigureCell00TheLaterWinning) {
    Load(R"(<docking><cell id="a" text="first"/><cell id="b"/></docking>)");
    EXPECT_EQ(Root().Cell(0, 0).id.Ref(), L"b");
    EXPECT_EQ(Root().Cell(0, 0).text.Value(), L"") << "an absent text clears it";
    EXPECT_EQ(FindRenderableById(L"a"), nullptr);
}

TEST_F(Loader, DockingAttributesAbsentFallBackToTheirDefaults) {
    Load(R"(<docking id="first" overflow="float" cursor="hand"/>)");
    EXPECT_EQ(Root().overflow.Value(), L"float");
    Load(R"(<docking/>)");
    EXPECT_EQ(Root().id.Ref(), L"");
    EXPECT_EQ(Root().overflow.Value(), L"clip");
    EXPECT_EQ(Root().cursor.Value(), L"");
    EXPECT_EQ(Root().handle.Ref(), dialog_->m_hWnd);
    EXPECT_NE(Root().handle.layoutFile.find(L"probe.xml"), std::wstring::npos);
}

// ---- Controls ----

TEST_F(Loader, ABareNameAndIdWithClassBothFindTheChildOnlyTheSecondMakesAControl) {
    const HWND close = ::GetDlgItem(dialog_->m_hWnd, kClose);
    ASSERT_NE(close, nullptr);

    Load(R"(<docking><cell index="00" handle="IDC_BUTTON_CLOSE"/></docking>)");
    EXPECT_EQ(Root().Cell(0, 0).handle.Ref(), close);
    EXPECT_TRUE(dialog_->Controls().empty());
    EXPECT_EQ(CWnd::FromHandlePermanent(close), nullptr);

    Load(
        R"(<docking><cell index="00" handle="id:IDC_BUTTON_CLOSE;class:Button;style:clip"/></docking>)");
    EXPECT_EQ(Root().Cell(0, 0).handle.Ref(), close);
    EXPECT_EQ(Root().Cell(0, 0).handle.style, L"clip");
    ASSERT_EQ(dialog_->Controls().count(L"IDC_BUTTON_CLOSE"), 1u);
    EXPECT_NE(dynamic_cast<Skin::CDockingButton*>(CWnd::FromHandlePermanent(close)), nullptr);
}

TEST_F(Loader, TheControlReadsItsCellElementDuringSetStyle) {
    const HWND logged = ::GetDlgItem(dialog_->m_hWnd, kLogged);
    std::wstring seen;
    Answers() = [&](HWND w, UINT m, WPARAM wp, LPARAM) -> std::optional<LRESULT> {
        if (w == logged && m == WM_DOCKING_SETSTYLE)
            seen = reinterpret_cast<IXMLDOMNode*>(wp)->getAttribute(L"look").value_or(L"?");
        return std::nullopt;
    };
    Load(R"(<docking><cell index="11" handle="7811" look="shiny"/></docking>)");
    EXPECT_EQ(seen, L"shiny");
    EXPECT_EQ(Root().Cell(1, 1).handle.Ref(), logged);
    Answers() = nullptr;
}

TEST_F(Loader, AControlNameOfNoChildLeavesTheCellWithoutWindow) {
    Load(R"(<docking><cell handle="id:IDC_BUTTON_MAX;class:Button" id="max"/></docking>)");
    EXPECT_EQ(Root().Cell(0, 0).handle.Ref(), nullptr);
    EXPECT_EQ(dialog_->Controls().count(L"IDC_BUTTON_MAX"), 1u) << "kept, attached to nothing";
}

TEST_F(Loader, ASliderOverAButtonIsMadeWithoutHarm) {
    Load(R"(<docking><cell handle="id:IDC_BUTTON_CLOSE;class:Slider"/></docking>)");
    const HWND close = ::GetDlgItem(dialog_->m_hWnd, kClose);
    EXPECT_NE(dynamic_cast<Skin::CDockingSlider*>(CWnd::FromHandlePermanent(close)), nullptr);
    ::SendMessageW(close, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    ::SendMessageW(close, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    ::SendMessageW(close, WM_DOCKING_SETSTYLE, 0, 0);
    EXPECT_TRUE(::IsWindow(close));
}

// ---- Nested dockings and references ----

TEST_F(Loader, AChildNamingADockingElementNestsItAndOneNamingNothingDeletesIt) {
    Load(R"(<docking><cell index="00" child="inner"/><cell index="01" child="inner"/></docking>
            <docking id="inner"><cell index="22" id="deep"/></docking>)");
    ASSERT_NE(Root().Cell(0, 0).child.Value(), nullptr);
    ASSERT_NE(Root().Cell(0, 1).child.Value(), nullptr);
    EXPECT_EQ(Root().Cell(0, 0).child.Value()->id.Ref(), L"inner");

    Load(R"(<docking><cell index="00" child="missing"/><cell index="01"/></docking>
            <docking id="inner"/>)");
    EXPECT_EQ(Root().Cell(0, 0).child.Value(), nullptr);
    EXPECT_EQ(Root().Cell(0, 1).child.Value(), nullptr);
    EXPECT_EQ(FindRenderableById(L"deep"), nullptr);
}

struct CycleCase {
    const char* name;
    std::string dockings;
    int dockingsBuilt;
};
void PrintTo(const CycleCase& c, std::ostream* os) {
    *os << c.name;
}

class References : public Loader, public ::testing::WithParamInterface<CycleCase> {};

TEST_P(References, EndWithABoundedTree) {
    Load(GetParam().dockings);
    EXPECT_EQ(CountDockings(Root()), GetParam().dockingsBuilt);
}

std::string Fan(int elements) {
    std::string out;
    for (int e = 0; e < elements; ++e) {
        out += "<docking id=\"e" + std::to_string(e) + "\">";
        for (int k = 0; k < 9; ++k)
            out += "<cell index=\"" + std::to_string(k / 3) + std::to_string(k % 3) +
                   "\" child=\"e" + std::to_string(e + 1) + "\"/>";
        out += "</docking>";
    }
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Cycles, References,
    ::testing::Values(
        CycleCase{"self", R"(<docking id="a"><cell child="a"/></docking>)", 1},
        CycleCase{"mutual",
                  R"(<docking id="a"><cell child="b"/></docking>
                     <docking id="b"><cell child="a"/><cell index="11" child="b"/></docking>)",
                  2},
        // The first element of cell 00 queues b; the second names the root and deletes it.
        CycleCase{"a queued docking deleted by a later element of its cell",
                  R"(<docking id="a"><cell child="b"/><cell index="0" child="a"/></docking>
                     <docking id="b"><cell index="11" child="b"/></docking>)",
                  1},
        CycleCase{"shared but acyclic",
                  R"(<docking id="a"><cell child="b"/><cell index="01" child="b"/></docking>
                     <docking id="b"><cell child="c"/></docking><docking id="c"/>)",
                  5},
        // Twelve elements whose nine cells each name the next would build 9^11 dockings.
        CycleCase{"fan-out", Fan(12), kMaxLayoutDockings}),
    [](const auto& info) { return std::to_string(info.index); });

TEST_F(Loader, NestingStopsAtTheDepthLimit) {
    std::string chain;
    for (int e = 0; e < 50; ++e)
        chain += "<docking id=\"e" + std::to_string(e) + "\"><cell child=\"e" +
                 std::to_string(e + 1) + "\"/></docking>";
    Load(chain);
    EXPECT_EQ(Depth(Root()), kMaxLayoutDepth);
}

// ---- The dialog window ----

RECT WindowRect(HWND w) {
    RECT r{};
    ::GetWindowRect(w, &r);
    return r;
}

TEST_F(Loader, StyleChildAddsWsChildAndKeepsTheOtherBits) {
    const auto before = static_cast<DWORD>(::GetWindowLongPtrW(dialog_->m_hWnd, GWL_STYLE));
    ASSERT_EQ(before & WS_CHILD, 0u);
    Load(R"(<docking window="style:child"/>)");
    const auto after = static_cast<DWORD>(::GetWindowLongPtrW(dialog_->m_hWnd, GWL_STYLE));
    EXPECT_EQ(after, before | WS_CHILD);
    Load(R"(<docking window="style:Child"/>)");  // exact comparison: nothing, nothing cleared
    EXPECT_EQ(static_cast<DWORD>(::GetWindowLongPtrW(dialog_->m_hWnd, GWL_STYLE)), after);
}

struct SizeCase {
    const char* name;
    std::string window;
    // Expected size: -1 keeps the current one, -2 is the work area's.
    int width, height;
};
void PrintTo(const SizeCase& c, std::ostream* os) {
    *os << c.name;
}

class WindowSize : public Loader, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(WindowSize, IsClampedToTheWorkAreaAndNegativeCountsAsZero) {
    const SizeCase& c = GetParam();
    RECT work{};
    ASSERT_TRUE(::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    const RECT before = WindowRect(dialog_->m_hWnd);
    auto expect = [](int wanted, LONG current, LONG limit) {
        return wanted == -1 ? current : wanted == -2 ? limit : wanted;
    };
    Load("<docking window=\"" + c.window + "\"/>");
    const RECT after = WindowRect(dialog_->m_hWnd);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    EXPECT_EQ(after.right - after.left,
              expect(c.width, before.right - before.left, work.right - work.left));
    EXPECT_EQ(after.bottom - after.top,
              expect(c.height, before.bottom - before.top, work.bottom - work.top));
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, WindowSize,
    ::testing::Values(
        SizeCase{"default", "defaultwidth:300;defaultheight:150", 300, 150},
        SizeCase{"default width only", "defaultwidth:300", 300, -1},
        SizeCase{"huge default", "defaultwidth:2147483647;defaultheight:2147483647", -2, -2},
        SizeCase{"negative default", "defaultwidth:-50;defaultheight:-50", -1, -1},
        SizeCase{"huge minimum", "minwidth:2147483647;minheight:100000", -2, -2},
        SizeCase{"negative minimum", "minwidth:-50;minheight:-2147483648", -1, -1},
        SizeCase{"smaller minimum keeps the size", "minwidth:10;minheight:10", -1, -1}),
    [](const auto& info) { return std::to_string(info.index); });

TEST_F(Loader, LayoutedMakesTheWindowLayeredAndAnyOtherLayoutClearsIt) {
    Load(R"(<docking window="layout:layouted"/>)");
    EXPECT_NE(::GetWindowLongPtrW(dialog_->m_hWnd, GWL_EXSTYLE) & WS_EX_LAYERED, 0);
    Load(R"(<docking window="layout:plain"/>)");
    EXPECT_EQ(::GetWindowLongPtrW(dialog_->m_hWnd, GWL_EXSTYLE) & WS_EX_LAYERED, 0);
}

// A layouted window shows its rendered picture through UpdateLayeredWindow; a colour key would
// make that fail from then on and leave the window blank, so the mask stays unapplied there.
TEST_F(Loader, ALayoutedWindowWithAMaskKeepsItsPerPixelPicture) {
    Load(R"(<docking window="layout:layouted;mask:#FF00FF"/>)");
    const HWND w = dialog_->m_hWnd;
    ASSERT_NE(::GetWindowLongPtrW(w, GWL_EXSTYLE) & WS_EX_LAYERED, 0);
    EXPECT_NE(M().screen().Layered(w).mode, sim::LayeredMode::Attributes);
    EXPECT_EQ(Root().window.mask, 0xFFFF00FFu) << "the skin's value stays readable";
    EXPECT_FALSE(DebugLines(L"ignores its mask").empty());

    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, 20, 20);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    SIZE size{20, 20};
    POINT from{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 254, AC_SRC_ALPHA};
    EXPECT_TRUE(
        ::UpdateLayeredWindow(w, screen, nullptr, &size, memory, &from, 0, &blend, ULW_ALPHA));
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
}

TEST(ColorKey, IsTheSkinColoursRedGreenAndBlueWithoutAlpha) {
    struct {
        ColorValue argb;
        COLORREF key;
    } cases[] = {{0xFFFF00FF, 0x00FF00FF},
                 {0xFF112233, 0x00332211},
                 {0x80ABCDEF, 0x00EFCDAB},
                 {0x00000000, 0x00000000}};
    for (const auto& c : cases) EXPECT_EQ(ColorKeyOf(c.argb), c.key) << std::hex << c.argb;
}

// ---- Failed loads, and windows attached again ----

TEST_F(Loader, AFailedLoadThrowsAndLeavesTheTreeAsItWas) {
    const HWND close = ::GetDlgItem(dialog_->m_hWnd, kClose);
    Load(R"(<docking id="kept"><cell index="12" id="cell" handle="IDC_BUTTON_CLOSE"/></docking>)");
    const std::string broken[] = {"<root><docking>", "not xml at all", ""};
    for (const std::string& bytes : broken) {
        ASSERT_TRUE(M().WriteFile(M().config().programFolder + L"skin\\default\\bad.xml", bytes));
        EXPECT_THROW(LoadDockingLayout(GetProgramFolder() + L"/skin/default/bad.xml", Root(),
                                       dialog_->m_hWnd),
                     LayoutLoadError);
    }
    EXPECT_THROW(
        LoadDockingLayout(GetProgramFolder() + L"/skin/default/none.xml", Root(), dialog_->m_hWnd),
        LayoutLoadError);
    EXPECT_EQ(Root().id.Ref(), L"kept");
    EXPECT_EQ(CellById(L"cell"), &Root().Cell(1, 2));
    EXPECT_EQ(Root().Cell(1, 2).handle.Ref(), close);
}

TEST_F(Loader, AnApplicationWindowComesBackInTheCellOfTheSameIdOnly) {
    const HWND own = MakeWindow(WS_CHILD | WS_VISIBLE, dialog_->m_hWnd, 4242);
    Load(R"(<docking><cell index="11" id="slot"/></docking>)");
    CellById(L"slot")->handle.Assign(own);

    Load(R"(<docking><cell index="20" id="slot"/></docking>)");
    EXPECT_EQ(Root().Cell(2, 0).handle.Ref(), own);
    EXPECT_EQ(FindRenderableByWindow(own), &Root().Cell(2, 0));

    Load(R"(<docking><cell index="20" id="other"/></docking>)");
    EXPECT_EQ(FindRenderableByWindow(own), nullptr);
    EXPECT_EQ(Root().Cell(2, 0).handle.Ref(), nullptr);
}

TEST_F(Loader, CollectAttachedWindowsWalksNestedDockingsToo) {
    Load(R"(<docking><cell index="00" id="top" handle="IDC_BUTTON_CLOSE" child="in"/></docking>
            <docking id="in"><cell index="11" id="inner" handle="802"/><cell index="22" id="bare"/></docking>)");
    const auto attached = CollectAttachedWindows(Root());
    ASSERT_EQ(attached.size(), 2u);
    EXPECT_EQ(attached.at(L"top"), ::GetDlgItem(dialog_->m_hWnd, kClose));
    EXPECT_EQ(attached.at(L"inner"), ::GetDlgItem(dialog_->m_hWnd, 802));
}

// ---- Tables ----

TEST(LoaderTables, ControlNamesGiveTheirIdsAndOtherNamesAreReadAsNumbers) {
    struct {
        const wchar_t* name;
        int id;
    } cases[] = {{L"IDC_BUTTON_CLOSE", 803},
                 {L"IDC_BUTTON_MIN2", 804},
                 {L"IDC_BUTTON_RESTORE", 804},
                 {L"IDC_STATIC", -1},
                 {L"IDB_HELP", 140},
                 {L"IDC_IPADDRESS", 30118},
                 {L"7811", 7811},
                 {L" 42x", 42},
                 {L"-5", -5},
                 {L"idc_button_close", 0},
                 {L"", 0}};
    for (const auto& c : cases) EXPECT_EQ(ControlIdOf(c.name), c.id) << c.name;
    EXPECT_EQ(ControlIdTable().size(), 49u);
}

TEST(LoaderTables, EveryControlClassIsReachableByItsShortAndFullName) {
    const std::pair<const wchar_t*, const wchar_t*> keys[] = {
        {L"Button", L"CDockingButton"},        {L"Static", L"CDockingStatic"},
        {L"ComboBox", L"CDockingComboBox"},    {L"Edit", L"CDockingEdit"},
        {L"GroupBox", L"CDockingGroupBox"},    {L"Slider", L"CDockingSlider"},
        {L"List", L"CDockingListCtrl"},        {L"IPAddress", L"CDockingIPAddressCtrl"},
        {L"DateTime", L"CDockingDateTimeCtrl"}};
    const auto& table = ControlFactoryTable();
    EXPECT_EQ(table.size(), 18u);
    std::vector<const std::type_info*> kinds;
    for (const auto& [brief, full] : keys) {
        std::unique_ptr<CWnd> a(table.at(brief)());
        std::unique_ptr<CWnd> b(table.at(std::wstring(L"System::Docking::Skin::") + full)());
        ASSERT_TRUE(a && b);
        EXPECT_EQ(typeid(*a), typeid(*b)) << brief;
        for (const auto* kind : kinds) EXPECT_NE(*kind, typeid(*a)) << brief;
        kinds.push_back(&typeid(*a));
    }
}

TEST(LoaderTables, LayoutFilesByTemplateId) {
    EXPECT_EQ(LayoutFileName(7000), L"NetConnectDialog.xml");
    EXPECT_EQ(LayoutFileName(30000), L"SettingDlg.xml");
    EXPECT_EQ(LayoutFileName(30100), L"DialSettingDlg.xml");
    EXPECT_EQ(LayoutFileName(30200), L"OptionSettingDlg.xml");
    EXPECT_EQ(LayoutFileName(102), L"QOBUIDialog.xml");
    EXPECT_EQ(LayoutFileName(103), L"");
}

TEST(LoaderTables, DigitValueReadsOnlyOneToNine) {
    EXPECT_EQ(DigitValue(L'0'), 0);
    EXPECT_EQ(DigitValue(L'1'), 1);
    EXPECT_EQ(DigitValue(L'9'), 9);
    EXPECT_EQ(DigitValue(L'a'), 0);
    EXPECT_EQ(DigitValue(L'\x0661'), 0);  // another script's digit
}

}  // namespace
