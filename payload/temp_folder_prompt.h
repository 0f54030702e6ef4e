// Asks the user for another base folder when the chosen one cannot be written.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// Silent runs log that they do not ask and fail with 0x80004005. Otherwise shows the drive prompt
// modally on the calling thread, with `openPrompts` raised while it is open; on OK `tempBase`
// becomes the text exactly as typed and the result is 0, else 0x80004005 with it unchanged.
uint32_t PromptForTempFolder(bool silent, volatile LONG& openPrompts, std::wstring& tempBase);
