#include "prereq/host_checks.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(AdministratorSetting, OnlyExactlyZeroWaivesTheRights) {
  struct Case {
    const wchar_t* setting;
    bool required;
  } cases[] = {{L"0", false}, {L"1", true}, {L"00", true}, {L" 0", true}, {L"0 ", true}, {L"", true}, {L"no", true}};
  for (const Case& c : cases) EXPECT_EQ(IsAdministratorRequiredBySetting(c.setting), c.required) << c.setting;
}

TEST(WindowsVersion, XPOrLaterNeedsTheNTPlatformAt51) {
  struct Case {
    DWORD platform, major, minor;
    bool expected;
  } cases[] = {
      {VER_PLATFORM_WIN32_NT, 5, 0, false}, {VER_PLATFORM_WIN32_NT, 5, 1, true},  {VER_PLATFORM_WIN32_NT, 5, 2, true},
      {VER_PLATFORM_WIN32_NT, 4, 9, false}, {VER_PLATFORM_WIN32_NT, 6, 0, true},  {VER_PLATFORM_WIN32_NT, 10, 0, true},
      {VER_PLATFORM_WIN32_WINDOWS, 6, 1, false}, {VER_PLATFORM_WIN32s, 5, 1, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IsXPOrLaterVersion(c.platform, c.major, c.minor), c.expected)
        << c.platform << " " << c.major << "." << c.minor;
}

TEST(WindowsInstaller, MsiVersionDecidesOnlyBeforeXP) {
  struct Case {
    bool xpOrLater;
    bool readable;
    DWORD major;
    bool expected;
  } cases[] = {
      {true, false, 0, true},  // XP and later never look at MSI.DLL, even when it is missing
      {false, true, 2, true},  {false, true, 3, true}, {false, true, 1, false},
      {false, false, 9, false},  // missing or without a version block
  };
  for (const Case& c : cases) {
    int reads = 0;
    bool result = WindowsInstallerSufficient(c.xpOrLater, [&](DWORD& major) {
      ++reads;
      major = c.major;
      return c.readable;
    });
    EXPECT_EQ(result, c.expected);
    EXPECT_EQ(reads, c.xpOrLater ? 0 : 1);
  }
}

TEST(FileVersion, SignatureMustMatchTheFixedRecord) {
  VS_FIXEDFILEINFO fixed = {};
  fixed.dwSignature = 0xFEEF04BD;
  fixed.dwFileVersionMS = MAKELONG(7, 2);  // 2.7
  DWORD major = 99, minor = 99;
  ASSERT_TRUE(FixedVersionMajorMinor(&fixed, sizeof(fixed), major, minor));
  EXPECT_EQ(major, 2u);
  EXPECT_EQ(minor, 7u);

  major = minor = 99;
  fixed.dwSignature = 0xFEEF04BC;
  EXPECT_FALSE(FixedVersionMajorMinor(&fixed, sizeof(fixed), major, minor));
  fixed.dwSignature = 0xFEEF04BD;
  EXPECT_FALSE(FixedVersionMajorMinor(&fixed, sizeof(fixed) - 1, major, minor));
  EXPECT_FALSE(FixedVersionMajorMinor(nullptr, sizeof(fixed), major, minor));
  EXPECT_EQ(major, 99u);  // outputs untouched on failure
  EXPECT_EQ(minor, 99u);
}

TEST(FileVersion, ReadsRealFilesAndRefusesFilesWithoutVersion) {
  std::wstring system;
  ASSERT_TRUE(GetSystemFolderPath(system));
  DWORD major = 0, minor = 0;
  EXPECT_TRUE(GetFileVersionMajorMinor(system + L"kernel32.dll", major, minor));
  EXPECT_GE(major, 5u);

  wchar_t temp[MAX_PATH];
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
  std::wstring plain = std::wstring(temp) + L"harnex-no-version.txt";
  HANDLE file = CreateFileW(plain.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, "text", 4, &written, nullptr);
  CloseHandle(file);
  major = minor = 42;
  EXPECT_FALSE(GetFileVersionMajorMinor(plain, major, minor));
  EXPECT_FALSE(GetFileVersionMajorMinor(std::wstring(temp) + L"harnex-missing.dll", major, minor));
  EXPECT_EQ(major, 42u);
  DeleteFileW(plain.c_str());
}

TEST(SystemFolder, IsTheSystemDirectoryWithOneBackslash) {
  std::wstring path;
  ASSERT_TRUE(GetSystemFolderPath(path));
  wchar_t expected[MAX_PATH];
  UINT length = GetSystemDirectoryW(expected, MAX_PATH);
  ASSERT_GT(length, 0u);
  EXPECT_EQ(path, std::wstring(expected, length) + L"\\");
}

// Wine always runs programs as an elevated administrator on Windows 7 SP1, so the real answers are
// fixed here; the other answers are covered through the decision functions above.
TEST(HostChecksUnderWine, AnswerAsAnElevatedAdministratorOnWindows7) {
  EXPECT_TRUE(IsAdministratorsMember());
  EXPECT_TRUE(IsWindowsXPOrLater());
  EXPECT_TRUE(IsWindowsInstallerSufficient());
}

}  // namespace
