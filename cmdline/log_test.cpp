#include "cmdline/log.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <stdio.h>

#include <string>

#include "cmdline/log_for_test.h"
#include "framework/handle.h"
#include "framework/scratch_folder_for_test.h"
#include "framework/strings.h"

namespace {

// Each test starts from a closed log with nothing pending, in a fresh folder of its own.
class LogTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetLogForTest(); }
  void TearDown() override { ResetLogForTest(); }

  std::wstring PathOf(const wchar_t* name) const { return folder_ + L"\\" + name; }

  static std::string Ansi(const std::wstring& path) {
    std::string ansi;
    EXPECT_TRUE(harnex::ToThreadAnsi(path, ansi));
    return ansi;
  }

  static void Open(const std::wstring& path) { OpenLog(Ansi(path).c_str()); }


  static void Append(const std::wstring& path, const char* bytes) {
    FILE* file = _wfopen(path.c_str(), L"ab");
    ASSERT_NE(file, nullptr);
    fputs(bytes, file);
    fclose(file);
  }

  harnex_test::ScratchFolder scratch_;
  std::wstring folder_ = scratch_.Path();
};

TEST_F(LogTest, PendingTextIsWrittenFirstOnOpen) {
  LogText(L"one\n");
  LogFormat(L"two %d %s\n", 2, L"x");
  EXPECT_EQ(PendingLogTextForTest(), L"one\ntwo 2 x\n");
  EXPECT_FALSE(IsLogOpen());

  Open(PathOf(L"run.log"));
  ASSERT_TRUE(IsLogOpen());
  EXPECT_EQ(PendingLogTextForTest(), L"");
  LogText(L"three\n");
  CloseLog();
  EXPECT_FALSE(IsLogOpen());
  EXPECT_EQ(harnex_test::ReadBytes(PathOf(L"run.log")), "one\r\ntwo 2 x\r\nthree\r\n");
}

TEST_F(LogTest, OpenThatFailsLeavesTextPending) {
  LogText(L"early\n");
  const std::wstring failing[] = {PathOf(L"missing\\run.log"), folder_, L""};
  for (const std::wstring& path : failing) {
    Open(path);
    EXPECT_FALSE(IsLogOpen()) << path;
  }
  OpenLog(nullptr);
  EXPECT_FALSE(IsLogOpen());
  LogText(L"later\n");
  EXPECT_EQ(PendingLogTextForTest(), L"early\nlater\n");
  EXPECT_EQ(harnex_test::ReadBytes(PathOf(L"missing\\run.log")), "<missing>");

  // Everything pending reaches the first file that does open.
  Open(PathOf(L"run.log"));
  CloseLog();
  EXPECT_EQ(harnex_test::ReadBytes(PathOf(L"run.log")), "early\r\nlater\r\n");
}

TEST_F(LogTest, ReopenAppendsAndLeavesPendingTextAlone) {
  const std::wstring path = PathOf(L"run.log");
  Open(path);
  LogText(L"before\n");
  CloseLog();
  LogText(L"while closed\n");
  Append(path, "front end\r\n");  // another program writes while the log is closed

  ReopenLog();
  ASSERT_TRUE(IsLogOpen());
  ReopenLog();  // already open: nothing changes
  LogText(L"after\n");
  CloseLog();
  EXPECT_EQ(harnex_test::ReadBytes(path), "before\r\nfront end\r\nafter\r\n");
  EXPECT_EQ(PendingLogTextForTest(), L"while closed\n");
}

TEST_F(LogTest, ReopenWithoutAnyPathStaysClosed) {
  LogText(L"kept\n");
  ReopenLog();
  EXPECT_FALSE(IsLogOpen());
  EXPECT_EQ(PendingLogTextForTest(), L"kept\n");
}

