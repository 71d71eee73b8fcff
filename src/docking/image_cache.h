// Skin images, loaded once per file and shared by every window through a process-wide cache;
// the program folder and the skin-file test that skin loading uses; the one start of the drawing
// library.
#pragma once

#include <string>

#include <gdiplus.h>
#include <windows.h>

namespace System::Docking {

// A bitmap loaded from a file, with the lock that every painter holds while drawing it (an image
// may not be drawn by two threads at once). Images live until the process exits.
class CDockingImage : public Gdiplus::Bitmap {
public:
    explicit CDockingImage(const std::wstring& path);
    ~CDockingImage() override;
    CDockingImage(const CDockingImage&) = delete;
    CDockingImage& operator=(const CDockingImage&) = delete;

    CRITICAL_SECTION& Lock() { return lock_; }
    // A picture was read: width and height both positive.
    bool HasPicture();

private:
    CRITICAL_SECTION lock_;
};

// The image named imageName in the layout file's folder (the part of layoutPath before its last
// '/' or '\'; a layout path without a separator counts as a folder itself), or in the program
// folder when layoutPath is empty. Loaded on the first ask for that folder and name, by one thread
// however many ask at once; null, then and later, when the file could not be read or decoded.
CDockingImage* LoadDockingImage(const std::wstring& layoutPath, const std::wstring& imageName);

// The folder of the program's file (without the last backslash), found once per process
// whatever its length; empty when the path has no backslash.
const std::wstring& GetProgramFolder();

// The program folder + "/" + relativePath exists (a file or a folder).
bool SkinFileExists(const std::wstring& relativePath);

// Starts the drawing library once per process and keeps that start for the life of the process
// (the program's own start and stop around it do not end it). Any thread, any number of times.
void StartDrawingLibrary();

}  // namespace System::Docking
