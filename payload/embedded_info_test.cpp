#include "payload/embedded_info.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cmdline/log_for_test.h"
#include "framework/scratch_folder_for_test.h"
#include "payload/work_folder.h"

namespace {

using harnex_test::Exists;
using harnex_test::ReadBytes;
using harnex_test::ScratchFolder;
using harnex_test::WriteBytes;

void PutMarker(std::vector<uint8_t>& bytes, size_t at) { std::memcpy(bytes.data() + at, "MRDC", 4); }

TEST(EmbeddedScan, FindsTheMarkerNearestTheEnd) {
  struct Case {
    std::vector<size_t> markers;
    size_t start;
    size_t length;  // 0: no information
  };
  const Case cases[] = {
      {{}, 0, 0},
      {{0}, 0, 0},           // index 0 is never examined
      {{1}, 5, 4106},
      {{1000}, 1004, 3107},
      {{4106}, 4110, 1},
      {{4107}, 0, 0},        // the information would be empty
      {{4111}, 0, 0},
      {{4112}, 0, 0},        // beyond the last index examined
      {{100, 2000}, 2004, 2107},
      {{100, 4108}, 0, 0},   // the match nearest the end is the only one used
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> window(kEmbeddedWindowSize, 'x');
    for (size_t at : c.markers) PutMarker(window, at);
    EmbeddedSpan span = FindEmbeddedInformation(window.data());
    EXPECT_EQ(span.length, c.length) << testing::PrintToString(c.markers);
    if (c.length != 0) {
      EXPECT_EQ(span.start, c.start) << testing::PrintToString(c.markers);
    }
  }
}

TEST(EmbeddedScan, OverlappingMarkerBytesAreMatchedOnlyWhole) {
  std::vector<uint8_t> window(kEmbeddedWindowSize, 0);
  std::memcpy(window.data() + 4100, "MRDMRDC", 7);  // "MRDC" starts at 4103
  EmbeddedSpan span = FindEmbeddedInformation(window.data());
  EXPECT_EQ(span.start, 4107u);
  EXPECT_EQ(span.length, 4u);
}

class EmbeddedInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetWorkFolderForTest();
    ResetLogForTest();
    ASSERT_EQ(ProbeFolder(scratch_ / L"base"), 0u);
    infoPath_ = GetWorkFolder() + L"\\info.xml";
    ResetLogForTest();
  }
  void TearDown() override {
    ResetWorkFolderForTest();
    ResetLogForTest();
  }

  // A program file of `size` bytes filled with a pattern, the marker at window index `marker`
  // (window index 0 is file offset size - 4117), followed by `text`.
  std::wstring MakeProgram(size_t size, long marker, const std::string& text = "") {
    bytes_.assign(size, 0);
    for (size_t i = 0; i < size; ++i) bytes_[i] = static_cast<uint8_t>('a' + i % 26);
    if (marker >= 0) {
      size_t at = size - 4117 + static_cast<size_t>(marker);
      PutMarker(bytes_, at);
      std::memcpy(bytes_.data() + at + 4, text.data(), text.size());
    }
    std::wstring path = scratch_ / L"program.exe";
    EXPECT_TRUE(WriteBytes(path, std::string(bytes_.begin(), bytes_.end())));
    return path;
  }

  // The program's bytes from file offset `from` up to `to` (exclusive).
  std::string ProgramBytes(size_t from, size_t to) const {
    return std::string(bytes_.begin() + from, bytes_.begin() + to);
  }

  ScratchFolder scratch_;
  std::wstring infoPath_;
  std::vector<uint8_t> bytes_;
};

TEST_F(EmbeddedInfoTest, WritesTheInformationOfAFileOf4117Bytes) {
  // Zero bytes inside the information: the file gets all of it, the log shows the text before them.
  std::string text("<i>ok</i>\0after", 15);
  std::wstring program = MakeProgram(4117, 1000, text);

  EXPECT_EQ(WriteEmbeddedInformationFrom(program), 0u);
  std::string written = ReadBytes(infoPath_);
  EXPECT_EQ(written.size(), 3107u);
  EXPECT_TRUE(written == ProgramBytes(1004, 4111));
  EXPECT_EQ(written.substr(0, 15), text);
  EXPECT_EQ(PendingLogTextForTest(),
            L"Scanning for Signature\r\n"
            L"Found embedded information '<i>ok</i>'\r\n"
            L"Written out embedded information 3107 byts to file " + infoPath_ + L"\r\n");
}

TEST_F(EmbeddedInfoTest, TheLastSixBytesOfALargerFileNeverBelongToTheInformation) {
  const size_t size = 10000;
  std::wstring program = MakeProgram(size, 4000, "<info/>");
  EXPECT_EQ(WriteEmbeddedInformationFrom(program), 0u);
  EXPECT_TRUE(ReadBytes(infoPath_) == ProgramBytes(size - 4117 + 4004, size - 6));
  EXPECT_EQ(ReadBytes(infoPath_).size(), 107u);
}

TEST_F(EmbeddedInfoTest, ReplacesAnExistingInfoFile) {
  ASSERT_TRUE(WriteBytes(infoPath_, std::string(5000, 'o')));
  std::wstring program = MakeProgram(4117, 4106, "z");
  EXPECT_EQ(WriteEmbeddedInformationFrom(program), 0u);
  EXPECT_EQ(ReadBytes(infoPath_), "z");
}

TEST_F(EmbeddedInfoTest, OnlyTheScanLineWhenThereIsNothingToWrite) {
  struct Case {
    size_t size;
    long marker;  // -1: none
  };
  const Case cases[] = {
      {4116, 1},     // a file of 4116 bytes is not scanned
      {4117, -1},    // no marker
      {4117, 4107},  // a marker within the last ten bytes leaves no information
      {4117, 4111},
      {100, -1},
  };
  for (const Case& c : cases) {
    ResetLogForTest();
    std::wstring program = c.size >= 4117 ? MakeProgram(c.size, c.marker) : scratch_ / L"small.exe";
    if (c.size < 4117) {
      std::string bytes(c.size, 'x');
      if (c.marker >= 0) std::memcpy(&bytes[static_cast<size_t>(c.marker)], "MRDC", 4);
      ASSERT_TRUE(WriteBytes(program, bytes));
    }
    EXPECT_EQ(WriteEmbeddedInformationFrom(program), 0u);
    EXPECT_EQ(PendingLogTextForTest(), L"Scanning for Signature\r\n") << c.size << " " << c.marker;
    EXPECT_FALSE(Exists(infoPath_)) << c.size << " " << c.marker;
  }
}

TEST_F(EmbeddedInfoTest, AProgramFileThatCannotBeOpenedEndsQuietly) {
  EXPECT_EQ(WriteEmbeddedInformationFrom(scratch_ / L"missing.exe"), 0u);
  EXPECT_EQ(PendingLogTextForTest(), L"Scanning for Signature\r\n");
  EXPECT_FALSE(Exists(infoPath_));
}

TEST_F(EmbeddedInfoTest, AnOutputThatCannotBeCreatedIsLogged) {
  ASSERT_TRUE(::CreateDirectoryW(infoPath_.c_str(), nullptr));
  std::wstring program = MakeProgram(4117, 4100, std::string("abc\0", 4));
  EXPECT_EQ(WriteEmbeddedInformationFrom(program), 0u);
  EXPECT_EQ(PendingLogTextForTest(),
            L"Scanning for Signature\r\n"
            L"Found embedded information 'abc'\r\n"
            L"Failed to create temp file " + infoPath_ + L" 5\r\n");
}

}  // namespace
