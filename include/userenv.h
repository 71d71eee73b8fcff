// User profiles.
#pragma once

#include <windef.h>

// The profile folder of the token's user (the machine's logged-on user), without a trailing
// backslash. size is in characters with the terminator: a smaller buffer fails with
// ERROR_INSUFFICIENT_BUFFER and *size set to what is needed. ERROR_INVALID_HANDLE for a handle
// that is not open; ERROR_FILE_NOT_FOUND when the machine has no profile folder for the user.
BOOL GetUserProfileDirectoryW(HANDLE token, LPWSTR profileDir, LPDWORD size);
