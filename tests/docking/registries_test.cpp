#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "null_renderable.h"
#include "docking/docking.h"
#include "docking/messages.h"
#include "docking/registry.h"
#include "docking/skin.h"
#include "common/window_helper.h"

using namespace System::Docking;

namespace {

struct Item : NullRenderable {};

// ---- The id registry ----

struct IdOp {
    bool add;  // else remove
    std::wstring id;
    int item;  // index into the test's items
};
struct IdCase {
    const char* name;
    std::vector<IdOp> ops;
    std::wstring query;
    int found;  // index of the item found, -1 for none
};
void PrintTo(const IdCase& c, std::ostream* os) {
    *os << c.name;
}

class IdRegistry : public ::testing::TestWithParam<IdCase> {
protected:
    void SetUp() override { sim::Machine::Reset(sim::Config::WindowsXP()); }
};

TEST_P(IdRegistry, FindsTheFirstPairStillRegistered) {
    Item items[3];
    for (const IdOp& op : GetParam().ops)
        if (op.add)
            AddRenderableId(op.id, &items[op.item]);
        else
            RemoveRenderableId(op.id, &items[op.item]);
    IRenderable* expected = GetParam().found < 0 ? nullptr : &items[GetParam().found];
    EXPECT_EQ(FindRenderableById(GetParam().query), expected);
    for (const IdOp& op : GetParam().ops)  // the registry outlives the items
        for (Item& item : items) RemoveRenderableId(op.id, &item);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, IdRegistry,
    ::testing::Values(IdCase{"NeverRegistered", {}, L"a", -1},
                      IdCase{"SamePairTwiceHoldsOne",
                             {{true, L"a", 0}, {true, L"a", 0}, {false, L"a", 0}},
                             L"a",
                             -1},
                      IdCase{
                          "FirstRegisteredComesFirst", {{true, L"a", 0}, {true, L"a", 1}}, L"a", 0},
                      IdCase{"AfterTheFirstGoesTheOther",
                             {{true, L"a", 0}, {true, L"a", 1}, {false, L"a", 0}},
                             L"a",
                             1},
                      IdCase{"ARepeatedPairKeepsItsPlace",
                             {{true, L"a", 0}, {true, L"a", 1}, {true, L"a", 0}, {false, L"a", 0}},
                             L"a",
                             1},
                      IdCase{"RemovingAPairNotHeldChangesNothing",
                             {{true, L"a", 0}, {false, L"a", 1}, {false, L"b", 0}},
                             L"a",
                             0},
                      IdCase{"IdsAreComparedWhole", {{true, L"ab", 0}, {true, L"b", 1}}, L"a", -1},
                      IdCase{"EachIdFindsItsOwn", {{true, L"a", 0}, {true, L"b", 1}}, L"b", 1},
                      IdCase{"ARenderableUnderTwoIdsLosesOnlyTheOneRemoved",
                             {{true, L"a", 0}, {true, L"b", 0}, {false, L"a", 0}},
                             L"b",
                             0},
                      IdCase{"RemovingOneOfARenderablesIdsRemovesThatOne",
                             {{true, L"a", 0}, {true, L"b", 0}, {false, L"a", 0}},
                             L"a",
                             -1}),
    [](const auto& info) { return std::string(info.param.name); });

// Hundreds of renderables under one id (a layout that nests one element over and over): taken
// out from the middle, the front and the back, the first still registered is always found.
TEST_F(IdRegistry, ManySharingAnIdKeepTheirOrder) {
    std::vector<Item> items(600);
    for (Item& item : items) AddRenderableId(L"e", &item);
    for (Item& item : items) AddRenderableId(L"e", &item);  // held already: no second entry
    std::vector<bool> gone(items.size());
    auto firstLeft = [&]() -> IRenderable* {
        for (std::size_t k = 0; k < items.size(); ++k)
            if (!gone[k]) return &items[k];
        return nullptr;
    };
    for (std::size_t k : {300u, 0u, 599u, 1u, 2u, 301u}) {
        RemoveRenderableId(L"e", &items[k]);
        gone[k] = true;
        ASSERT_EQ(FindRenderableById(L"e"), firstLeft()) << "after removing " << k;
        EXPECT_FALSE(HasRenderableId(L"e", &items[k]));
    }
    for (Item& item : items) RemoveRenderableId(L"e", &item);
    EXPECT_EQ(FindRenderableById(L"e"), nullptr);
}

// ---- The window registry ----

HWND FakeWindow(int n) {
    return reinterpret_cast<HWND>(static_cast<INT_PTR>(n));
}

struct WindowOp {
    bool set;  // else remove
    int window;
    int item;
};
struct WindowCase {
    const char* name;
    std::vector<WindowOp> ops;
    int query;
    int found;
};
void PrintTo(const WindowCase& c, std::ostream* os) {
    *os << c.name;
}

class WindowRegistry : public ::testing::TestWithParam<WindowCase> {
protected:
    void SetUp() override { sim::Machine::Reset(sim::Config::WindowsXP()); }
};

TEST_P(WindowRegistry, HoldsOneRenderablePerWindow) {
    Item items[3];
    for (const WindowOp& op : GetParam().ops)
        if (op.set)
            SetRenderableWindow(FakeWindow(op.window), &items[op.item]);
        else
            RemoveRenderableWindow(FakeWindow(op.window), &items[op.item]);
    IRenderable* expected = GetParam().found < 0 ? nullptr : &items[GetParam().found];
    EXPECT_EQ(FindRenderableByWindow(FakeWindow(GetParam().query)), expected);
    for (const WindowOp& op : GetParam().ops)  // the registry outlives the items
        for (Item& item : items) RemoveRenderableWindow(FakeWindow(op.window), &item);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, WindowRegistry,
    ::testing::Values(
        WindowCase{"NeverRegistered", {{true, 8, 0}}, 9, -1},
        WindowCase{"SetReplaces", {{true, 8, 0}, {true, 8, 1}}, 8, 1},
        WindowCase{
            "RemoveWithAnotherRenderableLeavesTheEntry", {{true, 8, 0}, {false, 8, 1}}, 8, 0},
        WindowCase{"RemoveWithItsRenderableRemoves", {{true, 8, 0}, {false, 8, 0}}, 8, -1},
        WindowCase{"TheReplacedRenderableCannotRemoveTheNewOne",
                   {{true, 8, 0}, {true, 8, 1}, {false, 8, 0}},
                   8,
                   1},
        WindowCase{"ANullWindowIsNotRegistered", {{true, 0, 0}}, 0, -1}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- The window-docking map and skins ----

using WindowDockings = SimTest;

TEST_F(WindowDockings, ALookupCreatesAnUnboundEntry) {
    HWND w = FakeWindow(40);
    EXPECT_FALSE(HasWindowDocking(w));
    EXPECT_TRUE(WindowNeedsDocking(w));
    EXPECT_EQ(WindowDocking(w), nullptr);
    EXPECT_TRUE(HasWindowDocking(w));
    EXPECT_TRUE(WindowNeedsDocking(w));
    CDocking docking(nullptr);
    WindowDocking(w) = &docking;
    EXPECT_TRUE(HasWindowDocking(w));
    EXPECT_FALSE(WindowNeedsDocking(w));
    EXPECT_EQ(WindowDocking(w), &docking);
}

TEST_F(WindowDockings, ADestroyedDockingLeavesTheMap) {
    HWND bound = FakeWindow(40), unbound = FakeWindow(41);
    WindowDocking(unbound);
    {
        CDocking docking(nullptr);
        WindowDocking(bound) = &docking;
    }
    EXPECT_FALSE(HasWindowDocking(bound));
    EXPECT_TRUE(HasWindowDocking(unbound));  // other entries stay
}

using Skins = SimTest;

TEST_F(Skins, TheCurrentSkinIsTheDefaultOneUntilOneIsApplied) {
    EXPECT_EQ(DefaultSkinName(), L"default");
    EXPECT_EQ(SkinFolderName(), L"skin");
    EXPECT_EQ(GetCurrentSkin(), L"default");
    EXPECT_EQ(GetCurrentSkin(), L"default");
    ApplySkin(L"blue");
    EXPECT_EQ(GetCurrentSkin(), L"blue");
    ApplySkin(L"");  // an empty name falls back on the next read
    EXPECT_EQ(GetCurrentSkin(), L"default");
}

struct Posted {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Posted&) const = default;
};

class SkinSwitch : public WindowTest {
protected:
    // The reload messages in the calling thread's queue, taken in order.
    static std::vector<Posted> TakeReloads() {
        std::vector<Posted> out;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, WM_DOCKING_RELOADSKIN, WM_DOCKING_RELOADSKIN, PM_REMOVE))
            out.push_back({msg.hwnd, msg.message, msg.wParam, msg.lParam});
        return out;
    }
    // A root docking bound to its window, as a skinned dialog binds it.
    static void BindRoot(CDocking& docking, HWND window) {
        docking.Reset(window);
        docking.handle.Set(window);
        WindowDocking(window) = &docking;
    }
};