TEST_F(LogTest, ReopenUsesThePathOfTheLastOpenEvenWhenItFailed) {
  const std::wstring good = PathOf(L"good.log");
  Open(good);
  LogText(L"a\n");
  CloseLog();
  Open(PathOf(L"missing\\bad.log"));
  ReopenLog();
  EXPECT_FALSE(IsLogOpen());
  EXPECT_EQ(harnex_test::ReadBytes(good), "a\r\n");
}

TEST_F(LogTest, OpenOnAnOpenLogClosesItAndTruncates) {
  const std::wstring first = PathOf(L"first.log");
  const std::wstring second = PathOf(L"second.log");
  Open(first);
  LogText(L"one\n");
  Open(second);  // closes the first, which keeps its text
  LogText(L"two\n");
  Open(first);  // truncates: nothing is pending, the earlier text is gone
  LogText(L"three\n");
  CloseLog();
  EXPECT_EQ(harnex_test::ReadBytes(first), "three\r\n");
  EXPECT_EQ(harnex_test::ReadBytes(second), "two\r\n");
}

TEST_F(LogTest, TextModeAndCodePageConversion) {
  struct Case {
    const wchar_t* text;
    std::string bytes;
  } cases[] = {
      {L"line\n", "line\r\n"},
      {L"crlf\r\n", "crlf\r\r\n"},
      {L"cr\ronly", "cr\ronly"},
      {L"100% %s %d", "100% %s %d"},
      {L"tick \u2713 e\u00e9", "tick ? e\xE9"},
      {L"", ""},
  };
  for (const Case& c : cases) {
    const std::wstring path = PathOf(L"conv.log");
    // Both while open and through the pending text.
    Open(path);
    LogText(c.text);
    CloseLog();
    EXPECT_EQ(harnex_test::ReadBytes(path), c.bytes) << "open: " << c.bytes;
    LogText(c.text);
    Open(path);
    CloseLog();
    EXPECT_EQ(harnex_test::ReadBytes(path), c.bytes) << "pending: " << c.bytes;
  }
}

TEST_F(LogTest, FormatHasNoLengthLimitAndUsesWideConventions) {
  const std::wstring big(5000, L'w');
  LogFormat(L"[%s][%x][%ld]\n", big.c_str(), 0x80030057u, -1L);
  LogText(std::wstring(L"50%"));
  EXPECT_EQ(PendingLogTextForTest(), L"[" + big + L"][80030057][-1]\n50%");
}

TEST_F(LogTest, ConvertsWithTheCallingThreadsCodePage) {
  const LCID previous = ::GetThreadLocale();
  // Russian: ANSI code page 1251, where U+0416 is the byte 0xC6 (code page 1252 has no such letter).
  ASSERT_TRUE(::SetThreadLocale(MAKELCID(MAKELANGID(LANG_RUSSIAN, SUBLANG_RUSSIAN_RUSSIA), SORT_DEFAULT)));
  const std::wstring path = PathOf(L"cyrillic.log");
  Open(path);
  LogText(L"\u0416\n");
  CloseLog();
  ::SetThreadLocale(previous);
  EXPECT_EQ(harnex_test::ReadBytes(path), "\xC6\r\n");
}

TEST_F(LogTest, OpenLogHoldsTheFileWithoutSharing) {
  const std::wstring path = PathOf(L"held.log");
  const DWORD allSharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  auto openOther = [&](DWORD access) {
    return harnex::UniqueFile(::CreateFileW(path.c_str(), access, allSharing, nullptr, OPEN_EXISTING, 0, nullptr));
  };
  Open(path);
  ASSERT_TRUE(IsLogOpen());
  EXPECT_FALSE(openOther(GENERIC_READ));
  EXPECT_FALSE(openOther(GENERIC_WRITE));
  CloseLog();
  EXPECT_TRUE(openOther(GENERIC_READ));

  ReopenLog();  // the append open is exclusive too
  ASSERT_TRUE(IsLogOpen());
  EXPECT_FALSE(openOther(GENERIC_READ));
  CloseLog();
  EXPECT_TRUE(openOther(GENERIC_READ));
}

}  // namespace
