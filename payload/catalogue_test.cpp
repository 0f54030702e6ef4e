#include "payload/catalogue.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "cmdline/log_for_test.h"

namespace {

using Index = std::map<uint32_t, CResourceFile>;

struct Triple {
  uint32_t id;
  int32_t size;
  std::wstring name;
};

std::vector<Triple> Triples(const Index& index) {
  std::vector<Triple> triples;
  for (const auto& [id, entry] : index) {
    EXPECT_EQ(id, entry.m_nId);
    triples.push_back({entry.m_nId, entry.m_nSize, entry.m_strFileName});
  }
  return triples;
}

bool operator==(const Triple& a, const Triple& b) { return a.id == b.id && a.size == b.size && a.name == b.name; }

std::ostream& operator<<(std::ostream& out, const Triple& t) {
  return out << "{" << t.id << ", " << t.size << ", " << testing::PrintToString(t.name) << "}";
}

TEST(IndexParse, TokensFormTriples) {
  struct Case {
    const wchar_t* text;
    std::vector<Triple> expected;
  };
  const Case cases[] = {
      {L"", {}},
      {L"***", {}},
      {L"102*install.bin*4998658*103*empty.msi*9728*", {{102, 4998658, L"install.bin"}, {103, 9728, L"empty.msi"}}},
      // Runs of separators count as one; separators at the start and end change nothing.
      {L"**102***a.txt**5***103*b*6**", {{102, 5, L"a.txt"}, {103, 6, L"b"}}},
      // The later triple with the same id wins.
      {L"1*a*1*2*b*2*1*c*3", {{1, 3, L"c"}, {2, 2, L"b"}}},
      // An id that begins with a letter reads as 0; digits then letters read as the digits.
      {L"x1*a*3", {{0, 3, L"a"}}},
      {L"7*a*12ab", {{7, 12, L"a"}}},
      {L"7*a*ab12", {{7, 0, L"a"}}},
      // The text ends after a name: size 0. It ends after an id: nothing for that id.
      {L"7*a", {{7, 0, L"a"}}},
      {L"7*a*3*8", {{7, 3, L"a"}}},
      {L"7*a*3*8*", {{7, 3, L"a"}}},
      // Signed decimal with leading white space and a sign; out-of-range values clamp.
      {L" 9*n*+4", {{9, 4, L"n"}}},
      {L"-12*n*-7", {{0xFFFFFFF4u, -7, L"n"}}},
      {L"7*a*99999999999", {{7, 2147483647, L"a"}}},
      {L"7*a*-99999999999", {{7, -2147483647 - 1, L"a"}}},
      {L"99999999999*a*1", {{0x7FFFFFFFu, 1, L"a"}}},
      // Names are taken verbatim: spaces, dots, backslashes.
      {L"5* my file .txt*1*6*sub\\dir\\x.bin*2*8*..\\up*3",
       {{5, 1, L" my file .txt"}, {6, 2, L"sub\\dir\\x.bin"}, {8, 3, L"..\\up"}}},
  };
  for (const Case& c : cases) {
    Index index;
    EXPECT_EQ(ParseIndex(c.text, index), 0u);
    EXPECT_EQ(Triples(index), c.expected) << "text: " << testing::PrintToString(std::wstring(c.text));
  }
}

TEST(IndexParse, AddsToWhatTheMapHolds) {
  Index index;
  index[3] = {3, 30, L"kept"};
  ParseIndex(L"4*new*40", index);
  EXPECT_EQ(Triples(index), (std::vector<Triple>{{3, 30, L"kept"}, {4, 40, L"new"}}));
}

TEST(IsExeTest, FirstDotExeAfterTheFirstCharacter) {
  struct Case {
    const wchar_t* name;
    bool expected;
  };
  const Case cases[] = {
      {L"Front.UI.exe", true},
      {L"Front.UI.exe.config", true},  // the end of the name is not looked at
      {L"a.exe", true},
      {L"x.exe.exe", true},
      {L".exe", false},                // the first ".exe" sits at position 0
      {L".exe.exe", false},            // only the first occurrence counts
      {L"Front.UI.EXE", false},        // case-sensitive
      {L"Front.UI.ex", false},
      {L"frontexe", false},
      {L"", false},
      {L"sub\\tool.exe", true},
  };
  for (const Case& c : cases) {
    CResource item;
    item.m_strFileName = c.name;
    EXPECT_EQ(IsExe(item), c.expected) << testing::PrintToString(std::wstring(c.name));
  }
}

// The test program carries TOOLKIT items 101 to 106 and a string-named one (testdata/payload_test.rc).
class CatalogueTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetLogForTest(); }
  void TearDown() override { ResetLogForTest(); }

  static HMODULE TestModule() { return ::GetModuleHandleW(nullptr); }

  static std::vector<uint32_t> Ids(const Catalogue& catalogue) {
    std::vector<uint32_t> ids;
    for (const auto& item : catalogue) ids.push_back(item->m_nId);
    return ids;
  }

  static CResource* Find(const Catalogue& catalogue, uint32_t id) {
    for (const auto& item : catalogue) {
      if (item->m_nId == id) return item.get();
    }
    return nullptr;
  }

  static std::unique_ptr<CResource> Item(uint32_t id, const wchar_t* type = L"TOOLKIT") {
    auto item = std::make_unique<CResource>();
    item->m_nId = id;
    item->m_strType = type;
    item->m_hModule = TestModule();
    return item;
  }
};

