#include "cmdline/command_line_info.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using Arguments = std::vector<std::wstring>;
using Entries = std::vector<std::pair<std::wstring, std::wstring>>;

std::wstring Show(const Arguments& arguments) {
  std::wstring shown;
  for (const std::wstring& argument : arguments) shown += L"[" + argument + L"]";
  return shown;
}

void Parse(CCommandLineInfoEx& info, const Arguments& arguments) { ParseCommandLineArguments(info, arguments); }

TEST(CommandLineHash, WrapsInUnsigned32BitArithmetic) {
  EXPECT_EQ(CCommandLineInfoEx::HashName(L""), 0u);
  EXPECT_EQ(CCommandLineInfoEx::HashName(L"ab"), 97u * 33u + 98u);
  EXPECT_EQ(CCommandLineInfoEx::HashName(L"\u8000"), 0x8000u);  // units are unsigned
  // Long names overflow: without the 32-bit wrap these would land in buckets 5 and 12.
  EXPECT_EQ(CCommandLineInfoEx::BucketOf(L"IAgreeToTheEULA"), 9u);
  EXPECT_EQ(CCommandLineInfoEx::BucketOf(L"extract"), 15u);
  EXPECT_EQ(CCommandLineInfoEx::BucketOf(L"log"), 15u);
}

// Expected orders follow the buckets of the names (w, f, aa, 3, C:\e and LOG share bucket 0;
// x 1, y 2, z 3, /z 7, C:\a 13, log and extract 15) and, within a bucket, newest first.
TEST(CommandLineParse, FillsTheTableInBucketOrder) {
  struct Case {
    Arguments arguments;
    Entries entries;
  } cases[] = {
      {{}, {}},
      {{L"log", L"C:\\logs\\run.log", L"/IAgreeToTheEULA"},
       {{L"IAgreeToTheEULA", L"TRUE"}, {L"log", L"C:\\logs\\run.log"}}},
      // Flags lose exactly one prefix character; plain arguments become names with empty values.
      {{L"/x", L"-y", L"w", L"//z", L"z"}, {{L"w", L""}, {L"x", L"TRUE"}, {L"y", L"TRUE"}, {L"z", L""}, {L"/z", L"TRUE"}}},
      {{L"-"}, {{L"", L"TRUE"}}},
      {{L""}, {{L"", L""}}},
      // One bucket: the newest entry comes first.
      {{L"w", L"f", L"aa", L"3"}, {{L"3", L""}, {L"aa", L""}, {L"f", L""}, {L"w", L""}}},
      // A path switch followed by a flag is dropped; the path after the flag is a plain entry.
      {{L"log", L"/x", L"C:\\a"}, {{L"x", L"TRUE"}, {L"C:\\a", L""}}},
      // Of two path switches in a row only the second gets the value.
      {{L"temp", L"log", L"C:\\a"}, {{L"log", L"C:\\a"}}},
      // A path switch as the last argument is a plain entry, or the value of a pending one.
      {{L"log"}, {{L"log", L""}}},
      {{L"temp", L"extract"}, {{L"temp", L"extract"}}},
      // Path-switch names are recognised in any case but stored as written.
      {{L"LOG", L"C:\\l.txt"}, {{L"LOG", L"C:\\l.txt"}}},
      {{L"log", L"TRUE"}, {{L"log", L"TRUE"}}},
      // A name given again keeps its first place and takes the last value.
      {{L"log", L"C:\\first", L"extract", L"C:\\e", L"log", L"C:\\second"}, {{L"extract", L"C:\\e"}, {L"log", L"C:\\second"}}},
      {{L"/w", L"f", L"w"}, {{L"f", L""}, {L"w", L""}}},
      {{L"?"}, {{L"?", L""}}},
      {{L"/?"}, {{L"?", L"TRUE"}}},
  };
  for (const Case& c : cases) {
    CCommandLineInfoEx info;
    Parse(info, c.arguments);
    EXPECT_EQ(info.Entries(), c.entries) << Show(c.arguments);
  }
}

TEST(CommandLineParse, PresentOnAndGivenAsFlag) {
  struct Case {
    Arguments arguments;
    const wchar_t* name;
    bool present;
    const wchar_t* value;
    bool on;
    bool flag;
  } cases[] = {
      {{L"/x"}, L"x", true, L"TRUE", true, true},
      {{L"x"}, L"x", true, L"", false, false},
      {{L"/x", L"x"}, L"x", true, L"", false, false},
      {{L"x", L"-x"}, L"x", true, L"TRUE", true, true},
      {{L"/log"}, L"log", true, L"TRUE", true, true},
      {{L"log", L"TRUE"}, L"log", true, L"TRUE", true, false},
      {{L"log", L"tRuE"}, L"log", true, L"tRuE", true, false},
      {{L"/log", L"log", L"C:\\a"}, L"log", true, L"C:\\a", false, false},
      {{L"/LOG"}, L"log", false, L"", false, false},
      {{L"/x"}, L"X", false, L"", false, false},
      {{}, L"log", false, L"", false, false},
  };
  for (const Case& c : cases) {
    CCommandLineInfoEx info;
    Parse(info, c.arguments);
    std::wstring value = L"stale";
    EXPECT_EQ(info.GetSwitchValue(c.name, value), c.present) << Show(c.arguments);
    EXPECT_EQ(value, c.value) << Show(c.arguments);
    EXPECT_EQ(info.IsSwitchOn(c.name), c.on) << Show(c.arguments);
    EXPECT_EQ(info.IsGivenAsFlag(c.name), c.flag) << Show(c.arguments);
  }
}

