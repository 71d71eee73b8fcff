// The COM-port database guard on its own: what it reserves, what it restores, and the values it
// leaves alone.
#include <gtest/gtest.h>

#include "installer/comdb_guard.h"
#include "installer_fixture.h"
#include "machine/faults.h"

namespace {

class ComDbGuardTest : public InstallerTest {};

TEST_F(ComDbGuardTest, ReservesTheFirstTwelveAndRestoresTheValueRead) {
    std::vector<BYTE> db(32, 0);
    db[0] = 0x01;  // COM1
    db[1] = 0xA0;  // COM14, COM16 held by other devices
    db[5] = 0x10;  // COM45
    SetComDb(db);
    {
        CComDBGuard guard;
        ASSERT_TRUE(guard.IsHeld());
        std::vector<BYTE> reserved = ComDb();
        EXPECT_EQ(reserved[0], 0xFF);
        EXPECT_EQ(reserved[1], 0xAF);  // COM9 to COM12 taken; COM14 and COM16 stay taken
        EXPECT_EQ(reserved[5], 0x10);
        SetComDb(std::vector<BYTE>(32, 0xFF));  // ports numbered meanwhile
        guard.Restore();
        EXPECT_EQ(ComDb(), db);
    }
    EXPECT_EQ(ComDb(), db);  // the destruction after a restore writes nothing more
}

// A failed write of the value loses nothing: neither the numbers given meanwhile (after a
// failed reservation) nor the value as it was (after a failed restore).
TEST_F(ComDbGuardTest, FailedWritesLoseNothing) {
    const std::wstring value = std::wstring(kComDbKey) + L"\\ComDB";
    std::vector<BYTE> db(32, 0);
    db[0] = 0x03;
    SetComDb(db);
    {
        M().faults().Inject(sim::RegistryOp::SetValue, ERROR_ACCESS_DENIED, 1, value);
        CComDBGuard guard;
        EXPECT_FALSE(guard.IsHeld());
        db[1] = 0x10;  // COM13, numbered during the install
        SetComDb(db);
        EXPECT_TRUE(guard.Restore());
    }
    EXPECT_EQ(ComDb(), db);

    {
        CComDBGuard guard;
        ASSERT_TRUE(guard.IsHeld());
        M().faults().Inject(sim::RegistryOp::SetValue, ERROR_ACCESS_DENIED, 1, value);
        EXPECT_FALSE(guard.Restore());
        EXPECT_EQ(ComDb()[0], 0xFF);  // still reserved
    }
    EXPECT_EQ(ComDb(), db);  // the destruction wrote the value back
}

TEST_F(ComDbGuardTest, DestructionRestoresWhenRestoreWasNotCalled) {
    std::vector<BYTE> db(32, 0);
    db[0] = 0x02;
    SetComDb(db);
    {
        CComDBGuard guard;
        EXPECT_EQ(ComDb()[0], 0xFF);
    }
    EXPECT_EQ(ComDb(), db);
}

TEST_F(ComDbGuardTest, MissingValueIsNeitherReservedNorRestored) {
    M().registry().DeleteValue(kComDbKey, L"ComDB");
    {
        CComDBGuard guard;
        EXPECT_FALSE(guard.IsHeld());
        sim::RegValue value;
        EXPECT_FALSE(M().registry().GetValue(kComDbKey, L"ComDB", &value));
        // A port numbered meanwhile keeps its number: no zeros are written over it.
        SetComDb({0x00, 0x10});
        guard.FreeFromCom13();
        guard.Restore();
    }
    EXPECT_EQ(ComDb(), (std::vector<BYTE>{0x00, 0x10}));
}

TEST_F(ComDbGuardTest, MissingKeyIsLeftAlone) {
    M().registry().DeleteKey(kComDbKey);
    {
        CComDBGuard guard;
        EXPECT_FALSE(guard.IsHeld());
    }
    EXPECT_FALSE(M().registry().KeyExists(kComDbKey));
}

TEST_F(ComDbGuardTest, SixtyFourByteValueKeepsItsLengthAndItsTail) {
    std::vector<BYTE> db(64, 0);
    db[0] = 0x01;
    for (std::size_t i = 32; i < 64; ++i) db[i] = static_cast<BYTE>(i);
    SetComDb(db);
    CComDBGuard guard;
    std::vector<BYTE> reserved = ComDb();
    ASSERT_EQ(reserved.size(), 64u);
    EXPECT_EQ(reserved[0], 0xFF);
    EXPECT_EQ(reserved[1], 0x0F);
    for (std::size_t i = 32; i < 64; ++i) EXPECT_EQ(reserved[i], db[i]) << i;
    guard.Restore();
    EXPECT_EQ(ComDb(), db);
}

TEST_F(ComDbGuardTest, ValueLongerThanTheBufferIsLeftAlone) {
    std::vector<BYTE> db(CComDBGuard::kMaxBytes + 1, 0x11);
    SetComDb(db);
    {
        CComDBGuard guard;
        EXPECT_FALSE(guard.IsHeld());
        EXPECT_EQ(ComDb(), db);
    }
    EXPECT_EQ(ComDb(), db);
}

TEST_F(ComDbGuardTest, ValueOfAnotherTypeIsLeftAlone) {
    M().registry().SetDword(kComDbKey, L"ComDB", 7);
    {
        CComDBGuard guard;
        EXPECT_FALSE(guard.IsHeld());
    }
    EXPECT_EQ(M().registry().GetDword(kComDbKey, L"ComDB"), 7u);
}

TEST_F(ComDbGuardTest, FreeFromCom13KeepsTheFirstTwelveAsRead) {
    std::vector<BYTE> db(32, 0xFF);
    db[0] = 0x05;
    db[1] = 0xF6;
    SetComDb(db);
    CComDBGuard guard;
    guard.FreeFromCom13();
    guard.Restore();
    std::vector<BYTE> expected(32, 0);
    expected[0] = 0x05;
    expected[1] = 0x06;
    EXPECT_EQ(ComDb(), expected);
}

}  // namespace