TEST_F(CatalogueTest, EnumerateResourcesCataloguesIntegerIdsInDescendingOrder) {
  Catalogue catalogue;
  ASSERT_EQ(EnumerateResources(TestModule(), catalogue), 0u);

  EXPECT_EQ(Ids(catalogue), (std::vector<uint32_t>{106, 105, 104, 103, 102, 101}));
  for (const auto& item : catalogue) {
    EXPECT_EQ(item->m_strType, L"TOOLKIT");
    EXPECT_EQ(item->m_hModule, TestModule());
    EXPECT_EQ(item->m_nSize, 0);
    EXPECT_EQ(item->m_strFileName, L"");
  }
  // The string-named resource is neither logged nor catalogued.
  EXPECT_EQ(PendingLogTextForTest(),
            L"Enumerate Resources TOOLKIT 65\n"
            L"Enumerate Resources TOOLKIT 66\n"
            L"Enumerate Resources TOOLKIT 67\n"
            L"Enumerate Resources TOOLKIT 68\n"
            L"Enumerate Resources TOOLKIT 69\n"
            L"Enumerate Resources TOOLKIT 6a\n"
            L"Enumerate Resources OK \n");
}

TEST_F(CatalogueTest, EnumerateResourcesAddsAtTheHeadOfWhatIsThere) {
  Catalogue catalogue;
  catalogue.push_back(Item(7));
  ASSERT_EQ(EnumerateResources(TestModule(), catalogue), 0u);
  EXPECT_EQ(Ids(catalogue), (std::vector<uint32_t>{106, 105, 104, 103, 102, 101, 7}));
}

TEST_F(CatalogueTest, EnumerateResourcesFailsForAModuleWithoutToolkitResources) {
  Catalogue catalogue;
  EXPECT_EQ(EnumerateResources(::GetModuleHandleW(L"kernel32.dll"), catalogue), 0x80004005u);
  EXPECT_TRUE(catalogue.empty());
  EXPECT_EQ(PendingLogTextForTest(), L"");
}

TEST_F(CatalogueTest, LoadIndexTextReadsTheWholeResource) {
  std::wstring text;
  ASSERT_EQ(LoadIndexText(*Item(101), text), 0u);
  EXPECT_EQ(text, L"**102*alpha.txt*5**103*sub\\beta.bin*4*104*Front.UI.exe*6*105*Front.UI.exe.config*3*");
}

