#include "prereq/framework_detector.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace framework_keys;
using Registry = CMemoryRegistryReader;
using Setup = std::function<void(Registry&)>;

constexpr FrameworkFlavour kAllFlavours[kFrameworkFlavourCount] = {
    FrameworkFlavour::Net20,       FrameworkFlavour::Net30,     FrameworkFlavour::Net35,
    FrameworkFlavour::Net40Client, FrameworkFlavour::Net40Full, FrameworkFlavour::Net45Client,
    FrameworkFlavour::Net45Full,
};

void Add20(Registry& r, DWORD sp) {
  r.SetDword(kNet20, L"Install", 1);
  r.SetDword(kNet20, L"SP", sp);
}
void Add30(Registry& r, const wchar_t* version, DWORD sp) {
  r.SetDword(kNet30Setup, L"InstallSuccess", 1);
  r.SetString(kNet30Setup, L"Version", version);
  r.SetDword(kNet30, L"SP", sp);
}
void Add35(Registry& r, const wchar_t* version, DWORD sp) {
  r.SetDword(kNet35, L"Install", 1);
  r.SetString(kNet35, L"Version", version);
  r.SetDword(kNet35, L"SP", sp);
}
void Add4(Registry& r, const wchar_t* key, DWORD servicing) {
  r.SetDword(key, L"Install", 1);
  r.SetDword(key, L"Servicing", servicing);
}

struct Probe {
  bool installed;
  long level;
};
constexpr Probe kAbsent{false, -1};

struct ProbeCase {
  const char* name;
  Setup setup;
  Probe expected[kFrameworkFlavourCount];  // in flavour order
};

