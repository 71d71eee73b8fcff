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
// Size query with a zero output size; -1 as the input length converts through the terminator
// (which is then counted). Embedded zeros are kept when a length is given.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR out,
                        int outChars);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR text, int length, LPSTR out,
                        int outBytes, LPCSTR defaultChar, LPBOOL usedDefault);
