// Code pages: the machine's ANSI code page and conversions between it (or another page) and
// wide text.
#pragma once

#include <windef.h>

struct SYSTEMTIME;

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

// ---- The user's locale ----
// The machine's user locale is English (United States) (0x0409: short dates "M/d/yyyy", long
// dates "dddd, MMMM d, yyyy", times "h:mm:ss tt", markers "AM"/"PM", ANSI code page 1252) or
// Chinese (PRC) (0x0804: "yyyy-M-d", "yyyy'年'M'月'd'日'", "H:mm:ss", "上午"/"下午", 936). Both
// can be asked for by their LCID; LOCALE_USER_DEFAULT, LOCALE_SYSTEM_DEFAULT and 0 mean the
// user's.
using LCTYPE = DWORD;
#define LOCALE_NOUSEROVERRIDE 0x80000000u
#define LOCALE_SSHORTDATE 0x0000001Fu
#define LOCALE_SLONGDATE 0x00000020u
#define LOCALE_S1159 0x00000028u
#define LOCALE_S2359 0x00000029u
#define LOCALE_STIMEFORMAT 0x00001003u
#define LOCALE_IDEFAULTANSICODEPAGE 0x00001004u

LCID GetUserDefaultLCID();
// The locale's value as text. With outChars 0 the size needed (the terminator counted); else the
// characters written with the terminator. 0 on failure: ERROR_INVALID_PARAMETER for an unknown
// locale, ERROR_INVALID_FLAGS for a type not listed above, ERROR_INSUFFICIENT_BUFFER.
int GetLocaleInfoW(LCID locale, LCTYPE type, LPWSTR out, int outChars);

// ---- Dates and times in the user's locale ----
// A picture's letters: d, dd (day), ddd, dddd (weekday
// name), M, MM (month), MMM, MMMM (month name), y, yy, yyyy (year), h, hh (12-hour), H, HH
// (24-hour), m, mm, s, ss, t, tt (A/P, AM/PM); text in single quotes ('' a quote) and any other
// character stand for themselves. The weekday comes from the date.
#define DATE_SHORTDATE 0x00000001u
#define DATE_LONGDATE 0x00000002u
#define TIME_NOMINUTESORSECONDS 0x00000001u
#define TIME_NOSECONDS 0x00000002u
#define TIME_NOTIMEMARKER 0x00000004u
#define TIME_FORCE24HOURFORMAT 0x00000008u

// The date (the local time when NULL) in the picture, or with DATE_SHORTDATE / DATE_LONGDATE the
// locale's (short without either). With outChars 0 the size needed, the terminator counted; else
// the characters written with it. 0 on failure: ERROR_INVALID_PARAMETER for a date that does not
// exist, ERROR_INVALID_FLAGS for a picture with flags or both flags, ERROR_INSUFFICIENT_BUFFER.
int GetDateFormatW(LCID locale, DWORD flags, const SYSTEMTIME* date, LPCWSTR picture, LPWSTR out,
                   int outChars);
// The time likewise (the locale's time picture without one; TIME_ flags trim or change it).
int GetTimeFormatW(LCID locale, DWORD flags, const SYSTEMTIME* time, LPCWSTR picture, LPWSTR out,
                   int outChars);
