#include "docking/image_cache.h"

#include <mutex>
#include <new>
#include <vector>

#include "docking/globals.h"
#include <windows.h>
#include "support/auto_lock.h"

namespace System::Docking {

CDockingImage::CDockingImage(const std::wstring& path) : Gdiplus::Bitmap(path.c_str()) {
    InitializeCriticalSection(&lock_);
}

CDockingImage::~CDockingImage() {
    DeleteCriticalSection(&lock_);
}

bool CDockingImage::HasPicture() {
    return GetWidth() > 0 && GetHeight() > 0;
}

ImageCache::~ImageCache() {
    for (auto& [path, image] : images) delete image;
    images.clear();
}

void StartDrawingLibrary() {
    FrameworkGlobals& globals = Globals();
    std::call_once(globals.drawingStart, [&globals] {
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&globals.drawingToken, &input, nullptr);
    });
}

CDockingImage* LoadDockingImage(const std::wstring& layoutPath, const std::wstring& imageName) {
    StartDrawingLibrary();
    std::wstring folder;
    if (layoutPath.empty()) {
        folder = GetProgramFolder();
    } else {
        const size_t cut = layoutPath.find_last_of(L"/\\");
        folder = cut == std::wstring::npos ? layoutPath : layoutPath.substr(0, cut);
    }
    const std::wstring key = folder + L"/" + imageName;

    auto& cache = Globals().imageCache;
    CAutoLock hold(cache.lock);
    auto it = cache.entries.images.find(key);
    if (it == cache.entries.images.end()) {
        CDockingImage* image = new (std::nothrow) CDockingImage(key);
        it = cache.entries.images.emplace(key, image).first;
    }
    CDockingImage* image = it->second;
    return image != nullptr && image->HasPicture() ? image : nullptr;
}

const std::wstring& GetProgramFolder() {
    FrameworkGlobals& globals = Globals();
    std::call_once(globals.programFolder.once, [&globals] {
        std::vector<wchar_t> buffer(128);
        for (;;) {
            const DWORD size = static_cast<DWORD>(buffer.size());
            const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), size);
            if (length == 0) return;
            if (length < size) {
                const std::wstring path(buffer.data(), length);
                const size_t cut = path.rfind(L'\\');
                if (cut != std::wstring::npos) globals.programFolder.text = path.substr(0, cut);
                return;
            }
            // Cut short: again with room for more, up to the longest path the system has.
            if (buffer.size() >= 32768) return;
            buffer.resize(buffer.size() * 2);
        }
    });
    return globals.programFolder.text;
}

bool SkinFileExists(const std::wstring& relativePath) {
    const std::wstring path = GetProgramFolder() + L"/" + relativePath;
    WIN32_FIND_DATAW data{};
    HANDLE find = FindFirstFileW(path.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    FindClose(find);
    return true;
}

}  // namespace System::Docking
