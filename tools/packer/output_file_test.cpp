#include "tools/packer/output_file.h"

#include <gtest/gtest.h>

#include <random>

#include "tools/packer/pack_error.h"

namespace harnex::packer {
namespace {

namespace fs = std::filesystem;

class OutputFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_folder = fs::temp_directory_path() / ("harnex-output-file-" + std::to_string(std::random_device()()));
    fs::create_directories(m_folder);
  }
  void TearDown() override { fs::remove_all(m_folder); }

  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(m_folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  std::string Read(const fs::path& path) const {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void Write(const fs::path& path, const std::string& text) const {
    std::ofstream(path, std::ios::binary) << text;
  }

  fs::path m_folder;
};

TEST_F(OutputFileTest, CommitPutsTheBytesUnderTheFinalName) {
  Write(m_folder / "source.bin", "0123456789");
  Write(m_folder / "out.exe", "previous");
  std::string error;
  {
    OutputFile out;
    ASSERT_EQ(out.Create(m_folder / "out.exe", &error), 0u) << error;
    const uint8_t head[] = {'H', 'D'};
    ASSERT_EQ(out.Write(head, 2, &error), 0u);
    ASSERT_EQ(out.WriteZeros(3, &error), 0u);
    ASSERT_EQ(out.WriteBlob(DataBlob::FromFile(m_folder / "source.bin", 2, 5), &error), 0u) << error;
    ASSERT_EQ(out.WriteBlob(DataBlob::FromBytes({'!'}), &error), 0u);
    EXPECT_EQ(out.Position(), 11u);
    const uint8_t patch[] = {'x'};
    ASSERT_EQ(out.Patch(1, patch, 1, &error), 0u);
    EXPECT_EQ(Read(m_folder / "out.exe"), "previous");  // untouched until the commit
    ASSERT_EQ(out.Commit(m_folder / "source.bin", &error), 0u) << error;
  }
  EXPECT_EQ(Read(m_folder / "out.exe"), std::string("Hx\0\0\0" "23456!", 11));
  EXPECT_EQ(Names(), (std::vector<std::string>{"out.exe", "source.bin"}));
}

TEST_F(OutputFileTest, FailuresLeaveNoFileBehindAndTheOldOutputAlone) {
  Write(m_folder / "short.bin", "abc");
  Write(m_folder / "out.exe", "previous");
  std::string error;
  {
    OutputFile out;
    ASSERT_EQ(out.Create(m_folder / "out.exe", &error), 0u);
    ASSERT_EQ(out.WriteZeros(5000000, &error), 0u);
    EXPECT_EQ(Names().size(), 3u);  // the temporary file exists meanwhile
    // A file that yields fewer bytes than planned fails the write.
    EXPECT_EQ(out.WriteBlob(DataBlob::FromFile(m_folder / "short.bin", 0, 4), &error), kPackBadInput);
    EXPECT_NE(error.find("short.bin"), std::string::npos);
    EXPECT_EQ(out.WriteBlob(DataBlob::FromFile(m_folder / "missing.bin", 0, 1), &error), kPackBadInput);
  }
  EXPECT_EQ(Names(), (std::vector<std::string>{"out.exe", "short.bin"}));
  EXPECT_EQ(Read(m_folder / "out.exe"), "previous");

  OutputFile out;
  EXPECT_EQ(out.Create(m_folder / "no-such-folder" / "out.exe", &error), kPackWriteFailed);
  EXPECT_NE(error.find("temporary file"), std::string::npos);
}

}  // namespace
}  // namespace harnex::packer
