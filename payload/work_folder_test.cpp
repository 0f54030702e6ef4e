#include "payload/work_folder.h"

#include <gtest/gtest.h>

#include <string>

#include "cmdline/log_for_test.h"
#include "framework/scratch_folder_for_test.h"

namespace {

using harnex_test::Exists;
using harnex_test::IsFolder;
using harnex_test::ListNames;
using harnex_test::ScratchFolder;

constexpr uint32_t kFail = 0x80004005;

// True for the 38-character registry form of a GUID.
bool IsGuidText(const std::wstring& text) {
  if (text.size() != 38 || text.front() != L'{' || text.back() != L'}') return false;
  for (size_t i = 1; i < 37; ++i) {
    bool dash = i == 9 || i == 14 || i == 19 || i == 24;
    if (dash != (text[i] == L'-')) return false;
    if (!dash && !iswxdigit(text[i])) return false;
    if (!dash && iswlower(text[i])) return false;
  }
  return true;
}

std::wstring LastComponent(const std::wstring& path) { return path.substr(path.find_last_of(L'\\') + 1); }

TEST(JoinPathTest, JoinsLikeThePathAppendCall) {
  struct Case {
    const wchar_t* base;
    const wchar_t* more;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"C:\\a", L"b", L"C:\\a\\b"},
      {L"C:\\a\\", L"b", L"C:\\a\\b"},
      {L"C:", L"{x}", L"C:\\{x}"},
      {L"C:\\a", L"b\\.\\c", L"C:\\a\\b\\c"},
      {L"C:\\a\\b", L"..\\c", L"C:\\a\\c"},
      {L"C:\\a\\..\\b", L"c", L"C:\\b\\c"},
  };
  for (const Case& c : cases) {
    std::wstring joined;
    EXPECT_TRUE(JoinPath(c.base, c.more, joined)) << testing::PrintToString(std::wstring(c.more));
    EXPECT_EQ(joined, c.expected);
  }
}

TEST(JoinPathTest, FailsInsteadOfTruncating) {
  struct Case {
    size_t baseLength;
    size_t moreLength;
    bool fits;
  };
  const Case cases[] = {
      {257, 1, true},   // 257 + backslash + 1 = 259 characters
      {258, 1, false},
      {200, 58, true},
      {200, 59, false},
      {259, 0, true},   // the base alone fits in 259
      {260, 0, false},
      {300, 1, false},
  };
  for (const Case& c : cases) {
    std::wstring base = L"C:\\" + std::wstring(c.baseLength - 3, L'b');
    std::wstring joined = L"old";
    EXPECT_EQ(JoinPath(base, std::wstring(c.moreLength, L'm'), joined), c.fits) << c.baseLength << "+" << c.moreLength;
    if (c.fits) {
      EXPECT_EQ(joined.size(), c.moreLength == 0 ? c.baseLength : c.baseLength + 1 + c.moreLength);
    } else {
      EXPECT_EQ(joined, L"");
    }
  }
}

TEST(WorkFolderGuid, ZeroSwitchThenCreatedThenFallback) {
  const GUID created = {0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};
  EXPECT_EQ(ChooseWorkFolderGuid(true, S_OK, created), GUID_NULL);
  EXPECT_EQ(ChooseWorkFolderGuid(true, E_FAIL, created), GUID_NULL);
  EXPECT_EQ(ChooseWorkFolderGuid(false, S_OK, created), created);
  EXPECT_EQ(ChooseWorkFolderGuid(false, E_FAIL, created), kFallbackWorkFolderGuid);
  EXPECT_EQ(GuidText(kFallbackWorkFolderGuid), L"{66EC6C3A-0B4A-4CAB-A24A-53B2D4176CD1}");
  EXPECT_EQ(GuidText(GUID_NULL), L"{00000000-0000-0000-0000-000000000000}");
  EXPECT_EQ(GuidText(created), L"{12345678-9ABC-DEF0-0102-030405060708}");
}

class WorkFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetWorkFolderForTest();
    ResetLogForTest();
  }
  void TearDown() override {
    ResetWorkFolderForTest();
    ResetLogForTest();
  }

  // A path inside the scratch folder of exactly `length` characters.
  std::wstring PathOfLength(size_t length) const {
    std::wstring prefix = scratch_.Path() + L"\\";
    return prefix + std::wstring(length - prefix.size(), L'b');
  }

  ScratchFolder scratch_;
};

TEST_F(WorkFolderTest, ProbeLeavesNothingInAWritableFolder) {
  EXPECT_EQ(ProbeFolder(scratch_.Path()), 0u);
  EXPECT_TRUE(ListNames(scratch_.Path()).empty());
}

TEST_F(WorkFolderTest, ProbeCreatesAMissingBaseWhoseParentExists) {
  std::wstring base = scratch_ / L"base";
  EXPECT_EQ(ProbeFolder(base), 0u);
  EXPECT_TRUE(IsFolder(base));
  EXPECT_TRUE(ListNames(base).empty());
}

TEST_F(WorkFolderTest, ProbeFailsWhenTheParentIsMissing) {
  std::wstring base = scratch_ / L"missing\\base";
  EXPECT_EQ(ProbeFolder(base), kFail);
  EXPECT_FALSE(Exists(scratch_ / L"missing"));
}