TEST_F(CatalogueTest, LoadIndexTextFailsForAMissingResource) {
  std::wstring text = L"old";
  EXPECT_EQ(LoadIndexText(*Item(999), text), 0x80004005u);
  EXPECT_EQ(text, L"");
  EXPECT_EQ(LoadIndexText(*Item(101, L"OTHER"), text), 0x80004005u);
}

TEST_F(CatalogueTest, WorkOutFileNamesNamesItemsAndPicksTheLowestQualifyingId) {
  Catalogue catalogue;
  ASSERT_EQ(EnumerateResources(TestModule(), catalogue), 0u);
  ResetLogForTest();

  CResource* frontEnd = nullptr;
  ASSERT_EQ(WorkOutFileNames(catalogue, frontEnd), 0u);

  // Both 104 and 105 pass IsExe; the walk runs 106 down to 101, so 104 comes last and wins.
  ASSERT_NE(frontEnd, nullptr);
  EXPECT_EQ(frontEnd->m_nId, 104u);
  EXPECT_EQ(Find(catalogue, 102)->m_strFileName, L"alpha.txt");
  EXPECT_EQ(Find(catalogue, 102)->m_nSize, 5);
  EXPECT_EQ(Find(catalogue, 103)->m_strFileName, L"sub\\beta.bin");
  EXPECT_EQ(Find(catalogue, 103)->m_nSize, 4);
  EXPECT_EQ(Find(catalogue, 101)->m_strFileName, L"");
  EXPECT_EQ(Find(catalogue, 106)->m_strFileName, L"");  // not in the index
  EXPECT_EQ(Find(catalogue, 106)->m_nSize, 0);
  EXPECT_EQ(PendingLogTextForTest(),
            L"Work Out FileName Front.UI.exe.config, Bytes 3\n"
            L"Work Out FileName Front.UI.exe, Bytes 6\n"
            L"Work Out FileName sub\\beta.bin, Bytes 4\n"
            L"Work Out FileName alpha.txt, Bytes 5\n"
            L"WorkOutFileNames 0\n");
}

TEST_F(CatalogueTest, WorkOutFileNamesWithoutAQualifyingNameHasNoFrontEnd) {
  Catalogue catalogue;
  catalogue.push_back(Item(103));
  catalogue.push_back(Item(102));
  catalogue.push_back(Item(101));
  CResource* frontEnd = &*catalogue.front();
  ASSERT_EQ(WorkOutFileNames(catalogue, frontEnd), 0u);
  EXPECT_EQ(frontEnd, nullptr);
  EXPECT_EQ(Find(catalogue, 103)->m_strFileName, L"sub\\beta.bin");
}

TEST_F(CatalogueTest, WorkOutFileNamesWithoutAnIndexItemNamesNothing) {
  Catalogue catalogue;
  catalogue.push_back(Item(104));
  CResource* frontEnd = nullptr;
  EXPECT_EQ(WorkOutFileNames(catalogue, frontEnd), 0u);
  EXPECT_EQ(frontEnd, nullptr);
  EXPECT_EQ(catalogue.front()->m_strFileName, L"");
  EXPECT_EQ(PendingLogTextForTest(), L"WorkOutFileNames 0\n");
}

TEST_F(CatalogueTest, WorkOutFileNamesReportsAnUnreadableIndex) {
  Catalogue catalogue;
  catalogue.push_back(Item(104));
  catalogue.push_back(Item(101, L"OTHER"));
  CResource* frontEnd = nullptr;
  EXPECT_EQ(WorkOutFileNames(catalogue, frontEnd), 0x80004005u);
  EXPECT_EQ(frontEnd, nullptr);
  EXPECT_EQ(catalogue.front()->m_strFileName, L"");
  EXPECT_EQ(PendingLogTextForTest(), L"WorkOutFileNames 80004005\n");
}

}  // namespace
