// The payload index that a bootstrapper carries as TOOLKIT resource 101: 8-bit text of
// "id*name*size*" triples, one per item, in the order the items were given.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace harnex::packer {

struct IndexEntry {
  uint16_t id = 0;
  std::string name;  // Windows-1252 bytes
  uint64_t size = 0;
};

// Concatenates "ID*NAME*SIZE*" for each entry, ids and sizes in decimal.
std::string BuildIndexText(const std::vector<IndexEntry>& entries);

// Turns an item name given in UTF-8 into the index's Windows-1252 bytes. False (with a reason) for
// an empty name, a name holding the separator "*" (it would split the triple), malformed UTF-8, or
// a character that Windows-1252 cannot represent.
bool IndexNameFromUtf8(const std::string& utf8, std::string* name, std::string* error);

}  // namespace harnex::packer
