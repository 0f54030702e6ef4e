// String-table loading, printf-style formatting into wide strings, and code-page conversion.
#pragma once

#include <windows.h>

#include <cstdarg>
#include <string>

namespace harnex {

// Text of string-table entry `id` of `module` (the program's own by default); empty when missing.
std::wstring LoadResString(UINT id, HINSTANCE module = nullptr);

// Formats with the platform's wide printf conventions: %s takes a wide string, %8x pads with
// blanks. The result has no length limit.
std::wstring FormatString(const wchar_t* format, ...);
std::wstring FormatStringV(const wchar_t* format, va_list args);

// Signed decimal reading: leading white space, an optional sign, digits up to the first other
// character; no digits give 0; values beyond the 32-bit range clamp to its nearer limit.
long ParseSignedDecimal(const std::wstring& text);

// Converts between UTF-16 and the calling thread's ANSI code page. `ToThreadAnsi` uses a buffer of
// two bytes per UTF-16 unit and fails (returns false) when the text does not fit it.
bool ToThreadAnsi(const std::wstring& text, std::string& out);
std::wstring FromThreadAnsi(const char* bytes, size_t length);

}  // namespace harnex
