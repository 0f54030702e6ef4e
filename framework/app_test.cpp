#include "framework/app.h"

#include <gtest/gtest.h>

namespace {

TEST(SkipProgramName, LeavesTheRawTail) {
  struct Case {
    const wchar_t* commandLine;
    const wchar_t* tail;
  } cases[] = {
      {L"prog.exe", L""},
      {L"prog.exe /a b", L"/a b"},
      {L"\"C:\\Program Files\\p.exe\"  log \"x y\"", L"log \"x y\""},
      {L"\"C:\\p.exe\"/x", L"/x"},
      {L"prog.exe\t\t\"a\"", L"\"a\""},
      {L"\"unterminated", L""},
      {L"", L""},
  };
  for (const Case& c : cases) EXPECT_STREQ(SkipProgramName(c.commandLine), c.tail) << c.commandLine;
}

}  // namespace
