#include "tools/packer/payload_index.h"

#include "tools/packer/text_convert.h"

namespace harnex::packer {

std::string BuildIndexText(const std::vector<IndexEntry>& entries) {
  std::string text;
  for (const IndexEntry& entry : entries) {
    text += std::to_string(entry.id) + "*" + entry.name + "*" + std::to_string(entry.size) + "*";
  }
  return text;
}

bool IndexNameFromUtf8(const std::string& utf8, std::string* name, std::string* error) {
  if (utf8.empty()) {
    *error = "an item name is empty";
    return false;
  }
  if (utf8.find('*') != std::string::npos) {
    *error = "item name '" + utf8 + "' contains '*', the index separator";
    return false;
  }
  if (!Utf8ToWindows1252(utf8, name)) {
    *error = "item name '" + utf8 + "' cannot be written in Windows-1252";
    return false;
  }
  return true;
}

}  // namespace harnex::packer
