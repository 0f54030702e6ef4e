#include "prereq/framework_requirement.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using namespace framework_keys;
using Registry = CMemoryRegistryReader;
using Lines = std::vector<std::wstring>;

// The settings this program ships with: 2.0 to 4.0 Full at "0", the 4.5 entries missing.
const FrameworkSettings kThisBuild = {L"0", L"0", L"0", L"0", L"0", L"", L""};
const Lines kThisBuildLines = {
    L".NET 2.0 0\n",         L".NET 3.0 0\n",       L".NET 3.5 0\n",   L".NET 4.0 Client 0\n",
    L".NET 4.0 Full 0\n",    L".NET 4.5 Client \n", L".NET 4.5 Full \n",
};
const FrameworkSettings kOnly35AtSp2 = {L"-1", L"-1", L"2", L"-1", L"-1", L"-1", L"-1"};
const Lines kOnly35AtSp2Lines = {
    L".NET 2.0 -1\n",        L".NET 3.0 -1\n",        L".NET 3.5 2\n",       L".NET 4.0 Client -1\n",
    L".NET 4.0 Full -1\n",   L".NET 4.5 Client -1\n", L".NET 4.5 Full -1\n",
};
const FrameworkSettings kAllNegative = {L"-1", L"-2", L"-1", L"-1", L"-1", L"-9", L"-1"};
const Lines kAllNegativeLines = {
    L".NET 2.0 -1\n",        L".NET 3.0 -2\n",        L".NET 3.5 -1\n",      L".NET 4.0 Client -1\n",
    L".NET 4.0 Full -1\n",   L".NET 4.5 Client -9\n", L".NET 4.5 Full -1\n",
};

