// Private profile (INI) files written key by key.
#pragma once

#include "platform/wintypes.h"

// Writes key=value into the section of the file. A missing file is created in the ANSI code page;
// a file that begins with the UTF-16 byte-order mark (FF FE) is written in UTF-16LE. Section and
// key names are matched without regard to case (ASCII letters) and with blanks around them
// ignored; a found key's line is replaced in place by "key=value", a missing key is added after
// the last line of its section, a missing section is added at the end of the file as
// "[section]" followed by the key's line. Lines that are not changed keep their bytes. value
// null removes the key's line; key null removes the section with its lines. A file name without
// a folder names a file in the Windows folder. FALSE with the last error when the file cannot be
// read or written (its folder missing, or it is open without sharing).
BOOL WritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR fileName);