TEST(CommandLineParse, RemoveUnlinksOnlyThatEntry) {
  CCommandLineInfoEx info;
  Parse(info, {L"w", L"f", L"aa", L"/x"});
  info.RemoveSwitch(L"f");
  info.RemoveSwitch(L"f");
  info.RemoveSwitch(L"missing");
  EXPECT_EQ(info.Entries(), (Entries{{L"aa", L""}, {L"w", L""}, {L"x", L"TRUE"}}));
  info.SetSwitchValue(L"f", L"1");  // back in as the newest of its bucket
  info.RemoveSwitch(L"x");
  EXPECT_EQ(info.Entries(), (Entries{{L"f", L"1"}, {L"aa", L""}, {L"w", L""}}));
  EXPECT_FALSE(info.IsGivenAsFlag(L"x"));
}

TEST(BuildFrontEndArgs, WritesEachEntryByItsValue) {
  struct Case {
    const wchar_t* name;
    const wchar_t* value;
    const wchar_t* written;
  } cases[] = {
      {L"x", L"TRUE", L"/x "},
      {L"x", L"tRuE", L"/x "},
      {L"x", L"", L"x "},
      {L"x", L"TRUE!", L"/x \"TRUE!\" "},
      {L"x", L"a", L"/x \"a\" "},
      {L"extract", L"C:\\out\\", L"/extract \"C:\\out\\\\\" "},
      {L"x", L"C:\\", L"/x \"C:\\\\\" "},
      {L"x", L"\\", L"/x \"\\\" "},          // one backslash alone is not doubled
      {L"x", L"a\\\\", L"/x \"a\\\\\\\" "},  // only one backslash is added
      {L"x", L"a\\b", L"/x \"a\\b\" "},
      {L"x", L"a\"b", L"/x \"a\"b\" "},
      {L"NAME=a b", L"", L"NAME=a b "},
  };
  for (const Case& c : cases) {
    CCommandLineInfoEx info;
    info.SetSwitchValue(c.name, c.value);
    std::wstring args = L"stale ";
    info.BuildFrontEndArgs(L"Mini", args);
    EXPECT_EQ(args, std::wstring(c.written) + L"OV_I=\"Mini\" ") << c.value;
  }
}

TEST(BuildFrontEndArgs, EndsWithTheProgramNameProperty) {
  struct Case {
    Arguments arguments;
    const wchar_t* programName;
    const wchar_t* args;
  } cases[] = {
      {{}, L"Mini", L"OV_I=\"Mini\" "},
      {{}, L"", L"OV_I=\"\" "},
      {{}, L"a\"b\\", L"OV_I=\"a\"b\\\" "},
      {{L"log", L"C:\\logs\\run.log", L"/IAgreeToTheEULA"}, L"Mini",
       L"/IAgreeToTheEULA /log \"C:\\logs\\run.log\" OV_I=\"Mini\" "},
      {{L"extract", L"C:\\out\\"}, L"Mini", L"/extract \"C:\\out\\\\\" OV_I=\"Mini\" "},
      // NAME=a b and x share bucket 1, x being newer.
      {{L"NAME=a b", L"/x", L"w"}, L"P", L"w /x NAME=a b OV_I=\"P\" "},
  };
  for (const Case& c : cases) {
    CCommandLineInfoEx info;
    Parse(info, c.arguments);
    std::wstring args;
    info.BuildFrontEndArgs(c.programName, args);
    EXPECT_EQ(args, c.args) << Show(c.arguments);
  }
}

// Expectations follow the platform's splitting rules: blanks and tabs separate; 2n backslashes
// before a quote give n backslashes and the quote toggles quoting; 2n+1 give n and a literal
// quote; backslashes elsewhere are literal; within quotes a doubled quote gives a literal quote
// and ends the quoting.
TEST(SplitCommandLine, FollowsThePlatformRules) {
  struct Case {
    const wchar_t* commandLine;
    Arguments arguments;
  } cases[] = {
      {L"", {}},
      {L"prog.exe", {}},
      {L"prog.exe  \t ", {}},
      {L"prog.exe a  b\tc", {L"a", L"b", L"c"}},
      {L"\"C:\\Program Files\\p.exe\" /x \"NAME=a b\"", {L"/x", L"NAME=a b"}},
      {L"p.exe a\\\\\"b c\" d", {L"a\\b c", L"d"}},
      {L"p.exe a\\\\\\\\\"b\"", {L"a\\\\b"}},
      {L"p.exe \\\\\\\"x", {L"\\\"x"}},
      {L"p.exe \"a\"\"b\"", {L"a\"b"}},
      {L"p.exe \"a\"\"b c\"", {L"a\"b", L"c"}},
      {L"p.exe \"\"\"a\"\"\"", {L"\"a\""}},
      {L"p.exe \"a b\"c", {L"a bc"}},
      {L"p.exe a\"b c\"d e", {L"ab cd", L"e"}},
      {L"p.exe C:\\out\\ next", {L"C:\\out\\", L"next"}},
      {L"p.exe \"C:\\out\\\\\" next", {L"C:\\out\\", L"next"}},
      {L"p.exe \"C:\\out\\\" next", {L"C:\\out\" next"}},
      {L"p.exe \\\\", {L"\\\\"}},
      {L"p.exe a \"\" b", {L"a", L"", L"b"}},
      {L"p.exe \"\"", {L""}},
      {L"p.exe\t\"a\tb\"\tc", {L"a\tb", L"c"}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitCommandLine(c.commandLine), c.arguments) << c.commandLine;
}

}  // namespace