TEST_F(SkinSwitch, PostsTheReloadToRootWindowsOnlyAfterApplySkinReturns) {
    HWND root = MakeWindow();
    HWND nested = MakeWindow(WS_CHILD, root);  // hosted in a cell of the root's layout
    HWND inCell = MakeWindow(WS_CHILD, root);  // its docking hangs under a cell directly
    HWND unbound = MakeWindow();               // looked up, never bound
    HWND unknown = MakeWindow();               // never looked up
    CDocking rootDocking(nullptr), nestedDocking(nullptr);
    CDocking cellDocking(&rootDocking.Cell(0, 0));
    BindRoot(rootDocking, root);
    rootDocking.Cell(1, 1).handle.Set(nested);
    nestedDocking.Reset(nested);
    WindowDocking(nested) = &nestedDocking;
    WindowDocking(inCell) = &cellDocking;
    WindowDocking(unbound);
    ASSERT_EQ(nestedDocking.root.Get(), &rootDocking);
    ASSERT_EQ(cellDocking.root.Get(), &rootDocking);
    Drain();
    MessageLog().Clear();

    ApplySkin(L"blue");

    EXPECT_TRUE(Messages({WM_DOCKING_RELOADSKIN}).empty());  // posted, not sent
    for (HWND w : {root, nested, inCell, unbound}) {
        EXPECT_TRUE(HasWindowDocking(w));
        EXPECT_TRUE(WindowNeedsDocking(w));
    }
    EXPECT_FALSE(HasWindowDocking(unknown));
    EXPECT_EQ(TakeReloads(), (std::vector<Posted>{{root, WM_DOCKING_RELOADSKIN, 0, 0}}));
}

