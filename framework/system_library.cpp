#include "framework/system_library.h"

#include <string>

namespace harnex {

UniqueLibrary LoadSystemLibrary(const wchar_t* fileName) {
  wchar_t folder[MAX_PATH];
  UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return UniqueLibrary();
  std::wstring path(folder, length);
  path += L'\\';
  path += fileName;
  return UniqueLibrary(::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

void RestrictDllSearchToSystem() {
  ::SetDllDirectoryW(L"");  // drops the current folder from the search order
  typedef BOOL(WINAPI * SetDefaultDllDirectoriesFn)(DWORD);
  HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (setDefault != nullptr) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace harnex
