// What a windowed program's start relies on: its linked resources, the command line after its
// name, finding a running instance's window by title, and listing a folder of skins.
#include <gtest/gtest.h>

#include <corecrt.h>
#include <string>
#include <vector>

#include "common/window_helper.h"
#include "machine/processes.h"
#include <winbase.h>
#include <winres.h>

namespace {

const resources::ModuleResources& LinkedTables() {
    static const resources::ModuleResources tables{{}, {}, {{101, L"linked"}}, {}};
    return tables;
}
const resources::ModuleLink kLinked(L"Linked.exe", &LinkedTables);

class ProgramStartTest : public WindowTest {
protected:
    // Registers a program for the image (written into the program folder) and runs it with the
    // command line to its end.
    void Run(const std::wstring& image, const std::wstring& commandLine,
             std::function<void()> body) {
        M().WriteFile(M().config().programFolder + image, "MZ");
        M().processes().RegisterProgram(image, [body](const sim::ProcessRun&) {
            body();
            return 0u;
        });
        PROCESS_INFORMATION pi;
        ASSERT_TRUE(StartProgram(commandLine, &pi)) << GetLastError();
        EXPECT_EQ(WaitForSingleObject(pi.hProcess, INFINITE), WAIT_OBJECT_0);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    std::wstring Folder() { return M().config().programFolder; }
};

TEST_F(ProgramStartTest, LinkedResourcesBelongToTheProcessesOfTheirImageOnly) {
    wchar_t text[16] = {};
    EXPECT_EQ(LoadStringW(nullptr, 101, text, 16), 0) << "the machine's own program links none";
    std::wstring seen;
    Run(L"Linked.exe", L"\"" + Folder() + L"LINKED.EXE\"", [&seen] {
        wchar_t own[16] = {};
        LoadStringW(nullptr, 101, own, 16);
        seen = own;
    });
    EXPECT_EQ(seen, L"linked");
}

TEST_F(ProgramStartTest, TheWindowedEntryGetsTheTextAfterTheProgramNameAndItsBlanks) {
    const std::wstring quoted = L"\"" + Folder() + L"Args.exe\"";
    struct Case {
        std::wstring commandLine;
        std::wstring expected;
    };
    const std::vector<Case> cases = {
        {quoted + L"  abcdefghiblue?x=1", L"abcdefghiblue?x=1"},
        {quoted + L" \t-x \"a b\" ", L"-x \"a b\" "},
        {quoted, L""},
        {quoted + L"next", L"next"},
        {L"Args.exe", L""},
        {L"Args.exe\t  one two", L"one two"},
    };
    for (const Case& c : cases) {
        std::wstring seen = L"(not run)";
        Run(L"Args.exe", c.commandLine, [&seen] { seen = _wwincmdln(); });
        EXPECT_EQ(seen, c.expected) << sim::ToUtf8(c.commandLine);
    }
}

TEST_F(ProgramStartTest, FindWindowTakesTheFirstTopLevelWindowWithTheWholeTitleCaseIgnored) {
    HWND hidden = MakeWindow(WS_OVERLAPPEDWINDOW, nullptr, 0, L"Raza Zevi");
    HWND shown = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, 0, L"Raza Zevi");
    HWND parent = MakeWindow(WS_OVERLAPPEDWINDOW, nullptr, 0, L"Parent");
    MakeWindow(WS_CHILD | WS_VISIBLE, parent, 5, L"Inner");
    ASSERT_TRUE(SetWindowPos(hidden, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
    struct Case {
        const wchar_t* title;
        HWND expected;
    };
    const std::vector<Case> cases = {
        {L"Raza Zevi", hidden},  // the first in z-order, hidden or not
        {L"RAZA ZEVI", hidden},  // case ignored
        {L"Raza", nullptr},      // the whole title only
        {L"Raza Zevi ", nullptr},
        {L"Inner", nullptr},  // child windows are not searched
        {L"parent", parent},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FindWindowW(nullptr, c.title), c.expected) << sim::ToUtf8(c.title);
    ASSERT_TRUE(SetWindowPos(shown, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
    EXPECT_EQ(FindWindowW(nullptr, L"raza zevi"), shown);
}

TEST_F(ProgramStartTest, AFolderOfSkinsListsItselfItsParentThenItsEntries) {
    const std::wstring skins = Folder() + L"Skin\\";
    M().WriteFile(skins + L"Blue\\a.xml", "x");
    M().WriteFile(skins + L"Image\\b.png", "x");
    M().WriteFile(skins + L"notes.txt", "x");
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((Folder() + L"Skin//*.*").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    do {
        names.push_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    ASSERT_EQ(names.size(), 5u);
    EXPECT_EQ(names[0], L".");
    EXPECT_EQ(names[1], L"..");
    EXPECT_EQ((std::vector<std::wstring>(names.begin() + 2, names.end())),
              (std::vector<std::wstring>{L"Blue", L"Image", L"notes.txt"}));
    // The drive's root has neither.
    search = FindFirstFileW(L"C:\\*", &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    EXPECT_STRNE(found.cFileName, L".");
    FindClose(search);
}

}  // namespace
