#include "tools/packer/info_block.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tools/packer/pack_error.h"

namespace harnex::packer {
namespace {

// The bootstrapper's scan, as its own documentation describes it: a 4116-byte window ending just
// before the file's last byte; the marker is looked for at window indexes 4111 down to 1; the
// information runs from after the marker to window index 4111. Returns false when nothing is found.
bool ScanLikeTheBootstrapper(const std::vector<uint8_t>& file, std::vector<uint8_t>* info) {
  if (file.size() <= 4116) return false;
  const uint8_t* window = file.data() + file.size() - 4117;
  for (long index = 4111, steps = 0; index > 0; --index, ++steps) {
    if (std::memcmp(window + index, "MRDC", 4) == 0) {
      const long length = steps - 4;
      if (length <= 0) return false;
      info->assign(window + index + 4, window + index + 4 + length);
      return true;
    }
  }
  return false;
}

std::vector<uint8_t> Pattern(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t k = 0; k < size; ++k) bytes[k] = static_cast<uint8_t>('a' + k % 26);
  return bytes;
}

TEST(InfoBlock, TheBootstrapperFindsExactlyTheInformation) {
  for (const size_t size : {1u, 2u, 100u, 4105u, 4106u}) {
    std::vector<uint8_t> info = Pattern(size);
    info[0] = 0;  // zero bytes are information like any other
    std::vector<uint8_t> block;
    std::string error;
    ASSERT_EQ(BuildInfoBlock(info, &block, &error), 0u) << size;
    EXPECT_EQ(block.size(), size + 10);
    std::vector<uint8_t> file(5000, 'M');  // stands for the image before the block
    file.insert(file.end(), block.begin(), block.end());
    std::vector<uint8_t> found;
    ASSERT_TRUE(ScanLikeTheBootstrapper(file, &found)) << size;
    EXPECT_EQ(found, info) << size;
  }
}

TEST(InfoBlock, EmptyInformationLeavesNothingToFind) {
  std::vector<uint8_t> block;
  std::string error;
  ASSERT_EQ(BuildInfoBlock({}, &block, &error), 0u);
  EXPECT_EQ(block, (std::vector<uint8_t>{'M', 'R', 'D', 'C', 0, 0, 0, 0, 0, 0}));
  std::vector<uint8_t> file(5000, 0);
  file.insert(file.end(), block.begin(), block.end());
  std::vector<uint8_t> found;
  EXPECT_FALSE(ScanLikeTheBootstrapper(file, &found));
}

TEST(InfoBlock, RefusesInformationTheScanWouldMiss) {
  struct Case {
    std::vector<uint8_t> info;
    const char* reason;
  } cases[] = {
      {Pattern(4107), "4107 bytes"},
      {Pattern(100000), "100000 bytes"},
      {{'x', 'M', 'R', 'D', 'C', 'y'}, "MRDC"},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> block;
    std::string error;
    EXPECT_EQ(BuildInfoBlock(c.info, &block, &error), kPackBadCommandLine);
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
  }
  // Proof of the limit: with 4107 bytes the marker would sit at window index 0, which the scan skips.
  std::vector<uint8_t> file(5000, 0);
  const std::vector<uint8_t> marker = {'M', 'R', 'D', 'C'};
  file.insert(file.end(), marker.begin(), marker.end());
  const std::vector<uint8_t> info = Pattern(4107);
  file.insert(file.end(), info.begin(), info.end());
  file.insert(file.end(), 6, 0);
  std::vector<uint8_t> found;
  EXPECT_FALSE(ScanLikeTheBootstrapper(file, &found));
}

}  // namespace
}  // namespace harnex::packer
