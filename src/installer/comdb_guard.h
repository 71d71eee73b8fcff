// The COM-port database guard: while it lives, COM1 to COM12 are marked taken in "ComDB", so
// that ports Windows numbers during the install get COM13 and up; Restore writes back the value
// as it was read.
#pragma once

#include <vector>

#include <windows.h>

class CComDBGuard {
public:
    // The longest value the guard handles (COM1 to COM4096).
    static constexpr DWORD kMaxBytes = 512;

    // Reads "ComDB" and marks COM1 to COM12 taken. When the key does not open, the value is
    // missing, not binary, empty or longer than kMaxBytes, or the reservation cannot be written,
    // nothing is reserved and nothing will be restored, so that a failed read or write never
    // writes over the reservations of other devices.
    CComDBGuard();
    // Restores unless Restore already ran.
    ~CComDBGuard();
    CComDBGuard(const CComDBGuard&) = delete;
    CComDBGuard& operator=(const CComDBGuard&) = delete;

    // Writes the kept copy back, at the length it was read; nothing when nothing was reserved.
    // False when the write failed: the copy is kept and the destruction tries again.
    bool Restore();
    // Changes the kept copy so that Restore frees every number from COM13 up: COM1 to COM12
    // keep the state they had when the value was read.
    void FreeFromCom13();

    bool IsHeld() const { return m_held; }
    const std::vector<BYTE>& Kept() const { return m_kept; }

private:
    bool m_held = false;
    bool m_restored = false;
    std::vector<BYTE> m_kept;
};
