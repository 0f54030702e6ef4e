#include "payload/remove.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cmdline/log_for_test.h"
#include "framework/scratch_folder_for_test.h"
#include "payload/work_folder.h"

namespace {

using harnex_test::Exists;
using harnex_test::IsFolder;
using harnex_test::ScratchFolder;
using harnex_test::WriteBytes;

TEST(SweepDecision, EachEntryByItsAttributesAndLength) {
  constexpr DWORD kFolder = FILE_ATTRIBUTE_DIRECTORY;
  constexpr DWORD kLink = FILE_ATTRIBUTE_REPARSE_POINT;
  struct Case {
    DWORD attributes;
    const wchar_t* name;
    size_t room;
    EntryAction expected;
  };
  const Case cases[] = {
      {kFolder, L".", 100, EntryAction::Skip},
      {kFolder, L"..", 100, EntryAction::Skip},
      {kFolder, L"..", 1, EntryAction::Skip},
      {kFolder, L"", 100, EntryAction::Skip},
      {FILE_ATTRIBUTE_ARCHIVE, L"a.txt", 100, EntryAction::DeleteFileEntry},
      {FILE_ATTRIBUTE_READONLY, L"a.txt", 100, EntryAction::DeleteFileEntry},
      {FILE_ATTRIBUTE_NORMAL, L"..x", 100, EntryAction::DeleteFileEntry},
      {kFolder, L"sub", 100, EntryAction::SweepSubfolder},
      {kFolder | FILE_ATTRIBUTE_READONLY, L"sub", 100, EntryAction::SweepSubfolder},
      {kFolder | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, L"...", 100, EntryAction::SweepSubfolder},
      // A junction or directory link (0x410) is removed as itself, never swept.
      {kFolder | kLink, L"link", 100, EntryAction::RemoveFolderLink},
      {kFolder | kLink | FILE_ATTRIBUTE_READONLY, L"link", 100, EntryAction::RemoveFolderLink},
      // A file link (0x420) is deleted as itself.
      {FILE_ATTRIBUTE_ARCHIVE | kLink, L"flink", 100, EntryAction::DeleteFileEntry},
      // The name and its terminator must fit the room left after the entry position.
      {FILE_ATTRIBUTE_ARCHIVE, L"abcd", 5, EntryAction::DeleteFileEntry},
      {FILE_ATTRIBUTE_ARCHIVE, L"abcde", 5, EntryAction::SkipTooLong},
      {kFolder, L"abcde", 5, EntryAction::SkipTooLong},
      {kFolder | kLink, L"abcde", 5, EntryAction::SkipTooLong},
      {FILE_ATTRIBUTE_ARCHIVE, L"a", 0, EntryAction::SkipTooLong},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecideEntryAction(c.attributes, c.name, c.room), c.expected)
        << std::hex << c.attributes << " " << testing::PrintToString(std::wstring(c.name)) << " room " << std::dec
        << c.room;
  }
}

std::vector<std::wstring> Lines(const std::wstring& text) {
  std::vector<std::wstring> lines;
  size_t start = 0;
  for (size_t end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start + 1));
  }
  return lines;
}

bool Contains(const std::vector<std::wstring>& lines, const std::wstring& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Creates a file by its long-path form, so paths beyond 259 characters can be made.
bool MakeLongFile(const std::wstring& path) { return WriteBytes(L"\\\\?\\" + path, "x"); }
bool MakeLongFolder(const std::wstring& path) { return ::CreateDirectoryW((L"\\\\?\\" + path).c_str(), nullptr) != 0; }
bool LongExists(const std::wstring& path) { return Exists(L"\\\\?\\" + path); }

class DeleteFolderTreeTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetLogForTest(); }
  void TearDown() override { ResetLogForTest(); }

  ScratchFolder scratch_;
};

