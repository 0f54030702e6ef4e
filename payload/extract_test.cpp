#include "payload/extract.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cmdline/log_for_test.h"
#include "framework/scratch_folder_for_test.h"
#include "payload/work_folder.h"

namespace {

using harnex_test::Exists;
using harnex_test::ListNames;
using harnex_test::ReadBytes;
using harnex_test::ScratchFolder;
using harnex_test::WriteBytes;

constexpr uint32_t kFail = 0x80004005;
constexpr uint32_t kSizeMismatch = 0x80040167;

// The test program's TOOLKIT resources (testdata/payload_test.rc): 102 "alpha", 103 the bytes
// 01 02 00 04, 104 "front!", 105 "cfg", 106 "spare".
std::unique_ptr<CResource> Item(uint32_t id, const std::wstring& name, int32_t size) {
  auto item = std::make_unique<CResource>();
  item->m_nId = id;
  item->m_strType = L"TOOLKIT";
  item->m_hModule = ::GetModuleHandleW(nullptr);
  item->m_strFileName = name;
  item->m_nSize = size;
  return item;
}

class ExtractTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetWorkFolderForTest();
    ResetLogForTest();
    ASSERT_EQ(ProbeFolder(scratch_.Path()), 0u);
    folder_ = GetWorkFolder();
    ASSERT_FALSE(folder_.empty());
  }
  void TearDown() override {
    ResetWorkFolderForTest();
    ResetLogForTest();
  }

  std::wstring InFolder(const std::wstring& name) const { return folder_ + L"\\" + name; }

  ScratchFolder scratch_;
  std::wstring folder_;
};

TEST_F(ExtractTest, WritesTheResourceBytes) {
  EXPECT_EQ(ExtractFile(*Item(102, L"alpha.txt", 5)), 0u);
  EXPECT_EQ(ReadBytes(InFolder(L"alpha.txt")), "alpha");
  EXPECT_EQ(ExtractFile(*Item(103, L"beta.bin", 4)), 0u);
  EXPECT_EQ(ReadBytes(InFolder(L"beta.bin")), std::string("\x01\x02\x00\x04", 4));
}

TEST_F(ExtractTest, ReplacesAnExistingFile) {
  ASSERT_TRUE(WriteBytes(InFolder(L"alpha.txt"), "an older and longer content"));
  EXPECT_EQ(ExtractFile(*Item(102, L"alpha.txt", 5)), 0u);
  EXPECT_EQ(ReadBytes(InFolder(L"alpha.txt")), "alpha");
}

TEST_F(ExtractTest, CreatesTheSubfoldersOfTheName) {
  EXPECT_EQ(ExtractFile(*Item(103, L"sub\\deeper\\beta.bin", 4)), 0u);
  EXPECT_EQ(ReadBytes(InFolder(L"sub\\deeper\\beta.bin")), std::string("\x01\x02\x00\x04", 4));
}

TEST_F(ExtractTest, ASizeThatDiffersFromTheIndexByOneByteIsReported) {
  EXPECT_EQ(ExtractFile(*Item(102, L"short.txt", 4)), kSizeMismatch);
  EXPECT_EQ(ExtractFile(*Item(102, L"long.txt", 6)), kSizeMismatch);
  EXPECT_EQ(ReadBytes(InFolder(L"short.txt")), "alpha");  // the written file stays
}

TEST_F(ExtractTest, AMissingResourceFails) {
  EXPECT_EQ(ExtractFile(*Item(999, L"none.txt", 0)), kFail);
  auto wrongType = Item(102, L"typed.txt", 5);
  wrongType->m_strType = L"OTHER";
  EXPECT_EQ(ExtractFile(*wrongType), kFail);
  EXPECT_TRUE(ListNames(folder_).empty());
}

