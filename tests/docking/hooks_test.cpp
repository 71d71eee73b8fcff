// The framework's window hooks: skinned windows' device contexts and showing, the recorded caret
// and its painters, and what stays with the real functions.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "docking/detoures.h"
#include "docking/hooks.h"
#include "docking/skin_window.h"
#include "machine/control/hooks.h"
#include "machine/gdi_objects.h"
#include "skin_helper.h"

using namespace System::Docking;
using namespace System::Docking::Skin;

namespace {

struct Drawn {
    HBITMAP bitmap;
    int x, y, width, height;
};

// A skinned window that may hand out its own memory context and paints its own caret.
class Skinned : public CSkinnedWindow<CWnd>, public CDockingDetoures, public IDockingCaret {
public:
    explicit Skinned(bool ownContext = true) : handles_(ownContext) {
        own_ = ::CreateCompatibleDC(nullptr);
    }
    ~Skinned() override {
        DestroyWindow();
        ::DeleteDC(own_);
    }
    bool Make(HWND parent = nullptr) {
        return CreateEx(0, kTestClass, L"", parent ? WS_CHILD : WS_POPUP, 0, 0, 50, 20, parent,
                        nullptr) != FALSE;
    }
    HDC GetDC() override { return handles_ ? own_ : nullptr; }
    HDC GetDCEx(HRGN, DWORD) override { return handles_ ? own_ : nullptr; }
    int ReleaseDC(HDC dc) override {
        ++releases;
        return handles_ && dc == own_ ? 1 : 0;
    }
    BOOL ShowWindow(HWND window, int command) override {
        ++shows;
        return CDockingDetoures::ShowWindow(window, command);
    }
    void DrawCaret(HBITMAP bitmap, int x, int y, int width, int height) override {
        draws.push_back({bitmap, x, y, width, height});
    }
    void EraseCaret() override { ++erases; }