TEST(FrameworkDetector, ProbesEachFlavour) {
  const ProbeCase cases[] = {
      {"empty registry", [](Registry&) {}, {kAbsent, kAbsent, kAbsent, kAbsent, kAbsent, kAbsent, kAbsent}},
      {"only 4.5: the Client key's version raises the Full level to 5",
       [](Registry& r) {
         Add4(r, kNet4Full, 0);
         r.SetString(kNet4Client, L"Version", L"4.5.50709");
       },
       {kAbsent, kAbsent, kAbsent, kAbsent, {true, 5}, kAbsent, {true, 5}}},
      {"4.0 at its first release",
       [](Registry& r) {
         Add4(r, kNet4Client, 0);
         Add4(r, kNet4Full, 0);
         r.SetString(kNet4Client, L"Version", L"4.0.30319");
       },
       {kAbsent, kAbsent, kAbsent, {true, 0}, {true, 0}, kAbsent, kAbsent}},
      {"Full without a Client key: the Full key's own version does not count",
       [](Registry& r) {
         Add4(r, kNet4Full, 3);
         r.SetString(kNet4Full, L"Version", L"4.5.50709");
       },
       {kAbsent, kAbsent, kAbsent, kAbsent, {true, 3}, kAbsent, kAbsent}},
      {"4.6 raises both 4.x levels to 6",
       [](Registry& r) {
         Add4(r, kNet4Client, 0);
         Add4(r, kNet4Full, 0);
         r.SetString(kNet4Client, L"Version", L"4.6.00081");
       },
       {kAbsent, kAbsent, kAbsent, {true, 6}, {true, 6}, {true, 6}, {true, 6}}},
      {"a higher Servicing is kept; a major other than 4 raises nothing",
       [](Registry& r) {
         Add4(r, kNet4Client, 7);
         Add4(r, kNet4Full, 2);
         r.SetString(kNet4Client, L"Version", L"4.5.50709");
       },
       {kAbsent, kAbsent, kAbsent, {true, 7}, {true, 5}, {true, 7}, {true, 5}}},
      {"the 4.5 flavours need level 5 or more, from Servicing too",
       [](Registry& r) {
         Add4(r, kNet4Client, 4);
         Add4(r, kNet4Full, 5);
       },
       {kAbsent, kAbsent, kAbsent, {true, 4}, {true, 5}, kAbsent, {true, 5}}},
      {"major 5 does not raise",
       [](Registry& r) {
         Add4(r, kNet4Full, 1);
         r.SetString(kNet4Client, L"Version", L"5.9");
       },
       {kAbsent, kAbsent, kAbsent, kAbsent, {true, 1}, kAbsent, kAbsent}},
      {"4.x without Servicing and without a 4.x version reads -1",
       [](Registry& r) {
         r.SetDword(kNet4Full, L"Install", 1);
         r.SetDword(kNet4Client, L"Install", 1);
         r.SetString(kNet4Client, L"Version", L"garbage");
       },
       {kAbsent, kAbsent, kAbsent, {true, -1}, {true, -1}, kAbsent, kAbsent}},
      {"4.x without Servicing, version 4.0 gives 0",
       [](Registry& r) {
         r.SetDword(kNet4Full, L"Install", 1);
         r.SetString(kNet4Client, L"Version", L"4.0.30319");
       },
       {kAbsent, kAbsent, kAbsent, kAbsent, {true, 0}, kAbsent, kAbsent}},
      {"2.0 with its SP", [](Registry& r) { Add20(r, 2); },
       {{true, 2}, kAbsent, kAbsent, kAbsent, kAbsent, kAbsent, kAbsent}},
      {"2.0 without SP",
       [](Registry& r) { r.SetDword(kNet20, L"Install", 1); },
       {{true, -1}, kAbsent, kAbsent, kAbsent, kAbsent, kAbsent, kAbsent}},
      {"Install 2 is not installed",
       [](Registry& r) {
         Add20(r, 1);
         r.SetDword(kNet20, L"Install", 2);
         Add4(r, kNet4Full, 0);
         r.SetDword(kNet4Full, L"Install", 2);
       },
       {kAbsent, kAbsent, kAbsent, kAbsent, kAbsent, kAbsent, kAbsent}},
      {"Install as eight bytes is not installed",
       [](Registry& r) {
         Add20(r, 1);
         r.SetBytes(kNet20, L"Install", {1, 0, 0, 0, 0, 0, 0, 0});
       },
       {kAbsent, kAbsent, kAbsent, kAbsent, kAbsent, kAbsent, kAbsent}},
      {"SP stored as a long string reads as -1",
       [](Registry& r) {
         Add20(r, 0);
         r.SetString(kNet20, L"SP", L"Service Pack 2");
       },
       {{true, -1}, kAbsent, kAbsent, kAbsent, kAbsent, kAbsent, kAbsent}},
      {"3.5 at exactly 3.5.21022.8, 3.0 at exactly 3.0.4506.26; SP of 3.0 from the 3.0 key",
       [](Registry& r) {
         Add20(r, 2);
         Add30(r, L"3.0.4506.26", 1);
         r.SetDword(kNet30Setup, L"SP", 9);
         Add35(r, L"3.5.21022.8", 0);
       },
       {{true, 2}, {true, 1}, {true, 0}, kAbsent, kAbsent, kAbsent, kAbsent}},
      {"one revision below each threshold",
       [](Registry& r) {
         Add20(r, 2);
         Add30(r, L"3.0.4506.25", 1);
         Add35(r, L"3.5.21022.7", 0);
       },
       {{true, 2}, kAbsent, kAbsent, kAbsent, kAbsent, kAbsent, kAbsent}},
      {"later releases of 3.0 and 3.5",
       [](Registry& r) {
         Add20(r, 2);
         Add30(r, L"3.0.30729.4926", 2);
         Add35(r, L"3.5.30729.01", 1);
       },
       {{true, 2}, {true, 2}, {true, 1}, kAbsent, kAbsent, kAbsent, kAbsent}},
      {"a 3.5 version with five pieces",
       [](Registry& r) {
         Add20(r, 2);
         Add35(r, L"3.5.30729.4926.1", 1);
       },
       {{true, 2}, kAbsent, {true, 1}, kAbsent, kAbsent, kAbsent, kAbsent}},
      {"3.0 and 3.5 without 2.0",
       [](Registry& r) {
         Add30(r, L"3.0.4506.26", 1);
         Add35(r, L"3.5.30729.01", 1);
         r.SetDword(kNet20, L"SP", 2);
       },
       {kAbsent, kAbsent, kAbsent, kAbsent, kAbsent, kAbsent, kAbsent}},
      {"3.0 without InstallSuccess, 3.5 with Install 2",
       [](Registry& r) {
         Add20(r, 2);
         Add30(r, L"3.0.4506.26", 1);
         r.SetDword(kNet30Setup, L"InstallSuccess", 0);
         Add35(r, L"3.5.30729.01", 1);
         r.SetDword(kNet35, L"Install", 2);
       },
       {{true, 2}, kAbsent, kAbsent, kAbsent, kAbsent, kAbsent, kAbsent}},
      {"3.5 with a version too long for the buffer compares as 0.0.0.0",
       [](Registry& r) {
         Add20(r, 2);
         Add35(r, (L"3.5.30729.01." + std::wstring(130, L'1')).c_str(), 1);
       },
       {{true, 2}, kAbsent, kAbsent, kAbsent, kAbsent, kAbsent, kAbsent}},
  };
  for (const ProbeCase& c : cases) {
    Registry registry;
    c.setup(registry);
    CFrameworkDetector detector(registry, nullptr);
    for (int i = 0; i < kFrameworkFlavourCount; ++i) {
      long level = 12345;
      bool installed = detector.ProbeFramework(kAllFlavours[i], level);
      EXPECT_EQ(installed, c.expected[i].installed) << c.name << ", flavour " << i;
      EXPECT_EQ(level, c.expected[i].level) << c.name << ", flavour " << i;
    }
  }
}

