#include "payload/free_space.h"

#include <windows.h>

#include "framework/strings.h"
#include "res/resource.h"

bool HasEnoughFreeSpace(uint64_t freeBytes, long long requiredMB, long long& freeMB) {
  freeMB = static_cast<long long>(freeBytes / 1024 / 1024);
  return freeMB > requiredMB;
}

std::wstring DrivePart(const std::wstring& path) {
  if (path.size() >= 2 && path[1] == L':') return path.substr(0, 2);
  return std::wstring();
}

bool CheckFreeSpace(FreeSpaceFigures& figures) {
  figures.requiredMB = harnex::ParseSignedDecimal(harnex::LoadResString(IDS_REQUIRED_MB));
  figures.freeMB = 0;
  wchar_t temp[1024] = {};
  DWORD length = ::GetTempPathW(1024, temp);
  figures.tempDrive = DrivePart(length > 0 && length < 1024 ? std::wstring(temp, length) : std::wstring());
  ULARGE_INTEGER available = {};
  if (!::GetDiskFreeSpaceExW(figures.tempDrive.c_str(), &available, nullptr, nullptr)) return false;
  return HasEnoughFreeSpace(available.QuadPart, figures.requiredMB, figures.freeMB);
}
