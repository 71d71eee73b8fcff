#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <stdexcept>
#include <string>

#include "docking/render_pool.h"
#include "machine/control/threads.h"
#include <objbase.h>
#include "common/thread_helper.h"
#include "render_helper.h"

using namespace System::Docking;

namespace {

// A work item that runs a callable (and may throw from its destruction).
class Item : public IUserWorkItem {
public:
    explicit Item(std::function<void()> body, bool throwOnDestroy = false)
        : body_(std::move(body)), throwOnDestroy_(throwOnDestroy) {}
    ~Item() noexcept(false) override {
        if (throwOnDestroy_) throw std::runtime_error("destroy");
    }
    void Execute() override { body_(); }

private:
    std::function<void()> body_;
    bool throwOnDestroy_;
};

class RenderPoolTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        RegisterRenderTestClass();
    }
};

TEST_F(RenderPoolTest, StartsOnFirstPostWithTenWorkersInTheirApartments) {
    EXPECT_EQ(RenderPool().Workers(), 0);
    std::atomic<int> comCount{-1};
    ASSERT_TRUE(RenderPool().Post(
        new Item([&] { comCount = control::ComInitCount(GetCurrentThreadId()); })));
    WaitRenderPoolIdle();
    EXPECT_EQ(RenderPool().Workers(), CDockingDriverPool::kWorkers);
    EXPECT_EQ(comCount, 1);
}

// Items that hold their worker until released: how many of them run at once is how many workers
// the pool has.
TEST_F(RenderPoolTest, PostsRacingFromTwoThreadsStartOnePool) {
    Event release;
    std::mutex lock;
    std::set<DWORD> threads;
    auto holdingItem = [&] {
        return new Item([&] {
            {
                std::lock_guard<std::mutex> hold(lock);
                threads.insert(GetCurrentThreadId());
            }
            WaitForSingleObject(release.handle(), INFINITE);
        });
    };
    Event go;
    HANDLE other = StartThread([&] {
        WaitForSingleObject(go.handle(), INFINITE);
        for (int i = 0; i < 10; ++i) RenderPool().Post(holdingItem());
        return 0u;
    });
    go.Set();
    for (int i = 0; i < 10; ++i) RenderPool().Post(holdingItem());
    WaitForSingleObject(other, INFINITE);
    CloseHandle(other);
    LetTheMachineSettle();
    {
        std::lock_guard<std::mutex> hold(lock);
        EXPECT_EQ(threads.size(), 10u);
    }
    EXPECT_EQ(RenderPool().Workers(), 10);
    release.Set();
    WaitRenderPoolIdle();
}

struct FaultCase {
    const char* name;
    bool throwInRun;
    bool throwOnDestroy;
    const wchar_t* text;
};

class Faults : public RenderPoolTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(Faults, AreReportedOnceAndThePoolGoesOn) {
    const FaultCase& c = GetParam();
    RenderPool().Post(new Item(
        [&] {
            if (c.throwInRun) throw 42;
        },
        c.throwOnDestroy));
    std::atomic<bool> ran{false};
    RenderPool().Post(new Item([&] { ran = true; }));
    WaitRenderPoolIdle();
    EXPECT_TRUE(ran);
    const auto lines = DebugLines(L"[DockingDriver] [Execute] Exception");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Items, Faults,
    ::testing::Values(FaultCase{"Rendering", true, false,
                                L"\r\n\u201C[DockingDriver] [Execute] Exception\u201D: rendering"},
                      FaultCase{
                          "Destruction", false, true,
                          L"\r\n\u201C[DockingDriver] [Execute] Exception\u201D: UserWorkItem"}),
    [](const auto& info) { return std::string(info.param.name); });

// A worker inside SendMessage to a window of the thread that shuts the pool down: the message is
// handled while the workers are joined, and nothing runs after.
TEST_F(RenderPoolTest, ShutdownHandlesWhatWorkersSendAndRefusesLaterPosts) {
    std::atomic<int> handled{0};
    HWND window = MakeRenderWindow([&](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m != WM_USER) return std::nullopt;
        ++handled;
        return 7;
    });
    std::atomic<LRESULT> answer{0};
    RenderPool().Post(new Item([&] { answer = SendMessageW(window, WM_USER, 0, 0); }));
    LetTheMachineSettle();  // the worker waits inside its send
    EXPECT_EQ(handled, 0);
    ShutdownRenderPool();
    EXPECT_EQ(handled, 1);
    EXPECT_EQ(answer, 7);
    std::atomic<bool> ran{false};
    EXPECT_FALSE(RenderPool().Post(new Item([&] { ran = true; })));
    EXPECT_FALSE(ran);
    DestroyWindow(window);
}

}  // namespace