Lines Concat(Lines first, const Lines& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

void Add45Only(Registry& r) {
  for (const wchar_t* key : {kNet4Client, kNet4Full}) {
    r.SetDword(key, L"Install", 1);
    r.SetDword(key, L"Servicing", 0);
  }
  r.SetString(kNet4Client, L"Version", L"4.5.50709");
}

struct RequirementCase {
  const char* name;
  std::function<void(Registry&)> setup;
  FrameworkSettings settings;
  bool expected;
  Lines lines;
  std::wstring reportedName;
  long family;
  long servicePack;
  std::vector<const wchar_t*> keysNeverRead;
};

TEST(FrameworkRequirement, LogsAndReportsEachCase) {
  const RequirementCase cases[] = {
      {"no framework at all", [](Registry&) {}, kThisBuild, false,
       Concat(kThisBuildLines, {L".NET Version Not OK .NET 2 0\n"}), L".NET 2", 2, 0, {}},
      {"only 4.5: 4.0 Client passes at level 5, nothing after it is asked", Add45Only, kThisBuild, true,
       Concat(kThisBuildLines, {L".NET 4.0 Client Detected SP 5\n", L".NET Version OK\n"}),
       L"Unknown .NET Version", 2, 0, {kNet4Full}},
      {"only 4.0 Full at Servicing 0",
       [](Registry& r) {
         r.SetDword(kNet4Full, L"Install", 1);
         r.SetDword(kNet4Full, L"Servicing", 0);
       },
       kThisBuild, true, Concat(kThisBuildLines, {L".NET 4.0 Full Detected SP 0\n", L".NET Version OK\n"}),
       L"Unknown .NET Version", 2, 0, {}},
      {"2.0 with its SP is enough",
       [](Registry& r) {
         r.SetDword(kNet20, L"Install", 1);
         r.SetDword(kNet20, L"SP", 2);
         Add45Only(r);
       },
       kThisBuild, true, Concat(kThisBuildLines, {L".NET 2.0 Detected SP 2\n", L".NET Version OK\n"}),
       L"Unknown .NET Version", 2, 0, {kNet30Setup, kNet35, kNet4Client, kNet4Full}},
      {"2.0 without SP fails and the rest is asked",
       [](Registry& r) { r.SetDword(kNet20, L"Install", 1); }, kThisBuild, false,
       Concat(kThisBuildLines, {L".NET 2.0 Detected SP -1\n", L".NET Version Not OK .NET 2 0\n"}), L".NET 2", 2, 0,
       {}},
      {"3.5 installed at level 1 when 2 is required",
       [](Registry& r) {
         r.SetDword(kNet20, L"Install", 1);
         r.SetDword(kNet20, L"SP", 2);
         r.SetDword(kNet35, L"Install", 1);
         r.SetString(kNet35, L"Version", L"3.5.30729.01");
         r.SetDword(kNet35, L"SP", 1);
         Add45Only(r);
       },
       kOnly35AtSp2, false,
       Concat(kOnly35AtSp2Lines, {L".NET 3.5 Detected SP 1\n", L".NET Version Not OK .NET 3.5 2\n"}), L".NET 3.5",
       3, 2, {kNet4Client, kNet4Full}},
      {"all settings negative: nothing is probed", Add45Only, kAllNegative, false,
       Concat(kAllNegativeLines, {L".NET Version Not OK Unknown .NET Version 0\n"}), L"Unknown .NET Version", 2, 0,
       {kNet20, kNet4Client, kNet4Full}},
      {"setting 1abc counts as 1",
       [](Registry& r) {
         r.SetDword(kNet20, L"Install", 1);
         r.SetDword(kNet20, L"SP", 1);
       },
       {L"1abc", L"-1", L"-1", L"-1", L"-1", L"-1", L"-1"}, true,
       {L".NET 2.0 1abc\n", L".NET 3.0 -1\n", L".NET 3.5 -1\n", L".NET 4.0 Client -1\n", L".NET 4.0 Full -1\n",
        L".NET 4.5 Client -1\n", L".NET 4.5 Full -1\n", L".NET 2.0 Detected SP 1\n", L".NET Version OK\n"},
       L"Unknown .NET Version", 2, 0, {}},
      {"setting 2abc is not met by SP 1; abc counts as 0 for 3.0",
       [](Registry& r) {
         r.SetDword(kNet20, L"Install", 1);
         r.SetDword(kNet20, L"SP", 1);
       },
       {L"2abc", L"abc", L"-1", L"-1", L"-1", L"-1", L"-1"}, false,
       {L".NET 2.0 2abc\n", L".NET 3.0 abc\n", L".NET 3.5 -1\n", L".NET 4.0 Client -1\n", L".NET 4.0 Full -1\n",
        L".NET 4.5 Client -1\n", L".NET 4.5 Full -1\n", L".NET 2.0 Detected SP 1\n",
        L".NET Version Not OK .NET 2 2\n"},
       L".NET 2", 2, 2, {}},
      {"a % in a setting text is logged as it stands", Add45Only,
       {L"-1", L"-1", L"-1", L"%s%d", L"-1", L"-1", L"-1"}, true,
       {L".NET 2.0 -1\n", L".NET 3.0 -1\n", L".NET 3.5 -1\n", L".NET 4.0 Client %s%d\n", L".NET 4.0 Full -1\n",
        L".NET 4.5 Client -1\n", L".NET 4.5 Full -1\n", L".NET 4.0 Client Detected SP 5\n", L".NET Version OK\n"},
       L"Unknown .NET Version", 2, 0, {kNet20}},
  };
  for (const RequirementCase& c : cases) {
    Registry registry;
    c.setup(registry);
    Lines lines;
    std::wstring name = L"Unknown .NET Version";
    long family = 2, servicePack = 0;
    bool met = EvaluateFrameworkRequirement(registry, c.settings,
                                            [&lines](const wchar_t* text) { lines.emplace_back(text); }, name,
                                            family, servicePack);
    EXPECT_EQ(met, c.expected) << c.name;
    EXPECT_EQ(lines, c.lines) << c.name;
    EXPECT_EQ(name, c.reportedName) << c.name;
    EXPECT_EQ(family, c.family) << c.name;
    EXPECT_EQ(servicePack, c.servicePack) << c.name;
    for (const wchar_t* key : c.keysNeverRead) EXPECT_FALSE(registry.WasKeyQueried(key)) << c.name;
  }
}

TEST(FrameworkRequirement, ChoosesTheFirstAcceptedFlavourToReport) {
  struct Case {
    FrameworkSettings settings;
    std::wstring name;
    long family;
    long servicePack;
  } cases[] = {
      {kThisBuild, L".NET 2", 2, 0},
      {{L"-1", L"1", L"0", L"0", L"0", L"0", L"0"}, L".NET 3.0", 3, 1},
      {kOnly35AtSp2, L".NET 3.5", 3, 2},
      {{L"-1", L"-1", L"-1", L"3", L"-1", L"-1", L"-1"}, L".NET (client) 4.0", 4, 3},
      {{L"-1", L"-1", L"-1", L"-1", L"abc", L"-1", L"-1"}, L".NET (full) 4.0", 4, 0},
      {{L"-1", L"-1", L"-1", L"-1", L"-1", L" 7x", L"1"}, L".NET (client) 4.5", 4, 7},
      {{L"-1", L"-1", L"-1", L"-1", L"-1", L"-1", L""}, L".NET (full) 4.5", 4, 0},
      {kAllNegative, L"untouched", 99, 98},
  };
  for (const Case& c : cases) {
    std::wstring name = L"untouched";
    long family = 99, servicePack = 98;
    ChooseReportedFramework(c.settings, name, family, servicePack);
    EXPECT_EQ(name, c.name);
    EXPECT_EQ(family, c.family) << std::string(c.name.begin(), c.name.end());
    EXPECT_EQ(servicePack, c.servicePack) << std::string(c.name.begin(), c.name.end());
  }
}

TEST(FrameworkRequirement, LoadsTheSevenSettingsFromTheStringTable) {
  // This test program's own string table (framework_requirement_test.rc); entry 144 is missing.
  const FrameworkSettings expected = {L"-2", L"-1", L" 0", L"1abc", L"2", L"3", L""};
  EXPECT_EQ(LoadFrameworkSettings(), expected);
}

}  // namespace
