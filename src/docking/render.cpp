// Rendering a docking tree for its window, scheduling renders, presenting them, and the window
// messages a docking answers.
#include <algorithm>
#include <utility>

#include "docking/docking.h"
#include "docking/layout.h"
#include "docking/messages.h"
#include "docking/present.h"
#include "docking/render_lock.h"
#include "docking/render_pool.h"
#include "docking/ui_guard.h"

namespace System::Docking {

// ---- Present records ----

void FreePresentRecord(PresentRecord* record) {
    if (record == nullptr) return;
    if (record->bitmap != nullptr) DeleteObject(record->bitmap);
    if (record->region != nullptr) DeleteObject(record->region);
    delete record;
}

PresentRecords::~PresentRecords() {
    FreeAll();
}

void PresentRecords::Add(PresentRecord* record) {
    std::lock_guard<std::mutex> hold(lock_);
    records_.push_back(record);
}

bool PresentRecords::Take(PresentRecord* record) {
    std::lock_guard<std::mutex> hold(lock_);
    auto it = std::find(records_.begin(), records_.end(), record);
    if (it == records_.end()) return false;
    records_.erase(it);
    return true;
}

void PresentRecords::FreeAll() {
    std::vector<PresentRecord*> records;
    {
        std::lock_guard<std::mutex> hold(lock_);
        records.swap(records_);
    }
    for (PresentRecord* record : records) FreePresentRecord(record);
}

size_t PresentRecords::Count() {
    std::lock_guard<std::mutex> hold(lock_);
    return records_.size();
}

// ---- Asked parts ----

AskedParts::~AskedParts() {
    if (region_ != nullptr) DeleteObject(region_);
}

void AskedParts::Keep(HRGN region) {
    std::lock_guard<std::mutex> hold(lock_);
    if (region == nullptr || whole_) {
        whole_ = true;
        if (region != nullptr) DeleteObject(region);
        if (region_ != nullptr) DeleteObject(std::exchange(region_, nullptr));
        return;
    }
    if (region_ == nullptr) {
        region_ = region;
        return;
    }
    if (CombineRgn(region_, region_, region, RGN_OR) == ERROR) whole_ = true;
    DeleteObject(region);
}

HRGN AskedParts::Take(HRGN region) {
    std::lock_guard<std::mutex> hold(lock_);
    const bool whole = std::exchange(whole_, false);
    HRGN kept = std::exchange(region_, nullptr);
    if (region != nullptr && !whole && kept != nullptr &&
        CombineRgn(region, region, kept, RGN_OR) == ERROR) {
        DeleteObject(region);
        region = nullptr;
    }
    if (region != nullptr && whole) {
        DeleteObject(region);
        region = nullptr;
    }
    if (kept != nullptr) DeleteObject(kept);
    return region;
}

// ---- Rendering ----

namespace {

// The root a nested docking passes requests to; null when the docking is a root (or its links
// come round to itself).
CDocking* RootToPassTo(CDocking& docking) {
    if (docking.parent.Read() == nullptr) return nullptr;
    CDocking* top = docking.root.Read();
    return top == &docking ? nullptr : top;
}

// The window's client area at (0, 0); a window without one (or gone) gives an empty rectangle.
Gdiplus::Rect ClientArea(HWND window) {
    RECT client{};
    if (!GetClientRect(window, &client)) client = RECT{};
    return Gdiplus::Rect(0, 0, std::max<LONG>(0, client.right - client.left),
                         std::max<LONG>(0, client.bottom - client.top));
}

}  // namespace

void CDocking::RenderWithLocks(HWND window, HRGN region, HWND presentTo) {
    CRenderLock& renderLock = surface.RenderLock();
    // One render runs (busy lock), one waits for it (waiting lock); a further request is dropped:
    // the waiting render will draw the newer state.
    CRITICAL_SECTION* slot = nullptr;
    if (TryEnterCriticalSection(&busyLock.section))
        slot = &busyLock.section;
    else if (TryEnterCriticalSection(&waitingLock.section))
        slot = &waitingLock.section;
    if (slot == nullptr) {
        // The part asked for is drawn by the waiting render.
        asked_.Keep(region);
        return;
    }
    // A docking that is ending makes a waiting render give up.
    if (renderLock.Enter(life_->Ending())) {
        // A request made while the docking was a root of its own, which has been nested since,
        // is dropped: its root renders the whole tree.
        if (life_->Alive() && RootToPassTo(*this) == nullptr) {
            PresentRecord* record = RenderPicture(window, asked_.Take(region));
            region = nullptr;
            // The slot is free before the picture is posted: a request made once the picture has
            // arrived finds room, and one dropped meanwhile is taken by the render that waits.
            LeaveCriticalSection(std::exchange(slot, nullptr));
            // Posted under the lock: the pictures reach the window in the order they were drawn,
            // so a part is always copied over the picture it was drawn to go with.
            PostPresent(window, record, presentTo);
        }
        renderLock.Leave();
    }
    if (slot != nullptr) LeaveCriticalSection(slot);
    if (region != nullptr) DeleteObject(region);
}

PresentRecord* CDocking::RenderPicture(HWND window, HRGN region) {
    // This render's generation cancels every older one still running.
    const int generation = surface.AdvanceGeneration();
    const Gdiplus::Rect area = ClientArea(window);
    const int width = area.Width;
    const int height = area.Height;
    // A part is drawn within the rectangle around its region.
    const bool partial = region != nullptr;
    Gdiplus::Rect part = area;
    if (partial) {
        RECT box{};
        part = GetRgnBox(region, &box) == ERROR
                   ? Gdiplus::Rect()
                   : Intersect(area, Gdiplus::Rect(box.left, box.top, box.right - box.left,
                                                   box.bottom - box.top));
    }
    if (width == 0 || height == 0 || part.IsEmptyArea()) {
        if (region != nullptr) DeleteObject(region);
        return nullptr;
    }
    if (region == nullptr) region = CreateRectRgn(0, 0, width, height);
    HBITMAP bitmap = nullptr;
    bool drawn = false;
    {
        // The render's own picture; the on-screen surface changes only on the window's thread.
        CDockingPainter target(width, height);
        Gdiplus::Graphics* graphics = target.Graphics();
        if (graphics != nullptr) {
            graphics->SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
            RenderContext context;
            context.window = window;
            context.bounds = context.client = area;
            context.clip = part;
            context.partial = partial;
            context.part = part;
            context.graphics = graphics;
            context.region = region;
            context.generationCounter = surface.GenerationCounter();
            context.generation = generation;
            context.renderLock = &surface.RenderLock();
            try {
                Render(context);
                CheckRenderGeneration(context);
                bitmap = target.TakeBitmap();
                drawn = true;
            } catch (...) {
                // Cancelled by a newer render or a change of the tree, or failed: no picture.
            }
        }
    }
    if (bitmap == nullptr) {
        // What this render was to draw is drawn by the next one (the whole window when it was
        // asked for the whole window).
        if (!drawn) {
            if (!partial) DeleteObject(std::exchange(region, nullptr));
            asked_.Keep(region);
        } else if (region != nullptr) {
            DeleteObject(region);
        }
        return nullptr;
    }
    const RECT edges{part.X, part.Y, part.X + part.Width, part.Y + part.Height};
    auto* record = new (std::nothrow) PresentRecord{bitmap, region, generation, partial, edges};
    if (record == nullptr) {
        DeleteObject(bitmap);
        if (region != nullptr) DeleteObject(region);
    }
    return record;
}

void CDocking::PostPresent(HWND window, PresentRecord* record, HWND presentTo) {
    if (record != nullptr) presents_.Add(record);
    if (PostMessageW(window, WM_DOCKING_PRESENT, reinterpret_cast<WPARAM>(record),
                     reinterpret_cast<LPARAM>(presentTo)))
        return;
    // The window is gone: nobody will take the record.
    if (record != nullptr && presents_.Take(record)) FreePresentRecord(record);
}

void CDocking::EndRenders() {
    // Items still queued for this docking run nothing from now on; the renders in progress are
    // cancelled and waited for.
    life_->End();
    // A nested docking may be inside a render of its root right now (the root's render holds the
    // pointer its hosted window gave it): the rest of the destruction runs under the root's lock.
    if (root.Read() != this) teardown_.emplace(*this, UiWrite::Structure);
}

// ---- Scheduling ----

HWND CDocking::RenderWindow() const {
    return handle.Value() != nullptr ? handle.Value() : resetWindow_;
}

void CDocking::Update(Gdiplus::Rect rect) {
    if (CDocking* top = RootToPassTo(*this)) return top->Update(rect);
    HWND window = RenderWindow();
    if (window != nullptr && IsWindowVisible(window)) PostRender(window, nullptr, this);
}

void CDocking::UpdatePart(const Gdiplus::Rect& rect) {
    if (CDocking* top = RootToPassTo(*this)) return top->UpdatePart(rect);
    HWND window = RenderWindow();
    if (window == nullptr || !IsWindowVisible(window)) return;
    const Gdiplus::Rect area = ClientArea(window);
    const Gdiplus::Rect part = Intersect(area, rect);
    // A part is copied into the picture the window shows: without one of the window's size, the
    // whole window is drawn.
    const bool shown = surface.HasPicture() && surface.width.Value() == area.Width &&
                       surface.height.Value() == area.Height;
    HRGN region = shown && !part.IsEmptyArea()
                      ? CreateRectRgn(part.X, part.Y, part.X + part.Width, part.Y + part.Height)
                      : nullptr;
    PostRender(window, nullptr, this, region);
}

void CDocking::Paint(HWND presentTo, Gdiplus::Rect rect) {
    if (CDocking* top = RootToPassTo(*this)) return top->Paint(presentTo, rect);
    surface.AdvanceGeneration();
    HWND window = RenderWindow();
    if (window != nullptr) PostRender(window, presentTo, this);
}

void CDocking::FitToClient(HWND window) {
    UiWrite change(*this);
    SetBounds(ClientArea(window));
}

bool CDocking::OnResized(HWND window) {
    if (parent.Read() != nullptr) return false;
    // A change of the tree like any other: no render of it runs meanwhile (unless this runs
    // inside a message of the render that holds the lock, which is paused in it). The picture is
    // posted before the lock goes, in order with the renders'.
    UiWrite change(*this);
    FitToClient(window);
    PostPresent(window, RenderPicture(window, nullptr), nullptr);
    return true;
}

// ---- Presenting ----

void CDocking::ShowSurface(HWND window, HRGN clip) {
    HDC dc = GetDC(window);
    if (dc == nullptr) return;
    if (clip != nullptr) SelectClipRgn(dc, clip);
    const int width = surface.width.Value();
    const int height = surface.height.Value();
    if ((GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_LAYERED) != 0) {
        RECT frame{};
        GetWindowRect(window, &frame);
        POINT position{frame.left, frame.top};
        SIZE size{width, height};
        POINT source{0, 0};
        // Constant alpha 254, not 255.
        BLENDFUNCTION blend{AC_SRC_OVER, 0, 254, AC_SRC_ALPHA};
        UpdateLayeredWindow(window, dc, &position, &size, surface.Dc(), &source, 0, &blend,
                            ULW_ALPHA);
    } else {
        BitBlt(dc, 0, 0, width, height, surface.Dc(), 0, 0, SRCCOPY);
    }
    if (clip != nullptr) SelectClipRgn(dc, nullptr);
    ReleaseDC(window, dc);
}

bool CDocking::CopyPartIntoSurface(const PresentRecord& record) {
    BITMAP picture{};
    if (!surface.HasPicture() || record.bitmap == nullptr ||
        GetObjectW(record.bitmap, sizeof picture, &picture) != sizeof picture ||
        picture.bmWidth != surface.width.Value() || picture.bmHeight != surface.height.Value())
        return false;
    HDC source = CreateCompatibleDC(surface.Dc());
    if (source == nullptr) return false;
    HGDIOBJ old = SelectObject(source, record.bitmap);
    const RECT& r = record.part;
    const bool copied = BitBlt(surface.Dc(), r.left, r.top, r.right - r.left, r.bottom - r.top,
                               source, r.left, r.top, SRCCOPY) != FALSE;
    SelectObject(source, old);
    DeleteDC(source);
    return copied;
}

void CDocking::FreePendingPresents(HWND window) {
    // The window's queue goes with it: the records in it are freed first, and so is every record
    // still on its way.
    MSG msg;
    while (PeekMessageW(&msg, window, WM_DOCKING_PRESENT, WM_DOCKING_PRESENT, PM_REMOVE)) {
        auto* record = reinterpret_cast<PresentRecord*>(msg.wParam);
        if (record != nullptr && presents_.Take(record)) FreePresentRecord(record);
    }
    presents_.FreeAll();
}

bool CDocking::OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_DESTROY:
            if (parent.Read() == nullptr) surface.AdvanceGeneration();
            FreePendingPresents(window);
            return false;
        case WM_PAINT:
            if (parent.Read() == nullptr && surface.HasPicture()) {
                PAINTSTRUCT paint{};
                HDC dc = BeginPaint(window, &paint);
                if (dc != nullptr)
                    BitBlt(dc, 0, 0, surface.width.Value(), surface.height.Value(), surface.Dc(), 0,
                           0, SRCCOPY);
                EndPaint(window, &paint);
            }
            return false;
        case WM_ERASEBKGND:
            return true;
        case WM_DOCKING_PRESENT: {
            auto* record = reinterpret_cast<PresentRecord*>(wParam);
            // Only a record still listed is ours to take (one freed with its lost message is not).
            if (record == nullptr || !presents_.Take(record)) return true;
            // A late render must not replace a newer picture.
            if (record->generation >= adoptedGeneration_) {
                adoptedGeneration_ = record->generation;
                if (!record->partial) {
                    surface.SelectBitmap(record->bitmap);
                    record->bitmap = nullptr;
                    ShowSurface(window, record->region);
                } else if (CopyPartIntoSurface(*record)) {
                    ShowSurface(window, record->region);
                } else {
                    // A part without a picture of its size to go into (the window was resized
                    // since it was asked for): the whole window is drawn again.
                    Update(GetBounds());
                }
            }
            FreePresentRecord(record);
            return true;
        }
        case WM_DOCKING_DRAWCHILD: {
            // The record is the sender's: it is read, never kept or freed.
            const auto* child = reinterpret_cast<const DrawChildRecord*>(wParam);
            if (child == nullptr) return false;
            auto picture = static_cast<HBITMAP>(GetCurrentObject(child->source, OBJ_BITMAP));
            Gdiplus::Graphics* graphics = surface.Graphics();
            if (picture != nullptr && graphics != nullptr) {
                Gdiplus::Bitmap* source = Gdiplus::Bitmap::FromHBITMAP(picture, nullptr);
                if (source != nullptr) {
                    graphics->DrawImage(
                        source, Gdiplus::Rect(child->x, child->y, child->width, child->height),
                        child->sourceX, child->sourceY, child->width, child->height,
                        Gdiplus::UnitPixel);
                    delete source;
                }
            }
            if (surface.HasPicture()) {
                HRGN clip = CreateRectRgn(child->x, child->y, child->x + child->width,
                                          child->y + child->height);
                ShowSurface(window, clip);
                if (clip != nullptr) DeleteObject(clip);
            }
            return false;
        }
        default:
            return false;
    }
}

}  // namespace System::Docking
