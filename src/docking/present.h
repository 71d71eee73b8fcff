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