TEST_F(ExtractTest, ANameOutsideTheWorkFolderWritesNothing) {
  std::wstring driveRootName = L"harnex-escape-" + std::to_wstring(::GetCurrentProcessId()) + L".txt";
  for (const std::wstring& name : {std::wstring(L"..\\escaped.txt"), std::wstring(L"sub\\..\\..\\escaped.txt"),
                                   std::wstring(L"\\escaped.txt"), L"C:\\" + driveRootName, L"C:" + driveRootName,
                                   std::wstring(L"sub/../../escaped.txt")}) {
    EXPECT_EQ(ExtractFile(*Item(102, name, 5)), kFail) << testing::PrintToString(name);
  }
  EXPECT_FALSE(Exists(scratch_ / L"escaped.txt"));
  EXPECT_FALSE(Exists(L"C:\\" + driveRootName));
  EXPECT_FALSE(Exists(L"C:\\escaped.txt"));
  EXPECT_TRUE(ListNames(folder_).empty());
  EXPECT_EQ(ListNames(scratch_.Path()).size(), 1u);  // the work folder only
}

TEST_F(ExtractTest, AnItemPathThatDoesNotFitFails) {
  ResetWorkFolderForTest();
  // A base of 215 characters: the work folder has 254, so a name of 5 characters no longer fits.
  std::wstring base = scratch_.Path() + L"\\" + std::wstring(215 - scratch_.Path().size() - 1, L'b');
  ASSERT_EQ(ProbeFolder(base), 0u);
  std::wstring folder = GetWorkFolder();
  ASSERT_EQ(folder.size(), 254u);
  EXPECT_EQ(ExtractFile(*Item(102, L"a.txt", 5)), kFail);
  EXPECT_EQ(ExtractFile(*Item(102, L"a.tx", 5)), 0u);
  EXPECT_EQ(ListNames(folder), std::vector<std::wstring>{L"a.tx"});
}

TEST_F(ExtractTest, ExtractFilesWalksNamedItemsAndStopsAtTheFirstFailure) {
  Catalogue catalogue;
  catalogue.push_back(Item(105, L"first.cfg", 3));
  catalogue.push_back(Item(101, L"", 0));
  catalogue.push_back(Item(104, L"second.exe", 5));  // the resource holds 6 bytes
  catalogue.push_back(Item(102, L"third.txt", 5));

  EXPECT_EQ(ExtractFiles(catalogue), kSizeMismatch);
  EXPECT_EQ(PendingLogTextForTest(),
            L"Extract File first.cfg 0\n"
            L"Extract File second.exe 80040167\n");
  EXPECT_EQ(ReadBytes(InFolder(L"first.cfg")), "cfg");
  EXPECT_EQ(ReadBytes(InFolder(L"second.exe")), "front!");
  EXPECT_FALSE(Exists(InFolder(L"third.txt")));
}

TEST_F(ExtractTest, ExtractFilesLogsAnEscapingNameWithItsCode) {
  Catalogue catalogue;
  catalogue.push_back(Item(102, L"..\\out.txt", 5));
  catalogue.push_back(Item(105, L"never.cfg", 3));
  EXPECT_EQ(ExtractFiles(catalogue), kFail);
  EXPECT_EQ(PendingLogTextForTest(), L"Extract File ..\\out.txt 80004005\n");
  EXPECT_FALSE(Exists(scratch_ / L"out.txt"));
}

