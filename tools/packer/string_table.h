// String-table blocks: the RT_STRING resource named id / 16 + 1 holds entries id & ~15 to
// (id & ~15) + 15 as 16 counted UTF-16 strings (a 16-bit length, then the units, no terminator).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/packer/resource_tree.h"

namespace harnex::packer {

using StringBlock = std::array<std::u16string, 16>;

// The block that holds string-table entry `id`.
uint16_t StringBlockId(uint16_t id);

// Reads a block. Data that end at an entry boundary before 16 entries leave the rest empty; bytes
// after the 16th entry are ignored. False when an entry is cut short.
bool DecodeStringBlock(const std::vector<uint8_t>& bytes, StringBlock* block);

// Writes all 16 entries (each text must be at most 65535 units).
std::vector<uint8_t> EncodeStringBlock(const StringBlock& block);

bool IsEmptyStringBlock(const StringBlock& block);

// Sets entry `id` to `text`, or removes it (an empty text is the same as a removed entry).
struct StringEdit {
  uint16_t id = 0;
  bool remove = false;
  std::u16string text;
};

// The language a new block gets: that of the first existing string block in directory order, or
// language neutral (0) when the tree has none.
ResourceKey NewStringBlockLanguage(const ResourceTree& tree);

// Applies the edits in the order given. An edit changes its entry in every language in which the
// block exists; a block that exists in none is made in NewStringBlockLanguage. A block left with
// 16 empty entries is dropped, and so are a name and the string type left empty. Returns 0, or
// kPackBadStub when a block that must change cannot be read or decoded.
uint32_t ApplyStringEdits(ResourceTree* tree, const std::vector<StringEdit>& edits, std::string* error);

}  // namespace harnex::packer
