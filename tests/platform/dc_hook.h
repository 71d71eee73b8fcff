// Intercepts GetDC and ReleaseDC through the hook library while it lives, as a program that skins
// the controls does, and counts the calls per window (both pass on to the real functions).
#pragma once

#include <gtest/gtest.h>

#include <map>

#include <wingdi.h>
#include <detours.h>
#include <winbase.h>

class DcHook {
public:
    DcHook() {
        Counts() = {};
        Transaction(true);
    }
    ~DcHook() { Transaction(false); }
    DcHook(const DcHook&) = delete;
    DcHook& operator=(const DcHook&) = delete;

    // The (GetDC, ReleaseDC) calls for the window so far.
    static std::pair<int, int> Calls(HWND window) { return Counts()[window]; }
    static void Clear() { Counts() = {}; }

private:
    using GetDcFn = HDC (*)(HWND);
    using ReleaseDcFn = int (*)(HWND, HDC);
    static GetDcFn& RealGet() {
        static GetDcFn f = &GetDC;
        return f;
    }
    static ReleaseDcFn& RealRelease() {
        static ReleaseDcFn f = &ReleaseDC;
        return f;
    }
    static std::map<HWND, std::pair<int, int>>& Counts() {
        static std::map<HWND, std::pair<int, int>> counts;
        return counts;
    }
    static HDC Get(HWND window) {
        ++Counts()[window].first;
        return RealGet()(window);
    }
    static int Release(HWND window, HDC dc) {
        ++Counts()[window].second;
        return RealRelease()(window, dc);
    }
    static void Transaction(bool attach) {
        auto op = attach ? DetourAttach : DetourDetach;
        ASSERT_EQ(DetourTransactionBegin(), NO_ERROR);
        ASSERT_EQ(DetourUpdateThread(GetCurrentThread()), NO_ERROR);
        op(reinterpret_cast<PVOID*>(&RealGet()), reinterpret_cast<PVOID>(&Get));
        op(reinterpret_cast<PVOID*>(&RealRelease()), reinterpret_cast<PVOID>(&Release));
        ASSERT_EQ(DetourTransactionCommit(), NO_ERROR);
    }
};
