#include "framework/strings.h"

#include <gtest/gtest.h>

#include <climits>

namespace harnex {
namespace {

TEST(FormatString, UsesWideConventionsOfThePlatform) {
  EXPECT_EQ(FormatString(L"[%s][%8x][%ld]", L"abc", 5u, -3L), L"[abc][       5][-3]");
  EXPECT_EQ(FormatString(L"0x%8x", 0x80070057u), L"0x80070057");
  EXPECT_EQ(FormatString(L"%x", 0x65u), L"65");
  EXPECT_EQ(FormatString(L"%p", reinterpret_cast<void*>(0xABCu)), L"00000ABC");
}

TEST(FormatString, HasNoLengthLimit) {
  std::wstring big(100000, L'x');
  EXPECT_EQ(FormatString(L"<%s>", big.c_str()), L"<" + big + L">");
  EXPECT_EQ(FormatString(L"%s", L""), L"");
}

TEST(ParseSignedDecimal, ReadsLikeTheCRuntime) {
  struct Case {
    const wchar_t* text;
    long expected;
  } cases[] = {
      {L"500", 500},         {L"  42", 42},          {L"-1", -1},          {L"+7", 7},
      {L"1abc", 1},          {L"abc", 0},            {L"", 0},             {L"- 5", 0},
      {L"\t-12x", -12},      {L"2147483647", LONG_MAX}, {L"2147483648", LONG_MAX},
      {L"99999999999999999999", LONG_MAX},            {L"-2147483648", LONG_MIN},
      {L"-99999999999999999999", LONG_MIN},           {L"00", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseSignedDecimal(c.text), c.expected) << c.text;
}

TEST(ThreadAnsi, ReplacesUnmappableCharactersAndRoundTrips) {
  std::string out;
  ASSERT_TRUE(ToThreadAnsi(L"a\u2713b\u00e9", out));
  // Code page 1252 lacks the check mark: it becomes the default replacement character.
  EXPECT_EQ(out, std::string("a?b\xE9"));
  EXPECT_EQ(FromThreadAnsi(out.data(), out.size()), L"a?b\u00e9");
  ASSERT_TRUE(ToThreadAnsi(L"", out));
  EXPECT_TRUE(out.empty());
}

TEST(LoadResString, MissingEntryReadsAsEmpty) { EXPECT_EQ(LoadResString(4321), L""); }

}  // namespace
}  // namespace harnex