    HDC Own() const { return own_; }
    int releases = 0;
    int shows = 0;
    int erases = 0;
    std::vector<Drawn> draws;

private:
    bool handles_;
    HDC own_;
};

// A window whose object is a plain CWnd: no skin object, no caret painter.
class Plain : public CWnd {
public:
    ~Plain() override { DestroyWindow(); }
    bool Make() {
        return CreateEx(0, kTestClass, L"", WS_POPUP, 0, 0, 50, 20, nullptr, nullptr) != FALSE;
    }
};

class Hooks : public skin_test::SkinTest {
protected:
    void SetUp() override {
        SkinTest::SetUp();
        RealApi();  // the framework's globals are built: the hooks are in
    }
    static std::size_t Regions() { return sim::GdiTable::Get().LiveCount(OBJ_REGION); }
};

TEST_F(Hooks, TheGlobalsAttachAllNineAndKeepTheRealEntries) {
    EXPECT_EQ(control::AttachedHookCount(), 9);
    EXPECT_NE(reinterpret_cast<void*>(RealApi().GetDC), reinterpret_cast<void*>(&::GetDC));
    EXPECT_NE(reinterpret_cast<void*>(RealApi().DestroyCaret),
              reinterpret_cast<void*>(&::DestroyCaret));
}

TEST_F(Hooks, ASkinnedWindowsContextGoesAndComesBackWithoutTheSystem) {
    Skinned skinned;
    ASSERT_TRUE(skinned.Make());
    HDC dc = ::GetDC(skinned.m_hWnd);
    EXPECT_EQ(dc, skinned.Own());
    EXPECT_EQ(::ReleaseDC(skinned.m_hWnd, dc), 1);  // the real function would refuse a memory DC
    EXPECT_EQ(skinned.releases, 1);
    EXPECT_EQ(::GetObjectType(skinned.Own()), static_cast<DWORD>(OBJ_DC)) << "still the window's";
}

TEST_F(Hooks, AnObjectThatDeclinesLeavesTheCallToTheSystem) {
    Skinned declining(false);
    Plain plain;
    ASSERT_TRUE(declining.Make());
    ASSERT_TRUE(plain.Make());
    for (HWND w : {declining.m_hWnd, plain.m_hWnd}) {
        HDC dc = ::GetDC(w);
        ASSERT_NE(dc, nullptr);
        EXPECT_EQ(::ReleaseDC(w, dc), 1);
        EXPECT_EQ(::GetObjectType(dc), 0u) << "the system freed it";
    }
    EXPECT_EQ(declining.releases, 1);
    // A context the system never gave out is refused, not reported as released.
    HDC memory = ::CreateCompatibleDC(nullptr);
    EXPECT_EQ(::ReleaseDC(plain.m_hWnd, memory), 0);
    ::DeleteDC(memory);
}

TEST_F(Hooks, TheScreenContextComesFromTheSystem) {
    HDC screen = ::GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(::ReleaseDC(nullptr, screen), 1);
    EXPECT_EQ(::GetObjectType(screen), 0u);
}

TEST_F(Hooks, GetDcExFreesTheRegionItTakesWhenTheSkinAnswers) {
    Skinned skinned;
    Plain plain;
    ASSERT_TRUE(skinned.Make());
    ASSERT_TRUE(plain.Make());
    const std::size_t before = Regions();
    for (int i = 0; i < 1000; ++i) {
        HWND w = i % 2 ? skinned.m_hWnd : plain.m_hWnd;
        HDC dc = ::GetDCEx(w, ::CreateRectRgn(0, 0, 5, 5), DCX_WINDOW | DCX_INTERSECTRGN);
        ASSERT_NE(dc, nullptr);
        ::ReleaseDC(w, dc);
    }
    EXPECT_EQ(Regions(), before);
}

TEST_F(Hooks, ShowWindowGoesToTheSkinObjectWhichReachesTheRealFunction) {
    Skinned skinned;
    Plain plain;
    ASSERT_TRUE(skinned.Make());
    ASSERT_TRUE(plain.Make());
    EXPECT_EQ(::ShowWindow(skinned.m_hWnd, SW_SHOW), FALSE);
    EXPECT_EQ(skinned.shows, 1);
    EXPECT_NE(::IsWindowVisible(skinned.m_hWnd), FALSE);
    EXPECT_EQ(::ShowWindow(plain.m_hWnd, SW_SHOW), FALSE);
    EXPECT_NE(::IsWindowVisible(plain.m_hWnd), FALSE);
}

TEST_F(Hooks, AWindowOfAThreadThatDoesNotPumpIsNotAskedAndDoesNotHang) {
    HANDLE made = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HWND window = nullptr;
    HANDLE thread = StartThread([&] {
        Skinned skinned;
        skinned.Make();
        window = skinned.m_hWnd;
        ::SetEvent(made);
        ::WaitForSingleObject(done, INFINITE);  // never handles a message meanwhile
        return 0u;
    });
    ::WaitForSingleObject(made, INFINITE);
    HDC dc = ::GetDC(window);
    EXPECT_NE(dc, nullptr);
    EXPECT_EQ(::ReleaseDC(window, dc), 1);
    ::SetEvent(done);
    ::WaitForSingleObject(thread, INFINITE);
    ::CloseHandle(thread);
    ::CloseHandle(made);
    ::CloseHandle(done);
}

TEST_F(Hooks, TheCaretIsRecordedAsItIsMadeAndMoved) {
    Skinned skinned;
    ASSERT_TRUE(skinned.Make());
    HWND w = skinned.m_hWnd;
    ::SetCaretPos(5, 6);  // no caret yet: nothing recorded
    EXPECT_EQ(Caret().caret.x, 0);
    EXPECT_EQ(Caret().caret.owner, nullptr);

    ASSERT_TRUE(::CreateCaret(w, nullptr, 2, 12));
    EXPECT_EQ(Caret().caret.owner, w);
    EXPECT_EQ(Caret().caret.width, 2);
    EXPECT_EQ(Caret().caret.height, 12);
    ASSERT_EQ(Caret().painters.count(w), 1u);
    EXPECT_EQ(Caret().painters.at(w), static_cast<IDockingCaret*>(&skinned));
    ::SetCaretPos(7, 8);
    EXPECT_EQ(Caret().caret.x, 7);
    EXPECT_EQ(Caret().caret.y, 8);

    HBITMAP bitmap = ::CreateCompatibleBitmap(skinned.Own(), 3, 3);
    ASSERT_TRUE(::CreateCaret(w, bitmap, 3, 3));
    EXPECT_EQ(Caret().caret.bitmap, bitmap);
    EXPECT_EQ(Caret().caret.width, 0);
    EXPECT_EQ(Caret().caret.height, 0);

    ASSERT_TRUE(::DestroyCaret());
    EXPECT_EQ(skinned.erases, 1);
    EXPECT_EQ(Caret().caret.owner, nullptr);
    EXPECT_EQ(Caret().caret.bitmap, nullptr);
    EXPECT_EQ(Caret().caret.x, 7) << "the position stays";
    EXPECT_TRUE(Caret().painters.empty());
    ::DestroyCaret();
    EXPECT_EQ(skinned.erases, 1) << "erased once";
    ::DeleteObject(bitmap);
}

TEST_F(Hooks, BlinkTicksDrawOnlyTheOwnersCaret) {
    Skinned owner;
    Skinned other;
    ASSERT_TRUE(owner.Make());
    ASSERT_TRUE(other.Make());
    OnCaretBlink(owner.m_hWnd);  // no caret
    ASSERT_TRUE(::CreateCaret(owner.m_hWnd, nullptr, 1, 10));
    ::SetCaretPos(4, 2);
    OnCaretBlink(other.m_hWnd);
    EXPECT_TRUE(other.draws.empty());
    EXPECT_TRUE(owner.draws.empty());
    OnCaretBlink(owner.m_hWnd);
    ASSERT_EQ(owner.draws.size(), 1u);
    EXPECT_EQ(owner.draws[0].bitmap, nullptr);
    EXPECT_EQ(owner.draws[0].x, 4);
    EXPECT_EQ(owner.draws[0].y, 2);
    EXPECT_EQ(owner.draws[0].width, 1);
    EXPECT_EQ(owner.draws[0].height, 10);
}

TEST_F(Hooks, NoPainterEntryOutlivesItsWindowOrObject) {
    struct Case {
        const char* name;
        void (*end)(std::unique_ptr<Skinned>&);
    };
    const Case cases[] = {
        {"the window is destroyed", [](std::unique_ptr<Skinned>& s) { s->DestroyWindow(); }},
        {"the object is deleted", [](std::unique_ptr<Skinned>& s) { s.reset(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto skinned = std::make_unique<Skinned>();
        ASSERT_TRUE(skinned->Make());
        HWND w = skinned->m_hWnd;
        ASSERT_TRUE(::CreateCaret(w, nullptr, 1, 10));
        c.end(skinned);
        EXPECT_TRUE(Caret().painters.empty());
        EXPECT_EQ(Caret().caret.owner, nullptr);
        OnCaretBlink(w);  // nothing left to call
        ::DestroyCaret();
    }
}

TEST_F(Hooks, AWindowWithoutThePainterInterfaceErasesAStaleEntry) {
    Skinned skinned;
    ASSERT_TRUE(skinned.Make());
    HWND w = skinned.m_hWnd;
    ASSERT_TRUE(::CreateCaret(w, nullptr, 1, 10));
    // The window gets another object, which paints no caret.
    skinned.UnsubclassWindow();
    Plain plain;
    ASSERT_TRUE(plain.SubclassWindow(w));
    ASSERT_TRUE(::CreateCaret(w, nullptr, 1, 10));
    EXPECT_EQ(Caret().caret.owner, w);
    EXPECT_TRUE(Caret().painters.empty());
    ::DestroyCaret();
    EXPECT_EQ(skinned.erases, 0);
}

TEST_F(Hooks, AFailedCommitLeavesEverythingUnhooked) {
    RealApiEntries table;
    // The globals' own hooks come off first; then a fresh install fails.
    RemoveApiHooks(const_cast<RealApiEntries&>(RealApi()));
    ASSERT_EQ(control::AttachedHookCount(), 0);
    control::FailNextHookCommit(ERROR_NOT_ENOUGH_MEMORY);
    InstallApiHooks(table);
    EXPECT_EQ(control::AttachedHookCount(), 0);
    EXPECT_EQ(reinterpret_cast<void*>(table.GetDC), reinterpret_cast<void*>(&::GetDC));
    Skinned skinned;
    ASSERT_TRUE(skinned.Make());
    HDC dc = ::GetDC(skinned.m_hWnd);
    EXPECT_NE(dc, skinned.Own()) << "the system's context, as for a standard window";
    ::ReleaseDC(skinned.m_hWnd, dc);
    EXPECT_EQ(skinned.releases, 0);
}

}  // namespace
