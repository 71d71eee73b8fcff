// Modules, version information, the program's file name and process token privileges.
#include <string>

#include "common/sim_fixture.h"
#include <winbase.h>
#include "common/thread_helper.h"

namespace {

DWORD Twice(DWORD v) {
    return v * 2;
}

DWORD Half(DWORD v) {
    return v / 2;
}

class Modules : public SimTest {
protected:
    void RegisterHelper() {
        sim::ModuleDef def;
        def.name = L"Helper.dll";
        def.exports["Twice"] = reinterpret_cast<void*>(&Twice);
        M().RegisterModule(def);
    }
};

TEST_F(Modules, Kernel32OffersGetNativeSystemInfoOnXp) {
    HMODULE k = LoadLibraryW(L"Kernel32.dll");
    ASSERT_NE(k, nullptr);
    auto gnsi = reinterpret_cast<PGNSI>(GetProcAddress(k, "GetNativeSystemInfo"));
    ASSERT_NE(gnsi, nullptr);
    SYSTEM_INFO si{};
    gnsi(&si);
    EXPECT_EQ(si.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_INTEL);
    EXPECT_EQ(GetProcAddress(k, "NoSuchFunction"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    EXPECT_TRUE(FreeLibrary(k));
    EXPECT_EQ(GetProcAddress(k, "GetNativeSystemInfo"), nullptr);
    EXPECT_FALSE(FreeLibrary(k));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

class Modules2000 : public Modules {
    sim::Config MachineConfig() override { return sim::Config::Windows2000(); }
};

TEST_F(Modules2000, Kernel32LacksGetNativeSystemInfo) {
    HMODULE k = LoadLibraryW(L"KERNEL32.DLL");
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(GetProcAddress(k, "GetNativeSystemInfo"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    EXPECT_NE(GetProcAddress(k, "GetSystemInfo"), nullptr);
    FreeLibrary(k);
}

class Modules64 : public Modules {
    sim::Config MachineConfig() override {
        auto c = sim::Config::WindowsVista();
        c.is64Bit = true;
        return c;
    }
};

TEST_F(Modules64, NativeSystemInfoReportsTheNativeArchitecture) {
    HMODULE k = LoadLibraryW(L"kernel32.dll");
    auto gnsi = reinterpret_cast<PGNSI>(GetProcAddress(k, "GetNativeSystemInfo"));
    ASSERT_NE(gnsi, nullptr);
    SYSTEM_INFO si{};
    gnsi(&si);
    EXPECT_EQ(si.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_AMD64);
    GetSystemInfo(&si);  // the emulated view of a 32-bit program
    EXPECT_EQ(si.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_INTEL);
}

TEST_F(Modules, RegisteredModuleIsFoundOnlyWhereItsFileExists) {
    RegisterHelper();
    EXPECT_EQ(LoadLibraryW(L"Helper.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    M().WriteFile(L"C:\\Tools\\helper.dll", "MZ");
    EXPECT_EQ(LoadLibraryW(L"Helper.dll"), nullptr);  // not in the program's folder
    HMODULE byPath = LoadLibraryW(L"C:\\tools\\HELPER.DLL");
    ASSERT_NE(byPath, nullptr);
    auto twice = reinterpret_cast<DWORD (*)(DWORD)>(GetProcAddress(byPath, "Twice"));
    ASSERT_NE(twice, nullptr);
    EXPECT_EQ(twice(21), 42u);
    EXPECT_EQ(LoadLibraryW(L"C:\\Elsewhere\\Helper.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));

    M().WriteFile(M().config().programFolder + L"Helper.dll", "MZ");
    HMODULE bare = LoadLibraryW(L"helper.dll");
    ASSERT_NE(bare, nullptr);
    WCHAR path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(bare, path, MAX_PATH), 0u);
    EXPECT_EQ(sim::Lower(path), sim::Lower(M().config().programFolder + L"Helper.dll"));
    EXPECT_TRUE(FreeLibrary(bare));
    EXPECT_TRUE(FreeLibrary(byPath));

    // A file without a registered module is no module.
    M().WriteFile(M().config().programFolder + L"Other.dll", "MZ");
    EXPECT_EQ(LoadLibraryW(L"Other.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

// The machine hands LoadLibraryW a copy of the registration: a module registered again (or
// removed) meanwhile cannot change a load under way.
TEST_F(Modules, ALoadWhileTheModuleIsRegisteredAgainSeesOneWholeRegistration) {
    RegisterHelper();
    M().WriteFile(M().config().programFolder + L"Helper.dll", "MZ");
    constexpr int kLoads = 300;
    HANDLE loader = StartThread([] {
        DWORD torn = 0;
        for (int i = 0; i < kLoads; ++i) {
            HMODULE h = LoadLibraryW(L"Helper.dll");
            if (h == nullptr) continue;  // between a removal and the next registration
            auto twice = reinterpret_cast<DWORD (*)(DWORD)>(GetProcAddress(h, "Twice"));
            if (twice == nullptr || twice(4) != 8) ++torn;
            FreeLibrary(h);
        }
        return torn;
    });
    for (int i = 0; i < kLoads; ++i) {
        sim::ModuleDef def;
        def.name = L"Helper.dll";
        def.exports["Twice"] = reinterpret_cast<void*>(&Twice);
        if (i % 2) def.exports["Half"] = reinterpret_cast<void*>(&Half);
        if (i % 7 == 0) M().UnregisterModule(L"helper.dll");
        M().RegisterModule(def);
    }
    ASSERT_EQ(WaitForSingleObject(loader, INFINITE), WAIT_OBJECT_0);
    DWORD torn = 1;
    GetExitCodeThread(loader, &torn);
    EXPECT_EQ(torn, 0u);
    CloseHandle(loader);
}

class Kernel : public SimTest {};

TEST_F(Kernel, GetVersionExChecksTheStructureSize) {
    OSVERSIONINFOW vi{};
    vi.dwOSVersionInfoSize = sizeof vi - 4;
    EXPECT_FALSE(GetVersionExW(&vi));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    vi.dwOSVersionInfoSize = sizeof vi;
    ASSERT_TRUE(GetVersionExW(&vi));
    EXPECT_EQ(vi.dwMajorVersion, 5u);
    EXPECT_EQ(vi.dwMinorVersion, 1u);
    EXPECT_EQ(vi.dwBuildNumber, 2600u);
    EXPECT_EQ(vi.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
    EXPECT_EQ(std::wstring(vi.szCSDVersion), L"Service Pack 2");
}

TEST_F(Kernel, ModuleFileNameIsTruncatedToTheBuffer) {
    const std::wstring full = M().ProgramPath();
    WCHAR buf[MAX_PATH];
    ASSERT_EQ(GetModuleFileNameW(nullptr, buf, MAX_PATH), full.size());
    EXPECT_EQ(std::wstring(buf), full);
    WCHAR small[10];
    std::fill(std::begin(small), std::end(small), L'#');
    EXPECT_EQ(GetModuleFileNameW(nullptr, small, 10), 10u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(std::wstring(small), full.substr(0, 9));
    EXPECT_EQ(GetModuleFileNameW(nullptr, small, 0), 0u);
}

class Tokens : public SimTest {
protected:
    BOOL EnableDebugPrivilege(DWORD access = TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY) {
        HANDLE token = nullptr;
        EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), access, &token));
        TOKEN_PRIVILEGES tp{};
        tp.PrivilegeCount = 1;
        EXPECT_TRUE(LookupPrivilegeValueW(nullptr, SE_DEBUG_NAME, &tp.Privileges[0].Luid));
        tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        SetLastError(12345);
        BOOL ok = AdjustTokenPrivileges(token, FALSE, &tp, sizeof tp, nullptr, nullptr);
        DWORD error = GetLastError();
        CloseHandle(token);
        SetLastError(error);
        return ok;
    }
};

TEST_F(Tokens, AdministratorTokenHoldsTheDebugPrivilege) {
    EXPECT_TRUE(EnableDebugPrivilege());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_FALSE(EnableDebugPrivilege(TOKEN_QUERY));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    LUID luid{};
    EXPECT_TRUE(LookupPrivilegeValueW(nullptr, L"seshutdownprivilege", &luid));
    EXPECT_FALSE(LookupPrivilegeValueW(nullptr, L"SeMadeUpPrivilege", &luid));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_SUCH_PRIVILEGE));
    HANDLE token;
    EXPECT_FALSE(OpenProcessToken(reinterpret_cast<HANDLE>(0x5550), TOKEN_QUERY, &token));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

class LimitedTokens : public Tokens {
    sim::Config MachineConfig() override {
        auto c = sim::Config::WindowsXP();
        c.hasDebugPrivilege = false;
        return c;
    }
};

TEST_F(LimitedTokens, AdjustSucceedsButReportsNotAllAssigned) {
    EXPECT_TRUE(EnableDebugPrivilege());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ALL_ASSIGNED));
}

}  // namespace