TEST(FrameworkDetector, ProbeStopsAtTheFirstFailedCondition) {
  Registry registry;
  Add30(registry, L"3.0.4506.26", 1);
  Add35(registry, L"3.5.30729.01", 1);
  CFrameworkDetector detector(registry, nullptr);
  long level;
  EXPECT_FALSE(detector.ProbeFramework(FrameworkFlavour::Net30, level));
  EXPECT_FALSE(detector.ProbeFramework(FrameworkFlavour::Net35, level));
  ASSERT_EQ(registry.Queries().size(), 2u);  // only the 2.0 Install flag, once per probe
  EXPECT_EQ(registry.Queries()[0], std::make_pair(std::wstring(kNet20), std::wstring(L"Install")));
  EXPECT_EQ(registry.Queries()[1], registry.Queries()[0]);
}

TEST(FrameworkDetector, ReadsEveryQuestionAfresh) {
  Registry registry;
  Add4(registry, kNet4Full, 0);
  CFrameworkDetector detector(registry, nullptr);
  long level;
  ASSERT_TRUE(detector.ProbeFramework(FrameworkFlavour::Net40Full, level));
  EXPECT_EQ(level, 0);
  registry.SetString(kNet4Client, L"Version", L"4.5.50709");
  ASSERT_TRUE(detector.ProbeFramework(FrameworkFlavour::Net45Full, level));
  EXPECT_EQ(level, 5);
}

TEST(FrameworkDetector, ReadDwordValueNeedsExactlyFourBytes) {
  struct Case {
    const char* name;
    std::vector<BYTE> bytes;
    bool present;
    long expected;
  } cases[] = {
      {"one", {1, 0, 0, 0}, true, 1},
      {"little-endian", {0x78, 0x56, 0x34, 0x12}, true, 0x12345678},
      {"high bit set is negative", {0, 0, 0, 0x80}, true, -2147483647L - 1},
      {"all ones", {0xFF, 0xFF, 0xFF, 0xFF}, true, -1},
      {"type is not examined: text \"1\" with its terminator", {'1', 0, 0, 0}, true, 49},
      {"longer than four bytes", {1, 0, 0, 0, 0}, true, -1},
      {"shorter than four bytes", {1, 0}, true, -1},
      {"empty", {}, true, -1},
      {"missing value", {}, false, -1},
  };
  for (const Case& c : cases) {
    Registry registry;
    registry.AddKey(kNet20);
    if (c.present) registry.SetBytes(kNet20, L"Install", c.bytes);
    CFrameworkDetector detector(registry, nullptr);
    EXPECT_EQ(detector.ReadDwordValue(kNet20, L"Install"), c.expected) << c.name;
    EXPECT_EQ(detector.IsInstallFlagSet(kNet20, L"Install"), c.expected == 1) << c.name;
  }
  Registry empty;
  EXPECT_EQ(CFrameworkDetector(empty, nullptr).ReadDwordValue(kNet20, L"Install"), -1) << "missing key";
}