TEST_F(SkinSwitch, PostsInWindowHandleOrder) {
    HWND first = MakeWindow(), second = MakeWindow();
    ASSERT_LT(first, second);
    CDocking a(nullptr), b(nullptr);
    BindRoot(b, second);  // bound in the other order
    BindRoot(a, first);
    ReloadAllDockings();
    EXPECT_EQ(TakeReloads(), (std::vector<Posted>{{first, WM_DOCKING_RELOADSKIN, 0, 0},
                                                  {second, WM_DOCKING_RELOADSKIN, 0, 0}}));
}

TEST_F(SkinSwitch, NeverReachesADeletedDocking) {
    HWND w = MakeWindow();
    auto docking = std::make_unique<CDocking>(nullptr);
    BindRoot(*docking, w);
    docking.reset();
    ApplySkin(L"blue");  // would read the deleted docking's root
    EXPECT_FALSE(HasWindowDocking(w));
    EXPECT_TRUE(TakeReloads().empty());
}

TEST_F(SkinSwitch, NeverReachesADestroyedWindow) {
    // The window drops its entry when it goes, as a skinned dialog does.
    Answers() = [](HWND w, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_NCDESTROY) ForgetWindowDocking(w);
        return std::nullopt;
    };
    HWND gone = MakeWindow(), kept = MakeWindow();
    CDocking goneDocking(nullptr), keptDocking(nullptr);
    BindRoot(goneDocking, gone);
    BindRoot(keptDocking, kept);
    ASSERT_TRUE(DestroyWindow(gone));
    EXPECT_FALSE(HasWindowDocking(gone));
    ApplySkin(L"blue");
    EXPECT_EQ(TakeReloads(), (std::vector<Posted>{{kept, WM_DOCKING_RELOADSKIN, 0, 0}}));
}

}  // namespace
