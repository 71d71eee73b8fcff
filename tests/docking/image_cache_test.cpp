#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "docking/image_cache.h"
#include "drawing_helper.h"
#include "machine/control/gdiplus_log.h"
#include <winbase.h>
#include "common/thread_helper.h"

using namespace System::Docking;

namespace {

using ImageCacheTest = DrawingTest;

TEST_F(ImageCacheTest, TwoLayoutsOfOneFolderShareAnImage) {
    WriteImage(L"C:\\app\\skin\\default\\bg.png");
    CDockingImage* a = LoadDockingImage(L"C:/app/skin/default/main.xml", L"bg.png");
    CDockingImage* b = LoadDockingImage(L"C:/app/skin/default/other.xml", L"bg.png");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    EXPECT_EQ(a->GetWidth(), 10u);
    EXPECT_EQ(control::GdiplusLiveCount(control::GdiplusKind::Image), 1u);
}

TEST_F(ImageCacheTest, BackslashLayoutPathUsesItsFolder) {
    WriteImage(L"C:\\app\\skin\\blue\\bg.png");
    CDockingImage* a = LoadDockingImage(L"C:\\app\\skin\\blue\\main.xml", L"bg.png");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, LoadDockingImage(L"C:\\app\\skin\\blue\\other.xml", L"bg.png"));
    // A layout path of mixed separators is cut at its last one.
    EXPECT_NE(LoadDockingImage(L"C:/app/skin\\blue/main.xml", L"bg.png"), nullptr);
    EXPECT_EQ(LoadDockingImage(L"C:\\app\\skin\\main.xml", L"bg.png"), nullptr);
}

TEST_F(ImageCacheTest, FoldersDoNotShareImagesOfOneName) {
    WriteImage(L"C:\\a\\bg.png");
    WriteImage(L"C:\\b\\bg.png");
    CDockingImage* a = LoadDockingImage(L"C:\\a\\main.xml", L"bg.png");
    CDockingImage* b = LoadDockingImage(L"C:\\b\\main.xml", L"bg.png");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
}

TEST_F(ImageCacheTest, EmptyLayoutPathLooksInTheProgramFolder) {
    WriteImage(M().config().programFolder + L"logo.bmp");
    CDockingImage* image = LoadDockingImage(L"", L"logo.bmp");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image, LoadDockingImage(GetProgramFolder() + L"\\any.xml", L"logo.bmp"));
}

TEST_F(ImageCacheTest, MissingFileIsTriedOnceAndGivesNull) {
    EXPECT_EQ(LoadDockingImage(L"C:\\app\\main.xml", L"missing.png"), nullptr);
    EXPECT_EQ(LoadDockingImage(L"C:\\app\\main.xml", L"missing.png"), nullptr);
    // Written afterwards: the entry is kept, the file is not read again.
    WriteImage(L"C:\\app\\missing.png");
    EXPECT_EQ(LoadDockingImage(L"C:\\app\\main.xml", L"missing.png"), nullptr);
    EXPECT_EQ(control::GdiplusLiveCount(control::GdiplusKind::Image), 1u);
}

TEST_F(ImageCacheTest, UndecodableFileGivesNull) {
    ASSERT_TRUE(M().WriteFile(L"C:\\app\\bad.png", "not an image at all"));
    EXPECT_EQ(LoadDockingImage(L"C:\\app\\main.xml", L"bad.png"), nullptr);
}

TEST_F(ImageCacheTest, EightThreadsLoadOneImageOnce) {
    WriteImage(L"C:\\app\\bg.png");
    constexpr int kThreads = 8;
    std::vector<CDockingImage*> got(kThreads, nullptr);
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::vector<HANDLE> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.push_back(StartThread([&, i]() -> DWORD {
            WaitForSingleObject(go, INFINITE);
            got[i] = LoadDockingImage(L"C:\\app\\main.xml", L"bg.png");
            return 0;
        }));
    SetEvent(go);
    EXPECT_EQ(WaitForMultipleObjects(kThreads, threads.data(), TRUE, INFINITE), WAIT_OBJECT_0);
    for (HANDLE t : threads) CloseHandle(t);
    CloseHandle(go);
    ASSERT_NE(got[0], nullptr);
    for (CDockingImage* image : got) EXPECT_EQ(image, got[0]);
    EXPECT_EQ(control::GdiplusLiveCount(control::GdiplusKind::Image), 1u);
}

// ---- The program folder ----

class LongProgramFolder : public DrawingTest {
protected:
    sim::Config MachineConfig() override {
        sim::Config c = DrawingTest::MachineConfig();
        c.programFolder = L"C:\\" + std::wstring(150, L'p') + L"\\Modem\\";
        return c;
    }
};

TEST_F(LongProgramFolder, IsNotCutShort) {
    EXPECT_EQ(GetProgramFolder(), L"C:\\" + std::wstring(150, L'p') + L"\\Modem");
}

TEST_F(ImageCacheTest, ProgramFolderIsTheProgramsPathWithoutItsName) {
    std::wstring expected = M().config().programFolder;
    expected.pop_back();
    EXPECT_EQ(GetProgramFolder(), expected);
    EXPECT_EQ(&GetProgramFolder(), &GetProgramFolder());
}

TEST_F(ImageCacheTest, SkinFileExistsFindsFilesAndFolders) {
    const std::wstring root = M().config().programFolder;
    ASSERT_TRUE(M().WriteFile(root + L"skin\\default\\main.xml", "<x/>"));
    EXPECT_TRUE(SkinFileExists(L"skin/default/main.xml"));
    EXPECT_TRUE(SkinFileExists(L"SKIN\\Default\\MAIN.XML"));
    EXPECT_TRUE(SkinFileExists(L"skin/default"));
    EXPECT_FALSE(SkinFileExists(L"skin/blue/main.xml"));
    EXPECT_FALSE(SkinFileExists(L"skin/default/"));
}

TEST_F(ImageCacheTest, DrawingLibraryStartsOnceAndStaysStarted) {
    StartDrawingLibrary();
    StartDrawingLibrary();
    // The program's own start and stop leave the framework's start in place.
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    ASSERT_EQ(Gdiplus::GdiplusStartup(&token, &input, nullptr), Gdiplus::Ok);
    Gdiplus::GdiplusShutdown(token);
    Gdiplus::Bitmap bitmap(4, 4);
    EXPECT_EQ(bitmap.GetLastStatus(), Gdiplus::Ok);
}

}  // namespace
