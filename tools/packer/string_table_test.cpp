#include "tools/packer/string_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <tuple>

#include "tools/packer/pack_error.h"

namespace harnex::packer {
namespace {

TEST(StringTable, BlocksHoldSixteenEntries) {
  struct Case {
    uint16_t id;
    uint16_t block;
  } cases[] = {{0, 1}, {15, 1}, {16, 2}, {201, 13}, {65535, 4096}};
  for (const Case& c : cases) EXPECT_EQ(StringBlockId(c.id), c.block) << c.id;
}

TEST(StringTable, EncodeWritesCountedEntriesAndDecodeReadsThem) {
  StringBlock block;
  EXPECT_EQ(EncodeStringBlock(block), std::vector<uint8_t>(32, 0));  // 16 empty entries

  block[0] = u"ab";
  block[15] = u"\u00e9";
  std::vector<uint8_t> expected = {2, 0, 'a', 0, 'b', 0};
  expected.insert(expected.end(), 28, 0);  // entries 1..14 empty
  expected.insert(expected.end(), {1, 0, 0xE9, 0});
  EXPECT_EQ(EncodeStringBlock(block), expected);

  StringBlock decoded;
  ASSERT_TRUE(DecodeStringBlock(expected, &decoded));
  EXPECT_EQ(decoded, block);

  struct Case {
    std::vector<uint8_t> bytes;
    bool ok;
    std::u16string first;
    std::u16string second;
  } cases[] = {
      {{}, true, u"", u""},                              // no data: every entry empty
      {{1, 0, 'x', 0, 1, 0, 'y', 0}, true, u"x", u"y"},  // ends after two entries
      {{1, 0, 'x', 0, 2, 0, 'y', 0}, false, u"", u""},   // second entry cut short
      {{1, 0, 'x', 0, 7}, false, u"", u""},              // half a length field
  };
  for (const Case& c : cases) {
    StringBlock out;
    EXPECT_EQ(DecodeStringBlock(c.bytes, &out), c.ok) << c.bytes.size();
    if (c.ok) {
      EXPECT_EQ(out[0], c.first);
      EXPECT_EQ(out[1], c.second);
      EXPECT_TRUE(std::all_of(out.begin() + 2, out.end(), [](const std::u16string& s) { return s.empty(); }));
    }
  }

  // Bytes after the sixteenth entry are ignored.
  std::vector<uint8_t> padded = expected;
  padded.insert(padded.end(), {9, 9, 9, 9});
  ASSERT_TRUE(DecodeStringBlock(padded, &decoded));
  EXPECT_EQ(decoded, block);
}

// The string type's blocks as (block, language) -> "entry=text" lines.
std::map<std::pair<uint16_t, uint16_t>, std::string> Blocks(ResourceTree& tree) {
  std::map<std::pair<uint16_t, uint16_t>, std::string> blocks;
  ResourceType* type = FindResourceType(&tree, ResourceKey::Id(kResourceTypeString));
  if (type == nullptr) return blocks;
  for (const ResourceName& name : type->names) {
    for (const ResourceLanguage& language : name.languages) {
      std::vector<uint8_t> bytes;
      std::string error, text;
      StringBlock block;
      EXPECT_TRUE(ReadBlob(language.data, &bytes, &error));
      EXPECT_TRUE(DecodeStringBlock(bytes, &block));
      for (size_t k = 0; k < 16; ++k) {
        if (block[k].empty()) continue;
        text += std::to_string((name.name.id - 1) * 16 + k) + "=" + std::string(block[k].begin(), block[k].end()) + ";";
      }
      blocks[{name.name.id, language.language.id}] = text;
    }
  }
  return blocks;
}

void AddBlock(ResourceTree* tree, uint16_t block, uint16_t language, std::vector<std::pair<int, std::u16string>> entries) {
  StringBlock strings;
  for (const auto& [slot, text] : entries) strings[slot] = text;
  SetResource(tree, ResourceKey::Id(kResourceTypeString), ResourceKey::Id(block), ResourceKey::Id(language),
              DataBlob::FromBytes(EncodeStringBlock(strings)));
}

StringEdit Set(uint16_t id, const std::u16string& text) { return {id, false, text}; }
StringEdit Remove(uint16_t id) { return {id, true, u""}; }

TEST(StringTable, EditsSetAndRemoveEntries) {
  using Blocks_t = std::map<std::pair<uint16_t, uint16_t>, std::string>;
  struct Case {
    const char* label;
    std::vector<std::tuple<uint16_t, uint16_t, std::vector<std::pair<int, std::u16string>>>> start;
    std::vector<StringEdit> edits;
    Blocks_t expected;
  };
  const std::vector<Case> cases = {
      {"a new block is made language neutral", {}, {Set(201, u"Mini")}, {{{13, 0}, "201=Mini;"}}},
      {"a new block takes the stub's string language",
       {{1, 0x409, {{1, u"P"}}}}, {Set(201, u"Mini")},
       {{{1, 0x409}, "1=P;"}, {{13, 0x409}, "201=Mini;"}}},
      {"an entry changes in every language and its neighbours stay",
       {{1, 0, {{0, u"x86"}, {1, u"P"}}}, {1, 0x407, {{1, u"P de"}}}}, {Set(1, u"Q")},
       {{{1, 0}, "0=x86;1=Q;"}, {{1, 0x407}, "1=Q;"}}},
      {"removing one of two entries keeps the block",
       {{1, 0, {{0, u"x86"}, {1, u"P"}}}}, {Remove(0)}, {{{1, 0}, "1=P;"}}},
      {"removing the last entry drops the block",
       {{1, 0, {{1, u"P"}}}, {13, 0, {{9, u"Mini"}}}}, {Remove(201)}, {{{1, 0}, "1=P;"}}},
      {"removing the last entries drops the string type", {{13, 0, {{9, u"Mini"}}}}, {Remove(201)}, {}},
      {"removing from an absent block makes nothing", {}, {Remove(300)}, {}},
      {"an empty text is a removal", {{13, 0, {{9, u"Mini"}}}}, {Set(201, u"")}, {}},
      {"the later edit of an entry wins",
       {}, {Set(5, u"a"), Remove(5), Set(6, u"b"), Remove(7), Set(7, u"c")}, {{{1, 0}, "6=b;7=c;"}}},
      {"ids at the ends of the range", {}, {Set(0, u"zero"), Set(65535, u"last")},
       {{{1, 0}, "0=zero;"}, {{4096, 0}, "65535=last;"}}},
  };
  for (const Case& c : cases) {
    ResourceTree tree;
    for (const auto& [block, language, entries] : c.start) AddBlock(&tree, block, language, entries);
    std::string error;
    ASSERT_EQ(ApplyStringEdits(&tree, c.edits, &error), 0u) << c.label << error;
    EXPECT_EQ(Blocks(tree), c.expected) << c.label;
    if (c.expected.empty()) {
      EXPECT_EQ(FindResourceType(&tree, ResourceKey::Id(kResourceTypeString)), nullptr) << c.label;
    }
  }
}

TEST(StringTable, EditsLeaveOtherTypesAndUntouchedBlocksAlone) {
  ResourceTree tree;
  SetResource(&tree, ResourceKey::Id(kResourceTypeManifest), ResourceKey::Id(1), ResourceKey::Id(0),
              DataBlob::FromBytes({'m'}));
  // A block that would not decode stays as it is while no edit touches it.
  SetResource(&tree, ResourceKey::Id(kResourceTypeString), ResourceKey::Id(2), ResourceKey::Id(0),
              DataBlob::FromBytes({5, 0}));
  std::string error;
  ASSERT_EQ(ApplyStringEdits(&tree, {Set(1, u"P")}, &error), 0u) << error;
  ResourceType* strings = FindResourceType(&tree, ResourceKey::Id(kResourceTypeString));
  ASSERT_NE(strings, nullptr);
  EXPECT_EQ(FindResourceName(strings, ResourceKey::Id(2))->languages[0].data.bytes, (std::vector<uint8_t>{5, 0}));
  EXPECT_NE(FindResourceType(&tree, ResourceKey::Id(kResourceTypeManifest)), nullptr);

  // Editing it fails cleanly.
  EXPECT_EQ(ApplyStringEdits(&tree, {Set(17, u"x")}, &error), kPackBadStub);
  EXPECT_NE(error.find("block 2"), std::string::npos) << error;
}

}  // namespace
}  // namespace harnex::packer
