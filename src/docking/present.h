// A finished render on its way to the window: the picture, the part of the window it is for and
// the render's generation. A render posts it with WM_DOCKING_PRESENT; the docking that receives it
// adopts the picture.
//
// Every record in flight is also listed with its docking (PresentRecords), and only the listed
// ones are ever adopted or freed: a record whose message is lost (a failed post, a queue that a
// destroyed window drops) is freed from the list, and a message whose record was freed that way
// finds nothing to take.
#pragma once

#include <mutex>
#include <vector>

#include <windows.h>

namespace System::Docking {

struct PresentRecord {
    HBITMAP bitmap = nullptr;
    HRGN region = nullptr;
    int generation = 0;
    // A render of a part of the window: only that rectangle of the picture is new, and it is
    // copied into the picture the window already has.
    bool partial = false;
    RECT part{};
};

// The parts of the window that renders were asked for but did not draw (a request dropped while
// two renders were already queued, a render cancelled by a newer one): the next render of the
// docking draws them too. Any thread.
class AskedParts {
public:
    AskedParts() = default;
    ~AskedParts();
    AskedParts(const AskedParts&) = delete;
    AskedParts& operator=(const AskedParts&) = delete;

    // Keeps the region (null: the whole window), taking it over.
    void Keep(HRGN region);
    // The region a render is to draw: the one it was asked for (null: the whole window), taken
    // over, with everything kept added; nothing stays kept.
    HRGN Take(HRGN region);

private:
    std::mutex lock_;
    bool whole_ = false;
    HRGN region_ = nullptr;
};

// Frees the record's bitmap and region, and the record.
void FreePresentRecord(PresentRecord* record);

// The records of one docking in flight. Any thread.
class PresentRecords {
public:
    PresentRecords() = default;
    // Frees every record still listed.
    ~PresentRecords();
    PresentRecords(const PresentRecords&) = delete;
    PresentRecords& operator=(const PresentRecords&) = delete;

    void Add(PresentRecord* record);
    // Unlists the record: true when it was listed (the caller owns it now).
    bool Take(PresentRecord* record);
    // Frees every listed record.
    void FreeAll();
    // How many are listed.
    size_t Count();

private:
    std::mutex lock_;
    std::vector<PresentRecord*> records_;
};

}  // namespace System::Docking
