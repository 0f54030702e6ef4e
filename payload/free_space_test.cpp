#include "payload/free_space.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

constexpr uint64_t kMB = 1024 * 1024;

TEST(FreeSpace, NeedsStrictlyMoreThanRequired) {
  struct Case {
    uint64_t freeBytes;
    long long required;
    bool enough;
    long long freeMB;
  } cases[] = {
      {499 * kMB, 500, false, 499},
      {500 * kMB, 500, false, 500},
      {501 * kMB, 500, true, 501},
      {501 * kMB - 1, 500, false, 500},  // megabytes round down
      {0, 0, false, 0},
      {kMB, 0, true, 1},
      {0, -1, true, 0},
      {0x7FFFFFFFFFFFFFFFull, 500, true, 0x7FFFFFFFFFFFFFFFll / (1024 * 1024)},
      {5000000000ull * kMB, 0x100000000ll, true, 5000000000ll},  // beyond 32 bits
  };
  for (const Case& c : cases) {
    long long freeMB = -7;
    EXPECT_EQ(HasEnoughFreeSpace(c.freeBytes, c.required, freeMB), c.enough) << c.freeBytes;
    EXPECT_EQ(freeMB, c.freeMB) << c.freeBytes;
  }
}

TEST(FreeSpace, DriveIsTheLetterAndColon) {
  struct Case {
    const wchar_t* path;
    const wchar_t* drive;
  } cases[] = {{L"C:\\users\\root\\Temp\\", L"C:"}, {L"d:\\", L"d:"}, {L"Z:", L"Z:"},
               {L"\\\\server\\share\\tmp\\", L""}, {L"", L""}, {L"C", L""}};
  for (const Case& c : cases) EXPECT_EQ(DrivePart(c.path), c.drive) << c.path;
}

// The real query measures the drive of the temporary folder against entry 103 ("500").
TEST(FreeSpace, MeasuresTheTemporaryFoldersDrive) {
  FreeSpaceFigures figures;
  bool enough = CheckFreeSpace(figures);
  EXPECT_EQ(figures.tempDrive, L"C:");
  EXPECT_EQ(figures.requiredMB, 500);
  ULARGE_INTEGER available = {};
  ASSERT_TRUE(GetDiskFreeSpaceExW(L"C:", &available, nullptr, nullptr));
  long long expectedMB = static_cast<long long>(available.QuadPart / kMB);
  EXPECT_NEAR(static_cast<double>(figures.freeMB), static_cast<double>(expectedMB), 64.0);
  EXPECT_EQ(enough, figures.freeMB > 500);
}

}  // namespace