TEST(ReachesThroughLink, AnyLinkedFolderOnTheWayCounts) {
  const std::wstring work = L"C:\\base\\{W}";
  struct Case {
    const wchar_t* path;
    std::vector<std::wstring> links;  // folders that are links
    bool expected;
  } cases[] = {
      {L"C:\\base\\{W}\\a.txt", {}, false},
      {L"C:\\base\\{W}\\sub\\deep\\x.txt", {}, false},
      {L"C:\\base\\{W}\\a.txt", {L"C:\\base\\{W}"}, true},  // the work folder itself
      {L"C:\\base\\{W}\\sub\\x.txt", {L"C:\\base\\{W}\\sub"}, true},
      {L"C:\\base\\{W}\\sub\\deep\\x.txt", {L"C:\\base\\{W}\\sub\\deep"}, true},
      {L"C:\\base\\{W}\\x.txt", {L"C:\\base\\{W}\\x.txt"}, false},  // a file link is deleted as itself
      {L"C:\\base\\{W}\\x.txt", {L"C:\\base"}, false},  // above the work folder: not the run's business
      {L"C:\\base\\{W}", {}, false},
  };
  for (const Case& c : cases) {
    auto attributesOf = [&](const std::wstring& path) -> DWORD {
      for (const std::wstring& link : c.links)
        if (link == path) return FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
      return FILE_ATTRIBUTE_DIRECTORY;
    };
    EXPECT_EQ(ReachesThroughLink(work, c.path, attributesOf), c.expected) << c.path;
  }
}

