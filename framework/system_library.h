// Loads a Windows library from the system folder only, never from the program's or the current folder.
#pragma once

#include "framework/handle.h"

namespace harnex {

UniqueLibrary LoadSystemLibrary(const wchar_t* fileName);

// Removes the program's and the current folder from the DLL search path of the process.
void RestrictDllSearchToSystem();

}  // namespace harnex
