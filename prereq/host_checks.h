// Yes/no questions about the machine asked before anything is extracted.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// False only when the administrator build setting (string-table entry 145) is exactly "0".
bool IsAdministratorRequired();
bool IsAdministratorRequiredBySetting(const std::wstring& setting);

// True only when the calling thread's token is a member of the built-in Administrators group.
bool IsAdministratorsMember();

// True on the Windows NT platform at version 5.1 or later.
bool IsWindowsXPOrLater();
bool IsXPOrLaterVersion(DWORD platformId, DWORD major, DWORD minor);

// The two upper parts of the file version of `path`; false (outputs untouched) without a valid
// fixed version block.
bool GetFileVersionMajorMinor(const std::wstring& path, DWORD& major, DWORD& minor);
// The same reading over a fixed version record of `size` bytes as the version query returned it.
bool FixedVersionMajorMinor(const VS_FIXEDFILEINFO* fixed, UINT size, DWORD& major, DWORD& minor);

// The Windows system folder followed by one backslash.
bool GetSystemFolderPath(std::wstring& path);

// Windows Installer 2.0 or later: always on XP and later, else judged by MSI.DLL's version.
bool IsWindowsInstallerSufficient();
// `readMsiMajor` reads the major file version of MSI.DLL in the system folder (false: unreadable).
bool WindowsInstallerSufficient(bool xpOrLater, const std::function<bool(DWORD& major)>& readMsiMajor);
