#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <typeinfo>
#include <vector>

#include "common/sim_fixture.h"
#include "docking/docking.h"
#include "docking/registry.h"
#include "common/thread_helper.h"

using namespace System::Docking;

namespace {

HWND FakeWindow(int n) {
    return reinterpret_cast<HWND>(static_cast<INT_PTR>(n));
}

// ---- Links: parent and root ----

// Three dockings a test links up; what their parent and root read.
struct Tree {
    CDocking top{nullptr};
    CDocking middle{&top.Cell(1, 2)};
    CDocking bottom{&middle.Cell(2, 0)};
    CDocking loose{nullptr};
};

struct LinkCase {
    const char* name;
    std::function<CDocking&(Tree&)> arrange;  // links and returns the docking asked
    std::function<IRenderable*(Tree&)> parent;
    std::function<CDocking*(Tree&)> root;
};

void PrintTo(const LinkCase& c, std::ostream* os) {
    *os << c.name;
}

class Links : public SimTest, public ::testing::WithParamInterface<LinkCase> {};

TEST_P(Links, FollowCellsUpToTheRoot) {
    Tree t;
    CDocking& d = GetParam().arrange(t);
    EXPECT_EQ(d.parent.Get(), GetParam().parent(t));
    EXPECT_EQ(d.root.Get(), GetParam().root(t));
}

INSTANTIATE_TEST_SUITE_P(
    Trees, Links,
    ::testing::Values(
        LinkCase{"WithoutParentItsOwnRoot", [](Tree& t) -> CDocking& { return t.top; },
                 [](Tree&) -> IRenderable* { return nullptr; }, [](Tree& t) { return &t.top; }},
        LinkCase{"UnderACell", [](Tree& t) -> CDocking& { return t.middle; },
                 [](Tree& t) -> IRenderable* { return &t.top.Cell(1, 2); },
                 [](Tree& t) { return &t.top; }},
        LinkCase{"TwoLevelsDown", [](Tree& t) -> CDocking& { return t.bottom; },
                 [](Tree& t) -> IRenderable* { return &t.middle.Cell(2, 0); },
                 [](Tree& t) { return &t.top; }},
        LinkCase{"ResetWithAWindowThatACellHosts",
                 [](Tree& t) -> CDocking& {
                     t.middle.Cell(0, 1).handle.Set(FakeWindow(7));
                     t.loose.Reset(FakeWindow(7));
                     return t.loose;
                 },
                 [](Tree& t) -> IRenderable* { return &t.middle.Cell(0, 1); },
                 [](Tree& t) { return &t.top; }},
        LinkCase{"ResetWithItsOwnWindow",
                 [](Tree& t) -> CDocking& {
                     t.middle.Reset(FakeWindow(7));
                     t.middle.handle.Set(FakeWindow(7));
                     return t.middle;
                 },
                 [](Tree&) -> IRenderable* { return nullptr; }, [](Tree& t) { return &t.middle; }},
        LinkCase{"ResetWithAWindowNothingHosts",
                 [](Tree& t) -> CDocking& {
                     t.middle.Reset(FakeWindow(7));
                     return t.middle;
                 },
                 [](Tree&) -> IRenderable* { return nullptr; }, [](Tree& t) { return &t.middle; }},
        LinkCase{"OwnedByAnotherItKeepsItsStoredParent",
                 [](Tree& t) -> CDocking& {
                     t.middle.Cell(0, 1).handle.Set(FakeWindow(7));
                     t.loose.Reset(FakeWindow(7));
                     t.loose.owner.Assign(&t.top);
                     return t.loose;
                 },
                 [](Tree&) -> IRenderable* { return nullptr; }, [](Tree& t) { return &t.loose; }},
        LinkCase{"ACellsWindowTakenBackByTheDocking",
                 [](Tree& t) -> CDocking& {
                     t.top.Cell(0, 0).handle.Set(FakeWindow(7));
                     t.loose.Reset(FakeWindow(7));
                     t.loose.handle.Set(FakeWindow(7));  // replaces the cell's entry
                     return t.loose;
                 },
                 [](Tree&) -> IRenderable* { return nullptr; }, [](Tree& t) { return &t.loose; }}),
    [](const auto& info) { return std::string(info.param.name); });

using DockingLinks = SimTest;

TEST_F(DockingLinks, ALoopOfLinksEnds) {
    Tree t;
    t.top.parent.Assign(&t.middle.Cell(0, 0));  // top under middle, middle under top
    CDocking* root = t.top.root.Get();
    EXPECT_TRUE(root == &t.top || root == &t.middle);
    t.top.parent.Assign(nullptr);  // middle goes first: top must not keep a link into it
}

TEST_F(DockingLinks, CellsKnowTheirDockingPlaceParentAndRoot) {
    Tree t;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            CDockingCell& cell = t.middle.Cell(r, c);
            EXPECT_EQ(cell.Row(), r);
            EXPECT_EQ(cell.Column(), c);
            EXPECT_EQ(cell.docking.Get(), &t.middle);
            EXPECT_EQ(cell.parent.Get(), &t.middle);
            EXPECT_EQ(cell.root.Get(), &t.top);
        }
}