TEST_F(WorkFolderTest, ProbeFailsCleanlyWhenItsPathDoesNotFit) {
  // base, backslash and 38 characters of GUID text: a base of 220 characters is the longest that fits.
  EXPECT_EQ(ProbeFolder(PathOfLength(220)), 0u);
  for (size_t length : {221u, 259u, 260u, 300u}) {
    std::wstring base = PathOfLength(length);
    EXPECT_EQ(ProbeFolder(base), kFail) << length;
    EXPECT_FALSE(Exists(base)) << length;
    EXPECT_FALSE(Exists(base.substr(0, 259))) << length;  // not truncated into another folder
  }
}

TEST_F(WorkFolderTest, WorkFolderIsFormedAndCreatedOnce) {
  ASSERT_EQ(ProbeFolder(scratch_.Path()), 0u);
  std::wstring first = GetWorkFolder();
  std::wstring second = GetWorkFolder();

  EXPECT_EQ(first, second);
  EXPECT_EQ(first.substr(0, scratch_.Path().size() + 1), scratch_.Path() + L"\\");
  EXPECT_TRUE(IsGuidText(LastComponent(first))) << testing::PrintToString(first);
  EXPECT_TRUE(IsFolder(first));
  EXPECT_EQ(ListNames(scratch_.Path()).size(), 1u);

  // A later probe of another base does not move the folder already formed.
  ScratchFolder other;
  ASSERT_EQ(ProbeFolder(other.Path()), 0u);
  EXPECT_EQ(GetWorkFolder(), first);
}

TEST_F(WorkFolderTest, ZeroGuidNamesTheFolderWithZeros) {
  SetWorkFolderZeroGuid(true);
  ASSERT_EQ(ProbeFolder(scratch_.Path()), 0u);
  EXPECT_EQ(GetWorkFolder(), scratch_ / L"{00000000-0000-0000-0000-000000000000}");
  EXPECT_TRUE(IsFolder(scratch_ / L"{00000000-0000-0000-0000-000000000000}"));
}

TEST_F(WorkFolderTest, WorkFolderCreatesMissingParents) {
  std::wstring base = scratch_ / L"one\\two";
  ProbeFolder(base);  // fails: "one" is missing, and the probe makes one level only
  std::wstring folder = GetWorkFolder();
  EXPECT_TRUE(IsFolder(folder)) << testing::PrintToString(folder);
  EXPECT_EQ(folder.substr(0, base.size()), base);
}

TEST_F(WorkFolderTest, AWorkFolderThatDoesNotFitIsEmptyAndNothingIsCreated) {
  ASSERT_EQ(ProbeFolder(PathOfLength(220)), 0u);
  EXPECT_EQ(GetWorkFolder().size(), 259u);

  ResetWorkFolderForTest();
  std::wstring base = PathOfLength(221);
  ::CreateDirectoryW(base.c_str(), nullptr);
  ProbeFolder(base);
  EXPECT_EQ(GetWorkFolder(), L"");
  EXPECT_EQ(GetWorkFolder(), L"");
  EXPECT_TRUE(ListNames(base).empty());
  std::wstring path = L"old";
  EXPECT_FALSE(GetWorkFolderItemPath(L"", path));
  EXPECT_EQ(path, L"");
}

TEST_F(WorkFolderTest, ItemPathsStayInsideTheWorkFolder) {
  SetWorkFolderZeroGuid(true);
  ASSERT_EQ(ProbeFolder(scratch_.Path()), 0u);
  std::wstring folder = GetWorkFolder();
  struct Case {
    const wchar_t* name;
    const wchar_t* expected;  // below the work folder; nullptr: refused
  };
  const Case cases[] = {
      {L"", L""},
      {L"x.txt", L"\\x.txt"},
      {L"sub\\x.bin", L"\\sub\\x.bin"},
      {L"sub\\..\\x", L"\\x"},
      {L".\\x", L"\\x"},
      {L"a b\\c d.txt", L"\\a b\\c d.txt"},
      {L"..\\x", nullptr},
      {L"sub\\..\\..\\x", nullptr},
      {L"..\\{00000000-0000-0000-0000-000000000000}x\\y", nullptr},
      {L"C:\\x", nullptr},
      {L"\\x", nullptr},
      {L"\\\\server\\share\\x", nullptr},
      {L"C:x", nullptr},
      {L"/x", nullptr},
      {L"a/../../x", nullptr},
      {L".", nullptr},
      {L"..", nullptr},
      {L"sub\\..", nullptr},
  };
  for (const Case& c : cases) {
    std::wstring path = L"old";
    bool inside = GetWorkFolderItemPath(c.name, path);
    EXPECT_EQ(inside, c.expected != nullptr) << testing::PrintToString(std::wstring(c.name));
    EXPECT_EQ(path, c.expected == nullptr ? L"" : folder + c.expected) << testing::PrintToString(std::wstring(c.name));
  }
}

TEST_F(WorkFolderTest, AnItemPathThatDoesNotFitIsRefused) {
  // A base of 215 characters gives a work folder of 254, leaving five characters after the backslash.
  ASSERT_EQ(ProbeFolder(PathOfLength(215)), 0u);
  std::wstring folder = GetWorkFolder();
  ASSERT_EQ(folder.size(), 254u);
  std::wstring path;
  EXPECT_TRUE(GetWorkFolderItemPath(L"abcd", path));
  EXPECT_EQ(path, folder + L"\\abcd");
  EXPECT_FALSE(GetWorkFolderItemPath(L"abcde", path));
  EXPECT_EQ(path, L"");

  CResource item;
  item.m_strFileName = L"abcde";
  EXPECT_FALSE(GetItemPath(item, path));
  item.m_strFileName = L"";
  EXPECT_TRUE(GetItemPath(item, path));
  EXPECT_EQ(path, folder);
}

}  // namespace
