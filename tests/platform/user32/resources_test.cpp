// A program's resource tables, found through its own module.
#include <gtest/gtest.h>

#include "common/sim_fixture.h"
#include "machine/control/resources.h"
#include <winbase.h>
#include <winres.h>

namespace {

const resources::ModuleResources kTables{
    {{102, 0, 0, 0, 0, 100, 50, L"Main", {{1, L"Button", L"OK", 0, 0, 1, 2, 3, 4}}}},
    {{146, {{0, L"Skins", 0, {{32772, L"More Skins..", 0, {}}}}}}},
    {{101, L"&About..."}, {7, L""}},
};

class ResourcesTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        control::LinkResources(&kTables);
    }
};

TEST_F(ResourcesTest, StringsAreCopiedCutAndTerminated) {
    wchar_t buffer[16];
    EXPECT_EQ(LoadStringW(nullptr, 101, buffer, 16), 9);
    EXPECT_STREQ(buffer, L"&About...");
    EXPECT_EQ(LoadStringW(GetModuleHandleW(nullptr), 101, buffer, 4), 3);
    EXPECT_STREQ(buffer, L"&Ab");
    LPCWSTR direct = nullptr;
    EXPECT_EQ(LoadStringW(nullptr, 101, reinterpret_cast<LPWSTR>(&direct), 0), 9);
    EXPECT_STREQ(direct, L"&About...");

    buffer[0] = L'x';
    EXPECT_EQ(LoadStringW(nullptr, 7, buffer, 16), 0);  // present but empty
    EXPECT_STREQ(buffer, L"");
    SetLastError(0);
    EXPECT_EQ(LoadStringW(nullptr, 999, buffer, 16), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
}

TEST_F(ResourcesTest, DialogsAndMenusAreFoundByIdInTheProgramsOwnModuleOnly) {
    const resources::DialogTemplate* d = resources::FindDialog(nullptr, MAKEINTRESOURCEW(102));
    ASSERT_NE(d, nullptr);
    EXPECT_STREQ(d->caption, L"Main");
    ASSERT_EQ(d->items.size(), 1u);
    EXPECT_STREQ(d->items[0].className, L"Button");
    EXPECT_EQ(resources::FindDialog(nullptr, MAKEINTRESOURCEW(103)), nullptr);
    EXPECT_EQ(resources::FindDialog(nullptr, L"named"), nullptr);

    const resources::MenuTemplate* m = resources::FindMenu(nullptr, MAKEINTRESOURCEW(146));
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->items[0].popup[0].id, 32772u);
    auto* other = reinterpret_cast<HINSTANCE>(static_cast<ULONG_PTR>(0x7000000));
    EXPECT_EQ(resources::FindMenu(other, MAKEINTRESOURCEW(146)), nullptr);
}

}  // namespace