TEST_F(ExtractTest, ExtractPayloadCataloguesNamesAndWritesTheItems) {
  Catalogue catalogue;
  std::wstring frontEndPath = L"old";
  ASSERT_EQ(ExtractPayload(::GetModuleHandleW(nullptr), catalogue, frontEndPath), 0u);

  EXPECT_EQ(frontEndPath, InFolder(L"Front.UI.exe"));
  EXPECT_EQ(ReadBytes(InFolder(L"alpha.txt")), "alpha");
  EXPECT_EQ(ReadBytes(InFolder(L"sub\\beta.bin")), std::string("\x01\x02\x00\x04", 4));
  EXPECT_EQ(ReadBytes(InFolder(L"Front.UI.exe")), "front!");
  EXPECT_EQ(ReadBytes(InFolder(L"Front.UI.exe.config")), "cfg");
  EXPECT_EQ(ListNames(folder_).size(), 4u);  // alpha.txt, sub, and the front end's two files
  EXPECT_EQ(catalogue.size(), 6u);
  EXPECT_EQ(PendingLogTextForTest(),
            L"Enumerate Resources TOOLKIT 65\n"
            L"Enumerate Resources TOOLKIT 66\n"
            L"Enumerate Resources TOOLKIT 67\n"
            L"Enumerate Resources TOOLKIT 68\n"
            L"Enumerate Resources TOOLKIT 69\n"
            L"Enumerate Resources TOOLKIT 6a\n"
            L"Enumerate Resources OK \n"
            L"Work Out FileName Front.UI.exe.config, Bytes 3\n"
            L"Work Out FileName Front.UI.exe, Bytes 6\n"
            L"Work Out FileName sub\\beta.bin, Bytes 4\n"
            L"Work Out FileName alpha.txt, Bytes 5\n"
            L"WorkOutFileNames 0\n"
            L"Extract File Front.UI.exe.config 0\n"
            L"Extract File Front.UI.exe 0\n"
            L"Extract File sub\\beta.bin 0\n"
            L"Extract File alpha.txt 0\n");
}

TEST_F(ExtractTest, ExtractPayloadStopsWhenNothingCanBeCatalogued) {
  Catalogue catalogue;
  std::wstring frontEndPath = L"old";
  EXPECT_EQ(ExtractPayload(::GetModuleHandleW(L"kernel32.dll"), catalogue, frontEndPath), kFail);
  EXPECT_EQ(frontEndPath, L"");
  EXPECT_EQ(PendingLogTextForTest(), L"");
}

class WriteInPiecesTest : public ::testing::Test {
 protected:
  static std::string Pattern(size_t length) {
    std::string bytes(length, '\0');
    for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return bytes;
  }

  harnex::UniqueFile Create(const std::wstring& path, DWORD access) {
    return harnex::UniqueFile(
        ::CreateFileW(path.c_str(), access, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  }

  ScratchFolder scratch_;
};

TEST_F(WriteInPiecesTest, PiecesAddUpToTheWholeInOrder) {
  struct Case {
    size_t length;
    DWORD maxPiece;
  };
  const Case cases[] = {{0, 3}, {1, 3}, {3, 3}, {10, 3}, {12, 4}, {kMaxWritePiece + 3, kMaxWritePiece}};
  for (const Case& c : cases) {
    std::wstring path = scratch_ / L"pieces.bin";
    std::string bytes = Pattern(c.length);
    {
      harnex::UniqueFile file = Create(path, GENERIC_WRITE);
      ASSERT_TRUE(file);
      EXPECT_EQ(WriteInPieces(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), c.maxPiece), c.length);
    }
    EXPECT_TRUE(ReadBytes(path) == bytes) << c.length << " in pieces of " << c.maxPiece;
  }
}

TEST(WritePieceFor, ItemsUpTo8MBInOneWriteLargerOnesInPiecesOfAtMost8MB) {
  struct Case {
    DWORD length;
    bool oneWrite;
  } cases[] = {{0, true}, {1, true}, {kMaxWritePiece - 1, true}, {kMaxWritePiece, true},
               {kMaxWritePiece + 1, false}, {256u << 20, false}, {0xFFFFFFFFu, false}};
  for (const Case& c : cases) {
    DWORD piece = WritePieceFor(c.length);
    EXPECT_EQ(piece >= c.length, c.oneWrite) << c.length;
    EXPECT_GT(piece, 0u) << c.length;
    EXPECT_LE(piece, kMaxWritePiece) << c.length;
  }
}

TEST_F(WriteInPiecesTest, AFailedWriteStopsAndCountsNothingMore) {
  std::wstring path = scratch_ / L"read-only-handle.bin";
  harnex::UniqueFile file = Create(path, GENERIC_READ);
  ASSERT_TRUE(file);
  std::string bytes = Pattern(10);
  EXPECT_EQ(WriteInPieces(file.get(), bytes.data(), 10, 3), 0u);
}

}  // namespace