TEST_F(DockingLinks, TheOwnerIsTheDockingItselfFromTheFirstReadUnlessSetBefore) {
    Tree t;
    EXPECT_EQ(t.top.owner.Value(), nullptr);
    EXPECT_EQ(t.top.owner.Get(), &t.top);
    EXPECT_EQ(t.top.owner.Value(), &t.top);  // stored by the read
    t.loose.owner.Assign(&t.top);
    EXPECT_EQ(t.loose.owner.Get(), &t.top);
    EXPECT_THROW(t.top.owner.Set(nullptr), PropertyAccessError);  // links are not writable
    EXPECT_THROW(t.top.root.Set(nullptr), PropertyAccessError);
}

// ---- The handle and the window registry ----

enum class Owner { Docking, Cell };
void PrintTo(Owner o, std::ostream* os) {
    *os << (o == Owner::Docking ? "docking" : "cell");
}

class Handles : public SimTest, public ::testing::WithParamInterface<Owner> {
protected:
    // The handle property of the kind under test, and the renderable that owns it.
    IProperty<HWND>& Handle() {
        return GetParam() == Owner::Docking ? static_cast<IProperty<HWND>&>(docking_->handle)
                                            : docking_->Cell(2, 1).handle;
    }
    IRenderable* Self() {
        return GetParam() == Owner::Docking ? static_cast<IRenderable*>(docking_.get())
                                            : &docking_->Cell(2, 1);
    }
    std::unique_ptr<CDocking> docking_ = std::make_unique<CDocking>(nullptr);
};

TEST_P(Handles, RegisterTheOwnerForItsWindowOnly) {
    EXPECT_EQ(Handle().type(), typeid(HWND));
    Handle().Set(FakeWindow(1));  // generic set: readable and writable
    EXPECT_EQ(Handle().Get(), FakeWindow(1));
    EXPECT_EQ(FindRenderableByWindow(FakeWindow(1)), Self());
    Handle().Set(FakeWindow(2));
    EXPECT_EQ(FindRenderableByWindow(FakeWindow(1)), nullptr);
    EXPECT_EQ(FindRenderableByWindow(FakeWindow(2)), Self());
    Handle().Set(nullptr);
    EXPECT_EQ(FindRenderableByWindow(FakeWindow(2)), nullptr);
    EXPECT_EQ(FindRenderableByWindow(nullptr), nullptr);
}

TEST_P(Handles, LeaveAnEntryThatAnotherRenderableTook) {
    CDocking other(nullptr);
    Handle().Set(FakeWindow(1));
    SetRenderableWindow(FakeWindow(1), &other);
    Handle().Set(FakeWindow(2));
    EXPECT_EQ(FindRenderableByWindow(FakeWindow(1)), &other);
}

