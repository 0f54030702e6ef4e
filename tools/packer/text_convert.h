// Text conversions of the packer: UTF-8 (command line) to UTF-16 (resource names and strings) and
// to Windows-1252 (the payload index), and UTF-16 to UTF-8 (the Windows program's arguments).
#pragma once

#include <string>

namespace harnex::packer {

// Decodes UTF-8 into UTF-16. False for malformed input (bad sequences, overlong forms,
// surrogate code points, values beyond U+10FFFF).
bool Utf8ToUtf16(const std::string& utf8, std::u16string* out);

// Encodes UTF-16 as UTF-8. False when the text holds an unpaired surrogate.
bool Utf16ToUtf8(const std::u16string& text, std::string* out);

// Converts UTF-8 to Windows-1252 bytes. False when the input is malformed or holds a character
// outside that code page (C1 controls U+0080..U+009F count as outside: the code page has no
// characters at the bytes they would take).
bool Utf8ToWindows1252(const std::string& utf8, std::string* out);

// ASCII letters upper-cased, every other unit unchanged: how resource names are stored and ordered.
std::u16string AsciiUpper(const std::u16string& text);

}  // namespace harnex::packer
