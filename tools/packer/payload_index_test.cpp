#include "tools/packer/payload_index.h"

#include <gtest/gtest.h>

namespace harnex::packer {
namespace {

TEST(PayloadIndex, ListsTriplesInTheOrderGiven) {
  struct Case {
    std::vector<IndexEntry> entries;
    std::string expected;
  } cases[] = {
      {{}, ""},
      {{{102, "install.bin", 4998658}, {103, "empty.msi", 9728}}, "102*install.bin*4998658*103*empty.msi*9728*"},
      {{{200, "b", 0}, {102, "a", 1}}, "200*b*0*102*a*1*"},
      {{{65535, "sub\\x y.exe.config", 5000000000ull}}, "65535*sub\\x y.exe.config*5000000000*"},
  };
  for (const Case& c : cases) EXPECT_EQ(BuildIndexText(c.entries), c.expected);
}

TEST(PayloadIndex, NamesAreCheckedAndConverted) {
  struct Case {
    const char* utf8;
    bool ok;
    const char* expected;
  } cases[] = {
      {"Front.UI.exe", true, "Front.UI.exe"},
      {"sub\\r\xC3\xA9sum\xC3\xA9.txt", true, "sub\\r\xE9sum\xE9.txt"},
      {" leading space", true, " leading space"},
      {"", false, ""},
      {"a*b", false, ""},
      {"\xE2\x9C\x93.txt", false, ""},
  };
  for (const Case& c : cases) {
    std::string name, error;
    EXPECT_EQ(IndexNameFromUtf8(c.utf8, &name, &error), c.ok) << c.utf8;
    if (c.ok) {
      EXPECT_EQ(name, c.expected);
    } else {
      EXPECT_FALSE(error.empty());
    }
  }
}

}  // namespace
}  // namespace harnex::packer
