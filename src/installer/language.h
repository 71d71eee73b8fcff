// The installer's language file: named after the user's interface language, in the "Localize"
// folder beside the program's folder, with "English.txt" as the fallback.
#pragma once

#include <string>

#include <windows.h>

// The file name part of a language identifier ("Spanish" for 0C0A); empty when unknown.
std::wstring GetLanguageName(LANGID languageId);
std::wstring GetUserLanguageName();
std::wstring GetLanguageFilePath();