// The UTF-16 units of `text`, without a terminator unless `text` holds one.
std::vector<BYTE> Raw(const std::wstring& text) {
  const BYTE* data = reinterpret_cast<const BYTE*>(text.data());
  return std::vector<BYTE>(data, data + text.size() * sizeof(wchar_t));
}
// A REG_SZ: the text and its terminator.
std::vector<BYTE> Sz(const std::wstring& text) { return Raw(text + L'\0'); }

std::string Narrow(const wchar_t* text) {
  if (text == nullptr) return "(null)";
  std::string result;
  for (; *text != 0; ++text) result += static_cast<char>(*text);
  return "\"" + result + "\"";
}

TEST(FrameworkDetector, ReadVersionValueSplitsLikeATokenizer) {
  const std::wstring fits = L"1.2.3.4" + std::wstring(122, L'.');  // 129 units + terminator = 260 bytes
  const std::wstring full = L"1.2.3.4" + std::wstring(123, L'.');  // 130 units
  struct Case {
    const char* name;
    std::vector<BYTE> bytes;
    bool present;
    bool ok;
    std::array<long, 4> parts;
  } cases[] = {
      {"four parts", Sz(L"4.5.50709.17929"), true, true, {4, 5, 50709, 17929}},
      {"three parts", Sz(L"4.5.50709"), true, true, {4, 5, 50709, 0}},
      {"fifth part ignored", Sz(L"3.5.30729.4926.1"), true, true, {3, 5, 30729, 4926}},
      {"leading zeros", Sz(L"3.5.30729.01"), true, true, {3, 5, 30729, 1}},
      {"separator runs and empty pieces", Sz(L"..4...5."), true, true, {4, 5, 0, 0}},
      {"signs, blanks and trailing text", Sz(L" -3.+7.x9.12abc"), true, true, {-3, 7, 0, 12}},
      {"empty text", Sz(L""), true, true, {0, 0, 0, 0}},
      {"no bytes at all", {}, true, true, {0, 0, 0, 0}},
      {"stored without terminator", Raw(L"4.6.1"), true, true, {4, 6, 1, 0}},
      {"odd byte count drops the half unit", {'4', 0, '.', 0, '7', 0, '9'}, true, true, {4, 7, 0, 0}},
      {"text ends at the first zero", Raw(std::wstring(L"4.5\0009.9", 7)), true, true, {4, 5, 0, 0}},
      {"129 units and terminator exactly fill the buffer", Sz(fits), true, true, {1, 2, 3, 4}},
      {"130 units and terminator do not fit", Sz(full), true, false, {0, 0, 0, 0}},
      {"130 units without terminator fill the buffer: unreadable", Raw(full), true, false, {0, 0, 0, 0}},
      {"missing value", {}, false, false, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    Registry registry;
    registry.AddKey(kNet35);
    if (c.present) registry.SetBytes(kNet35, L"Version", c.bytes);
    CFrameworkDetector detector(registry, nullptr);
    std::array<long, 4> parts = {9, 9, 9, 9};
    EXPECT_EQ(detector.ReadVersionValue(kNet35, L"Version", parts[0], parts[1], parts[2], parts[3]), c.ok) << c.name;
    EXPECT_EQ(parts, c.parts) << c.name;
  }
}

TEST(FrameworkDetector, IsVersionAtLeastComparesPartsInOrder) {
  struct Case {
    const wchar_t* stored;  // nullptr: value missing
    std::array<long, 4> required;
    bool expected;
  } cases[] = {
      {L"3.5.21022.8", {3, 5, 21022, 8}, true},     {L"3.5.21022.7", {3, 5, 21022, 8}, false},
      {L"3.5.21022.9", {3, 5, 21022, 8}, true},     {L"3.5.21023", {3, 5, 21022, 8}, true},
      {L"3.5.21021.99", {3, 5, 21022, 8}, false},   {L"3.6", {3, 5, 21022, 8}, true},
      {L"3.4.99999.99", {3, 5, 21022, 8}, false},   {L"4", {3, 5, 21022, 8}, true},
      {L"2.9.99999.99", {3, 5, 21022, 8}, false},   {L"-4.0", {0, 0, 0, 0}, false},
      {L"0.0.0.-1", {0, 0, 0, 0}, false},           {nullptr, {0, 0, 0, 0}, true},
      {nullptr, {0, 0, 0, 1}, false},
  };
  for (const Case& c : cases) {
    Registry registry;
    if (c.stored != nullptr) registry.SetString(kNet35, L"Version", c.stored);
    CFrameworkDetector detector(registry, nullptr);
    EXPECT_EQ(detector.IsVersionAtLeast(kNet35, L"Version", c.required[0], c.required[1], c.required[2],
                                        c.required[3]),
              c.expected)
        << (c.stored != nullptr ? "stored" : "missing") << " vs " << c.required[0] << "." << c.required[1] << "."
        << c.required[2] << "." << c.required[3];
  }
}

// 2.0 at SP 1 and only 4.5 (Full key, Client version 4.5.50709).
void AddSampleMachine(Registry& r) {
  Add20(r, 1);
  Add4(r, kNet4Full, 0);
  r.SetString(kNet4Client, L"Version", L"4.5.50709");
}

TEST(FrameworkDetector, MeetsFrameworkSettingLogsInstalledFlavours) {
  struct Case {
    FrameworkFlavour flavour;
    const wchar_t* setting;
    bool expected;
    std::vector<std::wstring> lines;
    bool probed;
  } cases[] = {
      {FrameworkFlavour::Net20, L"0", true, {L".NET 2.0 Detected SP 1\n"}, true},
      {FrameworkFlavour::Net20, L"", true, {L".NET 2.0 Detected SP 1\n"}, true},
      {FrameworkFlavour::Net20, L"1", true, {L".NET 2.0 Detected SP 1\n"}, true},
      {FrameworkFlavour::Net20, L"2", false, {L".NET 2.0 Detected SP 1\n"}, true},
      {FrameworkFlavour::Net20, L"1abc", true, {L".NET 2.0 Detected SP 1\n"}, true},
      {FrameworkFlavour::Net20, L"abc", true, {L".NET 2.0 Detected SP 1\n"}, true},
      {FrameworkFlavour::Net20, L" +1", true, {L".NET 2.0 Detected SP 1\n"}, true},
      {FrameworkFlavour::Net20, L"-1", false, {}, false},
      {FrameworkFlavour::Net20, L"-0", true, {L".NET 2.0 Detected SP 1\n"}, true},
      {FrameworkFlavour::Net20, nullptr, false, {}, false},
      {FrameworkFlavour::Net30, L"0", false, {}, true},
      {FrameworkFlavour::Net35, L"0", false, {}, true},
      {FrameworkFlavour::Net40Client, L"0", false, {}, true},
      {FrameworkFlavour::Net40Full, L"5", true, {L".NET 4.0 Full Detected SP 5\n"}, true},
      {FrameworkFlavour::Net40Full, L"6", false, {L".NET 4.0 Full Detected SP 5\n"}, true},
      {FrameworkFlavour::Net45Client, L"0", false, {}, true},
      {FrameworkFlavour::Net45Full, L"0", true, {L".NET 4.5 Full Detected SP 5\n"}, true},
      {FrameworkFlavour::Net45Full, L"-5", false, {}, false},
  };
  for (const Case& c : cases) {
    Registry registry;
    AddSampleMachine(registry);
    std::vector<std::wstring> lines;
    CFrameworkDetector detector(registry, [&lines](const wchar_t* text) { lines.emplace_back(text); });
    const std::string name = "flavour " + std::to_string(static_cast<int>(c.flavour)) + " setting " + Narrow(c.setting);
    EXPECT_EQ(detector.MeetsFrameworkSetting(c.flavour, c.setting), c.expected) << name;
    EXPECT_EQ(lines, c.lines) << name;
    EXPECT_EQ(!registry.Queries().empty(), c.probed) << name;
  }
}

TEST(FrameworkDetector, MeetsFrameworkSettingLogsAnUnreadableLevel) {
  Registry registry;
  Add20(registry, 0);
  registry.SetString(kNet20, L"SP", L"Service Pack 2");
  std::vector<std::wstring> lines;
  CFrameworkDetector detector(registry, [&lines](const wchar_t* text) { lines.emplace_back(text); });
  EXPECT_FALSE(detector.MeetsFrameworkSetting(FrameworkFlavour::Net20, L"0"));
  EXPECT_EQ(lines, std::vector<std::wstring>{L".NET 2.0 Detected SP -1\n"});
}

}  // namespace
