// Free space on the drive of the user's temporary folder, against the build's requirement.
#pragma once

#include <cstdint>
#include <string>

struct FreeSpaceFigures {
  long long requiredMB = 0;  // the build setting (string-table entry 103)
  long long freeMB = 0;      // found on the drive; 0 when the query fails
  std::wstring tempDrive;    // the drive measured, such as "C:"
};

// True when the drive of the temporary folder has strictly more free megabytes than required.
bool CheckFreeSpace(FreeSpaceFigures& figures);

// The decision on its own: `freeBytes` in whole megabytes (rounded down) against `requiredMB`.
bool HasEnoughFreeSpace(uint64_t freeBytes, long long requiredMB, long long& freeMB);

// The drive part of a path: letter and colon ("C:"), or empty when the path has none.
std::wstring DrivePart(const std::wstring& path);