TEST_P(Handles, LeaveTheRegistryWithTheirOwner) {
    Handle().Set(FakeWindow(1));
    docking_.reset();
    EXPECT_EQ(FindRenderableByWindow(FakeWindow(1)), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Owners, Handles, ::testing::Values(Owner::Docking, Owner::Cell),
                         [](const auto& info) {
                             return info.param == Owner::Docking ? "Docking" : "Cell";
                         });

TEST_F(DockingLinks, SettingTheSameHandleAgainReclaimsTheEntryForACellOnly) {
    CDocking d(nullptr), other(nullptr);
    d.handle.Set(FakeWindow(1));
    d.Cell(0, 0).handle.Set(FakeWindow(2));
    SetRenderableWindow(FakeWindow(1), &other);
    SetRenderableWindow(FakeWindow(2), &other);
    d.handle.Set(FakeWindow(1));
    d.Cell(0, 0).handle.Set(FakeWindow(2));
    EXPECT_EQ(FindRenderableByWindow(FakeWindow(1)), &other);  // a docking registers on change
    EXPECT_EQ(FindRenderableByWindow(FakeWindow(2)), &d.Cell(0, 0));
}

TEST_F(DockingLinks, ResetClearsTheCellsAndTheStoredParent) {
    CDocking host(nullptr);
    CDocking d(&host.Cell(0, 0));
    d.Cell(1, 1).id.Set(L"status");
    d.Cell(1, 1).handle.Set(FakeWindow(3));
    d.Reset(FakeWindow(9));
    EXPECT_EQ(d.ResetWindow(), FakeWindow(9));
    EXPECT_EQ(d.parent.Value(), nullptr);
    EXPECT_EQ(d.Cell(1, 1).id.Get(), L"");
    EXPECT_EQ(d.Cell(1, 1).handle.Get(), nullptr);
    EXPECT_EQ(FindRenderableById(L"status"), nullptr);
    EXPECT_EQ(FindRenderableByWindow(FakeWindow(3)), nullptr);
}

// ---- Render generations ----

struct GenerationCase {
    int captured;
    int advances;
    bool throws;
};

void PrintTo(const GenerationCase& c, std::ostream* os) {
    *os << "captured " << c.captured << ", advanced " << c.advances << " times";
}

class RenderGeneration : public SimTest, public ::testing::WithParamInterface<GenerationCase> {};

TEST_P(RenderGeneration, EndsARenderThatFellBehind) {
    CDocking d(nullptr);
    for (int i = 0; i < GetParam().advances; ++i) EXPECT_EQ(d.surface.AdvanceGeneration(), i + 1);
    RenderContext ctx;
    ctx.generationCounter = d.surface.GenerationCounter();
    ctx.generation = GetParam().captured;
    if (GetParam().throws) {
        try {
            CheckRenderGeneration(ctx);
            ADD_FAILURE() << "no throw";
        } catch (int current) {
            EXPECT_EQ(current, GetParam().advances);
        }
    } else {
        EXPECT_EQ(CheckRenderGeneration(ctx), GetParam().advances);
    }
}

INSTANTIATE_TEST_SUITE_P(Generations, RenderGeneration,
                         ::testing::Values(GenerationCase{0, 0, false}, GenerationCase{0, 1, true},
                                           GenerationCase{2, 2, false}, GenerationCase{1, 3, true},
                                           GenerationCase{4, 3, false}));

TEST_F(DockingLinks, ARenderOnAnotherThreadStopsAtTheGenerationThatOvertookIt) {
    CDocking d(nullptr);
    RenderContext ctx;
    ctx.generationCounter = d.surface.GenerationCounter();
    ctx.generation = d.surface.Generation();
    HANDLE checking = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    int thrown = -1;
    HANDLE render = StartThread([&] {
        CheckRenderGeneration(ctx);  // still current
        SetEvent(checking);
        for (;;) {  // checkpoints until the user-interface thread starts a newer render
            try {
                CheckRenderGeneration(ctx);
            } catch (int current) {
                thrown = current;
                return 0u;
            }
        }
    });
    ASSERT_NE(render, nullptr);
    WaitForSingleObject(checking, INFINITE);
    EXPECT_EQ(d.surface.AdvanceGeneration(), 1);
    WaitForSingleObject(render, INFINITE);
    EXPECT_EQ(thrown, 1);
    CloseHandle(render);
    CloseHandle(checking);
}

}  // namespace
