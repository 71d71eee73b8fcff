// Code pages: the machine's ANSI code page and conversions between it (or another page) and
// wide text.
#pragma once

#include "platform/wintypes.h"

#define CP_ACP 0u
#define CP_OEMCP 1u
#define CP_UTF8 65001u

#define MB_PRECOMPOSED 0x00000001u
#define MB_ERR_INVALID_CHARS 0x00000008u
#define WC_NO_BEST_FIT_CHARS 0x00000400u

UINT GetACP();
// The user's interface language (the machine's configured one).
LANGID GetUserDefaultUILanguage();
// Size query with a zero output size; -1 as the input length converts through the terminator
// (which is then counted). Embedded zeros are kept when a length is given.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR out,
                        int outChars);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR text, int length, LPSTR out,
                        int outBytes, LPCSTR defaultChar, LPBOOL usedDefault);

// Lead bytes of the machine's ANSI code page.
BOOL IsDBCSLeadByte(BYTE byte);
// The next character of ANSI text: two bytes on for a lead byte followed by a non-zero byte, one
// byte on otherwise; at the terminator the same pointer (a lone lead byte before the terminator
// steps onto the terminator, never past it).
LPSTR CharNextA(LPCSTR current);

#define LOCALE_SYSTEM_DEFAULT 0x0800u
#define LOCALE_USER_DEFAULT 0x0400u
#define NORM_IGNORECASE 0x00000001u
#define CSTR_LESS_THAN 1
#define CSTR_EQUAL 2
#define CSTR_GREATER_THAN 3

// Compares two ANSI texts (machine code page; -1 as a length means up to the terminator).
// Returns CSTR_LESS_THAN, CSTR_EQUAL or CSTR_GREATER_THAN, 0 on failure (last error set).
// The linguistic sort is modelled simply: letters compare without regard to case first, then a
// lower-case letter sorts before its capital; otherwise characters compare by code point.
int CompareStringA(LCID locale, DWORD flags, LPCSTR text1, int length1, LPCSTR text2, int length2);
