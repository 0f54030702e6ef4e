#include "tools/packer/resource_tree.h"

#include <gtest/gtest.h>

#include "tools/packer/pack_error.h"

namespace harnex::packer {
namespace {

constexpr uint32_t kSectionRva = 0x5000;

DataBlob Blob(const std::string& text) { return DataBlob::FromBytes(std::vector<uint8_t>(text.begin(), text.end())); }

ResourceKey Id(uint16_t id) { return ResourceKey::Id(id); }
ResourceKey Name(const std::u16string& name) { return ResourceKey::Name(name); }

// The section's bytes as a file would hold them.
std::vector<uint8_t> Materialise(const ResourceSection& section) {
  std::vector<uint8_t> bytes(section.size, 0);
  std::copy(section.head.begin(), section.head.end(), bytes.begin());
  for (const ResourceSection::Placement& placement : section.data) {
    std::vector<uint8_t> data;
    std::string error;
    EXPECT_TRUE(ReadBlob(*placement.blob, &data, &error));
    std::copy(data.begin(), data.end(), bytes.begin() + placement.offset);
  }
  return bytes;
}

uint32_t ParseBytes(const std::vector<uint8_t>& bytes, ResourceTree* tree, std::string* error) {
  MemorySource source(bytes);
  return ParseResourceTree(source, {{kSectionRva, static_cast<uint32_t>(bytes.size()), 0}}, kSectionRva, tree, error);
}

// Exact comparison: keys by their stored spelling, directory fields, code pages and data bytes.
std::string Describe(const ResourceTree& tree) {
  auto key = [](const ResourceKey& k) {
    if (!k.isName) return std::to_string(k.id);
    std::string text = "\"";
    for (char16_t unit : k.name) text += unit < 128 ? std::string(1, static_cast<char>(unit)) : "?";
    return text + "\"";
  };
  auto info = [](const DirectoryInfo& d) {
    return "{" + std::to_string(d.characteristics) + "," + std::to_string(d.timeDateStamp) + "," +
           std::to_string(d.majorVersion) + "," + std::to_string(d.minorVersion) + "}";
  };
  std::string text = info(tree.directory) + "\n";
  for (const ResourceType& type : tree.types) {
    text += key(type.type) + info(type.directory) + "\n";
    for (const ResourceName& name : type.names) {
      text += "  " + key(name.name) + info(name.directory) + "\n";
      for (const ResourceLanguage& language : name.languages) {
        std::vector<uint8_t> data;
        std::string error;
        EXPECT_TRUE(ReadBlob(language.data, &data, &error));
        text += "    " + key(language.language) + " cp" + std::to_string(language.codePage) + " [" +
                std::string(data.begin(), data.end()) + "]\n";
      }
    }
  }
  return text;
}

ResourceTree SampleTree() {
  ResourceTree tree;
  SetResource(&tree, Id(24), Id(1), Id(0), Blob("<assembly/>"));
  SetResource(&tree, Name(u"TOOLKIT"), Id(102), Id(0), Blob("abcdefgh"));
  SetResource(&tree, Name(u"TOOLKIT"), Id(101), Id(0), Blob("102*a*8*"));
  SetResource(&tree, Name(u"TOOLKIT"), Name(u"NAMED"), Id(0), Blob(""));
  SetResource(&tree, Id(6), Id(1), Id(0), Blob("x"), 1252);
  SetResource(&tree, Id(6), Id(1), Id(0x407), Blob("seven b"));
  return tree;
}

TEST(ResourceTree, SerialiseThenParseGivesTheSameTree) {
  struct Case {
    const char* label;
    ResourceTree tree;
  };
  std::vector<Case> cases;
  cases.push_back({"empty", ResourceTree()});
  cases.push_back({"sample", SampleTree()});
  {
    ResourceTree tree;
    tree.directory = {1, 0x12345678, 4, 2};
    SetResource(&tree, Id(3), Id(1), Id(0), Blob("i"));
    tree.types[0].directory = {0, 99, 1, 0};
    tree.types[0].names[0].directory = {0, 0, 0, 7};
    cases.push_back({"directory fields kept", tree});
  }
  {
    // Lengths around the 8-byte alignment of data, and names of odd length.
    ResourceTree tree;
    const char* data[] = {"", "1", "1234567", "12345678", "123456789"};
    for (uint16_t k = 0; k < 5; ++k) SetResource(&tree, Name(u"ODD"), Id(k + 1), Id(0), Blob(data[k]));
    SetResource(&tree, Name(u"A"), Name(u"BC"), Name(u"DEF"), Blob("named language"));
    cases.push_back({"alignment", tree});
  }
  for (Case& c : cases) {
    SortResourceTree(&c.tree);
    ResourceSection section;
    std::string error;
    ASSERT_EQ(SerialiseResourceTree(c.tree, kSectionRva, &section, &error), 0u) << c.label << error;
    const std::vector<uint8_t> bytes = Materialise(section);
    ResourceTree parsed;
    ASSERT_EQ(ParseBytes(bytes, &parsed, &error), 0u) << c.label << error;
    EXPECT_EQ(Describe(parsed), Describe(c.tree)) << c.label;

    // Serialising the parsed tree again gives the same bytes.
    ResourceSection again;
    ASSERT_EQ(SerialiseResourceTree(parsed, kSectionRva, &again, &error), 0u);
    EXPECT_EQ(Materialise(again), bytes) << c.label;

    for (const ResourceSection::Placement& placement : section.data) {
      EXPECT_EQ(placement.offset % 8, 0u) << c.label;
      EXPECT_GE(placement.offset, section.head.size()) << c.label;
      EXPECT_LE(placement.offset + placement.blob->Size(), section.size) << c.label;
    }
    if (!section.data.empty()) {
      EXPECT_EQ(section.size, section.data.back().offset + section.data.back().blob->Size()) << c.label;
    }
  }
}

TEST(ResourceTree, WritesDirectoriesInLookupOrder) {
  ResourceTree tree;
  SetResource(&tree, Id(10), Id(7), Id(0), Blob("a"));
  SetResource(&tree, Id(10), Name(u"b"), Id(0), Blob("b"));
  SetResource(&tree, Id(10), Id(2), Id(0), Blob("c"));
  SetResource(&tree, Id(10), Name(u"A_"), Id(0), Blob("d"));
  SetResource(&tree, Id(10), Name(u"AB"), Id(0x409), Blob("e"));
  SetResource(&tree, Id(10), Name(u"AB"), Id(0), Blob("f"));
  SetResource(&tree, Name(u"ZED"), Id(1), Id(0), Blob("g"));
  ResourceSection section;
  std::string error;
  ASSERT_EQ(SerialiseResourceTree(tree, kSectionRva, &section, &error), 0u);
  ResourceTree parsed;
  ASSERT_EQ(ParseBytes(Materialise(section), &parsed, &error), 0u) << error;
  EXPECT_EQ(Describe(parsed),
            "{0,0,0,0}\n"
            "\"ZED\"{0,0,0,0}\n  1{0,0,0,0}\n    0 cp0 [g]\n"
            "10{0,0,0,0}\n"
            "  \"AB\"{0,0,0,0}\n    0 cp0 [f]\n    1033 cp0 [e]\n"
            "  \"A_\"{0,0,0,0}\n    0 cp0 [d]\n"
            "  \"b\"{0,0,0,0}\n    0 cp0 [b]\n"
            "  2{0,0,0,0}\n    0 cp0 [c]\n"
            "  7{0,0,0,0}\n    0 cp0 [a]\n");
  // The root lists one named and one integer entry.
  EXPECT_EQ(GetU16(section.head.data() + 12), 1);
  EXPECT_EQ(GetU16(section.head.data() + 14), 1);
}

TEST(ResourceTree, KeysCompareWithoutAsciiCase) {
  EXPECT_EQ(Name(u"toolkit"), Name(u"TOOLKIT"));
  EXPECT_NE(Name(u"1"), Id(1));
  EXPECT_TRUE(ResourceKeyBefore(Name(u"Z"), Id(0)));
  EXPECT_TRUE(ResourceKeyBefore(Name(u"abc"), Name(u"ABD")));
  EXPECT_FALSE(ResourceKeyBefore(Name(u"abc"), Name(u"ABC")));
  EXPECT_TRUE(ResourceKeyBefore(Id(2), Id(10)));

  ResourceTree tree;
  SetResource(&tree, Name(u"toolkit"), Id(1), Id(0), Blob("a"));
  SetResource(&tree, Name(u"TOOLKIT"), Id(1), Id(0), Blob("b"));  // replaces
  ASSERT_EQ(tree.types.size(), 1u);
  ASSERT_EQ(tree.types[0].names[0].languages.size(), 1u);
  EXPECT_EQ(tree.types[0].names[0].languages[0].data.bytes, std::vector<uint8_t>{'b'});
  RemoveResourceType(&tree, Name(u"ToolKit"));
  EXPECT_TRUE(tree.types.empty());
}

TEST(ResourceTree, SerialiseRefusesKeysTheLookupCannotTellApart) {
  ResourceTree tree;
  SetResource(&tree, Id(3), Id(1), Id(0), Blob("a"));
  tree.types.push_back(tree.types[0]);
  ResourceSection section;
  std::string error;
  EXPECT_EQ(SerialiseResourceTree(tree, kSectionRva, &section, &error), kPackBadStub);
  EXPECT_NE(error.find("twice"), std::string::npos);
}

TEST(ResourceTree, ParseRefusesMalformedDirectories) {
  ResourceTree tree;
  SetResource(&tree, Id(3), Id(1), Id(0), Blob("data"));
  SetResource(&tree, Id(4), Id(1), Id(0), Blob("more"));
  ResourceSection section;
  std::string error;
  ASSERT_EQ(SerialiseResourceTree(tree, kSectionRva, &section, &error), 0u);
  const std::vector<uint8_t> good = Materialise(section);
  // Two types, each with one name in one language: root [0,32), type tables [32,56) and [56,80),
  // name tables [80,104) and [104,128), data entries [128,144) and [144,160).
  struct Case {
    size_t offset;
    uint32_t value;
    const char* reason;
  } cases[] = {
      {12, 0xFFFF0000, "out of range"},                // 65535 named entries in the root
      {20, 32, "not a directory"},                     // the first type entry loses its directory bit
      {80 + 16 + 4, 0x80000000u | 0, "is a directory"},  // the language entry points to a directory
      {128, 0x7FFF0000, "outside the file"},           // data beyond the section
      {16, 0x80000000u | 0xFFF0, "out of range"},      // a name beyond the section
      {16, 0x00012345, "above 65535"},                 // an integer id that does not fit 16 bits
      {24, 3, "twice"},                                // the second type becomes 3 as well
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bad = good;
    PutU32(bad.data() + c.offset, c.value);
    ResourceTree parsed;
    EXPECT_EQ(ParseBytes(bad, &parsed, &error), kPackBadStub) << c.offset;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.offset << ": " << error;
  }

  MemorySource source(good);
  ResourceTree parsed;
  EXPECT_EQ(ParseResourceTree(source, {{kSectionRva, static_cast<uint32_t>(good.size()), 0}}, 0x9000, &parsed, &error),
            kPackBadStub);
}

}  // namespace
}  // namespace harnex::packer