TEST_F(DeleteFolderTreeTest, SweepsDepthFirstWithChildFoldersRemovedFirst) {
  std::wstring root = scratch_ / L"tree";
  ASSERT_TRUE(::CreateDirectoryW(root.c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryW((root + L"\\sub").c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryW((root + L"\\sub\\inner").c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(root + L"\\sub\\inner\\c.txt", "c"));

  DeleteFolderTree(root);

  EXPECT_FALSE(Exists(root));
  EXPECT_EQ(PendingLogTextForTest(),
            L"Deletion subfolder Folder of '" + root + L"\\sub'\n"
            L"Deletion subfolder Folder of '" + root + L"\\sub\\inner'\n"
            L"Deletion file '" + root + L"\\sub\\inner\\c.txt'\n"
            L"Remove Folder '" + root + L"\\sub\\inner'\n"
            L"Remove Folder '" + root + L"\\sub'\n"
            L"Remove Folder '" + root + L"'\n");
}

TEST_F(DeleteFolderTreeTest, SweepsEveryEntryOfAWiderTree) {
  std::wstring root = scratch_ / L"wide";
  ASSERT_TRUE(::CreateDirectoryW(root.c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryW((root + L"\\one").c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryW((root + L"\\two").c_str(), nullptr));
  for (const wchar_t* name : {L"a.txt", L"b c.bin", L"one\\x.txt", L"one\\y.txt", L"two\\z.txt"}) {
    ASSERT_TRUE(WriteBytes(root + L"\\" + name, "data"));
  }

  DeleteFolderTree(root);

  EXPECT_FALSE(Exists(root));
  std::vector<std::wstring> lines = Lines(PendingLogTextForTest());
  EXPECT_EQ(lines.size(), 10u);  // five files, two subfolders announced, three folders removed
  for (const wchar_t* name : {L"a.txt", L"b c.bin", L"one\\x.txt", L"one\\y.txt", L"two\\z.txt"}) {
    EXPECT_TRUE(Contains(lines, L"Deletion file '" + root + L"\\" + name + L"'\n")) << testing::PrintToString(name);
  }
  auto position = [&](const std::wstring& line) { return std::find(lines.begin(), lines.end(), line) - lines.begin(); };
  for (const wchar_t* sub : {L"one", L"two"}) {
    std::wstring path = root + L"\\" + sub;
    auto announced = position(L"Deletion subfolder Folder of '" + path + L"'\n");
    auto removed = position(L"Remove Folder '" + path + L"'\n");
    EXPECT_LT(announced, removed);
    EXPECT_LT(position(L"Deletion file '" + path + (sub[1] == L'n' ? L"\\x.txt'\n" : L"\\z.txt'\n")), removed);
  }
  EXPECT_EQ(lines.back(), L"Remove Folder '" + root + L"'\n");
}

TEST_F(DeleteFolderTreeTest, APathEndingInABackslashGetsNoSecondOne) {
  std::wstring root = scratch_ / L"slash";
  ASSERT_TRUE(::CreateDirectoryW(root.c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(root + L"\\a.txt", "a"));

  DeleteFolderTree(root + L"\\");

  EXPECT_FALSE(Exists(root));
  EXPECT_EQ(PendingLogTextForTest(),
            L"Deletion file '" + root + L"\\a.txt'\n"
            L"Remove Folder '" + root + L"\\'\n");
}

TEST_F(DeleteFolderTreeTest, AFolderThatCannotBeSearchedIsStillRemovedWhenEmpty) {
  std::wstring missing = scratch_ / L"missing";
  DeleteFolderTree(missing);
  EXPECT_EQ(PendingLogTextForTest(), L"Remove Folder '" + missing + L"'\n");
}

TEST_F(DeleteFolderTreeTest, AnEmptyPathDoesNothing) {
  DeleteFolderTree(L"");
  EXPECT_EQ(PendingLogTextForTest(), L"");
}

TEST_F(DeleteFolderTreeTest, AnEntryWhoseFullPathDoesNotFitIsSkipped) {
  std::wstring root = scratch_ / L"long";
  ASSERT_TRUE(::CreateDirectoryW(root.c_str(), nullptr));
  const size_t room = kSweepBufferSize - (root.size() + 1);
  std::wstring fits = std::wstring(room - 1, L'f');  // full path of 264 characters
  std::wstring tooLong = std::wstring(room, L't');   // one more than the buffer holds
  ASSERT_TRUE(MakeLongFile(root + L"\\" + fits));
  ASSERT_TRUE(MakeLongFile(root + L"\\" + tooLong));
  ASSERT_TRUE(WriteBytes(root + L"\\a.txt", "a"));

  DeleteFolderTree(root);

  std::vector<std::wstring> lines = Lines(PendingLogTextForTest());
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_TRUE(Contains(lines, L"Deletion file '" + root + L"\\" + fits + L"'\n"));
  EXPECT_TRUE(Contains(lines, L"Deletion file '" + root + L"\\a.txt'\n"));
  EXPECT_EQ(lines.back(), L"Remove Folder '" + root + L"'\n");
  EXPECT_TRUE(LongExists(root + L"\\" + tooLong));
  EXPECT_FALSE(Exists(root + L"\\a.txt"));
}

TEST_F(DeleteFolderTreeTest, AFolderWhosePatternDoesNotFitIsNotSearched) {
  // 261 characters: folder, backslash and "*.*" need 265 plus the terminator.
  std::wstring folder = scratch_.Path() + L"\\" + std::wstring(261 - scratch_.Path().size() - 1, L'd');
  ASSERT_EQ(folder.size(), 261u);
  ASSERT_TRUE(MakeLongFolder(folder));
  ASSERT_TRUE(MakeLongFile(folder + L"\\a"));

  DeleteFolderTree(folder);

  EXPECT_EQ(PendingLogTextForTest(), L"Remove Folder '" + folder + L"'\n");
  EXPECT_TRUE(LongExists(folder + L"\\a"));
}

TEST_F(DeleteFolderTreeTest, TheRoomForANameIsWhatTheEntryPositionLeaves) {
  // 260 characters: the pattern fits, and four units remain for a name and its terminator.
  std::wstring folder = scratch_.Path() + L"\\" + std::wstring(260 - scratch_.Path().size() - 1, L'd');
  ASSERT_TRUE(MakeLongFolder(folder));
  ASSERT_TRUE(MakeLongFile(folder + L"\\abc"));
  ASSERT_TRUE(MakeLongFile(folder + L"\\abcd"));

  DeleteFolderTree(folder);

  EXPECT_EQ(PendingLogTextForTest(),
            L"Deletion file '" + folder + L"\\abc'\n"
            L"Remove Folder '" + folder + L"'\n");
  EXPECT_TRUE(LongExists(folder + L"\\abcd"));
}

class RemoveWorkFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetWorkFolderForTest();
    ResetLogForTest();
    DWORD length = ::GetCurrentDirectoryW(MAX_PATH, savedDirectory_);
    ASSERT_TRUE(length > 0 && length < MAX_PATH);
  }
  void TearDown() override {
    ::SetCurrentDirectoryW(savedDirectory_);
    ResetWorkFolderForTest();
    ResetLogForTest();
  }

  static std::unique_ptr<CResource> Item(uint32_t id, const std::wstring& name) {
    auto item = std::make_unique<CResource>();
    item->m_nId = id;
    item->m_strType = L"TOOLKIT";
    item->m_hModule = ::GetModuleHandleW(nullptr);
    item->m_strFileName = name;
    return item;
  }

  ScratchFolder scratch_;
  wchar_t savedDirectory_[MAX_PATH];
};

TEST_F(RemoveWorkFolderTest, DeletesItemsByNameThenSweepsTheFolder) {
  ASSERT_EQ(ProbeFolder(scratch_.Path()), 0u);
  std::wstring folder = GetWorkFolder();
  ASSERT_TRUE(::CreateDirectoryW((folder + L"\\sub").c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(folder + L"\\alpha.txt", "a"));
  ASSERT_TRUE(WriteBytes(folder + L"\\sub\\beta.bin", "b"));
  ASSERT_TRUE(WriteBytes(folder + L"\\sub\\left-by-front-end.log", "c"));
  ASSERT_TRUE(::SetCurrentDirectoryW((folder + L"\\sub").c_str()));
  Catalogue catalogue;
  catalogue.push_back(Item(103, L"sub\\beta.bin"));
  catalogue.push_back(Item(102, L"alpha.txt"));
  catalogue.push_back(Item(101, L""));

  EXPECT_EQ(RemoveWorkFolder(catalogue), 0u);

  EXPECT_FALSE(Exists(folder));
  EXPECT_EQ(PendingLogTextForTest(),
            L"Manual Deletion of '" + folder + L"\\sub\\beta.bin'\n"
            L"Manual Deletion of '" + folder + L"\\alpha.txt'\n"
            L"Manual Deletion of '" + folder + L"'\n"
            L"Deletion Folder of '" + folder + L"'\n"
            L"Deletion subfolder Folder of '" + folder + L"\\sub'\n"
            L"Deletion file '" + folder + L"\\sub\\left-by-front-end.log'\n"
            L"Remove Folder '" + folder + L"\\sub'\n"
            L"Remove Folder '" + folder + L"'\n");
  // The current folder was moved to the root of its drive before anything was removed.
  wchar_t current[MAX_PATH];
  ASSERT_GT(::GetCurrentDirectoryW(MAX_PATH, current), 0u);
  EXPECT_EQ(std::wstring(current), folder.substr(0, 3));
}

TEST_F(RemoveWorkFolderTest, AnItemNamedOutsideTheWorkFolderIsLeftAlone) {
  ASSERT_EQ(ProbeFolder(scratch_.Path()), 0u);
  std::wstring folder = GetWorkFolder();
  ASSERT_TRUE(WriteBytes(scratch_ / L"victim.txt", "keep"));
  Catalogue catalogue;
  catalogue.push_back(Item(102, L"..\\victim.txt"));

  RemoveWorkFolder(catalogue);

  EXPECT_TRUE(Exists(scratch_ / L"victim.txt"));
  EXPECT_FALSE(Exists(folder));
  EXPECT_EQ(PendingLogTextForTest(),
            L"Deletion Folder of '" + folder + L"'\n"
            L"Remove Folder '" + folder + L"'\n");
}

TEST_F(RemoveWorkFolderTest, WithoutAWorkFolderNothingIsSwept) {
  // A base so long that no work folder fits under it.
  std::wstring base = scratch_.Path() + L"\\" + std::wstring(230 - scratch_.Path().size() - 1, L'b');
  ASSERT_TRUE(::CreateDirectoryW(base.c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(base + L"\\kept.txt", "keep"));
  ProbeFolder(base);
  Catalogue catalogue;
  catalogue.push_back(Item(102, L"kept.txt"));
  catalogue.push_back(Item(101, L""));

  EXPECT_EQ(RemoveWorkFolder(catalogue), 0u);

  EXPECT_EQ(PendingLogTextForTest(), L"");
  EXPECT_TRUE(Exists(base + L"\\kept.txt"));
}

}  // namespace
