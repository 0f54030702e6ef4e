#include "prereq/host_checks.h"

#include <shlobj.h>

#include <vector>

#include "framework/handle.h"
#include "framework/strings.h"
#include "framework/system_library.h"
#include "res/resource.h"

bool IsAdministratorRequiredBySetting(const std::wstring& setting) { return setting != L"0"; }

bool IsAdministratorRequired() {
  return IsAdministratorRequiredBySetting(harnex::LoadResString(IDS_ADMINISTRATOR_REQUIRED));
}

bool IsAdministratorsMember() {
  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  harnex::UniqueSid administrators;
  if (!::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0,
                                  0, 0, 0, administrators.put())) {
    return false;
  }
  BOOL member = FALSE;
  if (!::CheckTokenMembership(nullptr, administrators.get(), &member)) member = FALSE;
  return member == 1;
}

bool IsXPOrLaterVersion(DWORD platformId, DWORD major, DWORD minor) {
  if (platformId != VER_PLATFORM_WIN32_NT) return false;
  return major > 5 || (major == 5 && minor != 0);
}

bool IsWindowsXPOrLater() {
  OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof(info);  // 284 bytes
  if (!::GetVersionExW(&info)) return false;
  return IsXPOrLaterVersion(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion);
}

bool FixedVersionMajorMinor(const VS_FIXEDFILEINFO* fixed, UINT size, DWORD& major, DWORD& minor) {
  if (fixed == nullptr || size < sizeof(VS_FIXEDFILEINFO) || fixed->dwSignature != 0xFEEF04BD) return false;
  major = HIWORD(fixed->dwFileVersionMS);
  minor = LOWORD(fixed->dwFileVersionMS);
  return true;
}

bool GetFileVersionMajorMinor(const std::wstring& path, DWORD& major, DWORD& minor) {
  // version.dll is not one of the system's known libraries: load it from the system folder only.
  harnex::UniqueLibrary version = harnex::LoadSystemLibrary(L"version.dll");
  if (!version) return false;
  typedef DWORD(WINAPI * SizeFn)(LPCWSTR, LPDWORD);
  typedef BOOL(WINAPI * InfoFn)(LPCWSTR, DWORD, DWORD, LPVOID);
  typedef BOOL(WINAPI * QueryFn)(LPCVOID, LPCWSTR, LPVOID*, PUINT);
  auto getSize = reinterpret_cast<SizeFn>(reinterpret_cast<void*>(::GetProcAddress(version.get(), "GetFileVersionInfoSizeW")));
  auto getInfo = reinterpret_cast<InfoFn>(reinterpret_cast<void*>(::GetProcAddress(version.get(), "GetFileVersionInfoW")));
  auto query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(::GetProcAddress(version.get(), "VerQueryValueW")));
  if (getSize == nullptr || getInfo == nullptr || query == nullptr) return false;

  DWORD handle = 0;
  DWORD size = getSize(path.c_str(), &handle);
  if (size == 0) return false;
  std::vector<unsigned char> block(size);
  if (!getInfo(path.c_str(), 0, size, block.data())) return false;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedSize = 0;
  if (!query(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize)) return false;
  return FixedVersionMajorMinor(fixed, fixedSize, major, minor);
}

bool GetSystemFolderPath(std::wstring& path) {
  LPITEMIDLIST items = nullptr;
  if (FAILED(::SHGetSpecialFolderLocation(nullptr, CSIDL_SYSTEM, &items))) return false;
  wchar_t folder[MAX_PATH] = {};
  BOOL found = ::SHGetPathFromIDListW(items, folder);
  IMalloc* allocator = nullptr;
  if (SUCCEEDED(::SHGetMalloc(&allocator))) {
    allocator->Free(items);
    allocator->Release();
  }
  if (!found) return false;
  path = folder;
  path += L'\\';
  return true;
}

bool WindowsInstallerSufficient(bool xpOrLater, const std::function<bool(DWORD& major)>& readMsiMajor) {
  if (xpOrLater) return true;
  DWORD major = 0;
  if (!readMsiMajor(major)) return false;
  return static_cast<long>(major) >= 2;
}

bool IsWindowsInstallerSufficient() {
  return WindowsInstallerSufficient(IsWindowsXPOrLater(), [](DWORD& major) {
    std::wstring folder;
    if (!GetSystemFolderPath(folder)) return false;
    DWORD minor = 0;
    return GetFileVersionMajorMinor(folder + L"MSI.DLL", major, minor);
  });
}
