#include "tools/packer/string_table.h"

#include <algorithm>
#include <map>

#include "tools/packer/pack_error.h"

namespace harnex::packer {

uint16_t StringBlockId(uint16_t id) { return static_cast<uint16_t>(id / 16 + 1); }

bool DecodeStringBlock(const std::vector<uint8_t>& bytes, StringBlock* block) {
  size_t at = 0;
  for (std::u16string& text : *block) {
    text.clear();
    if (at == bytes.size()) continue;
    if (bytes.size() - at < 2) return false;
    const size_t length = GetU16(bytes.data() + at);
    at += 2;
    if ((bytes.size() - at) / 2 < length) return false;
    for (size_t k = 0; k < length; ++k) text.push_back(static_cast<char16_t>(GetU16(bytes.data() + at + 2 * k)));
    at += 2 * length;
  }
  return true;
}

std::vector<uint8_t> EncodeStringBlock(const StringBlock& block) {
  std::vector<uint8_t> bytes;
  for (const std::u16string& text : block) {
    const size_t at = bytes.size();
    bytes.resize(at + 2 + 2 * text.size());
    PutU16(bytes.data() + at, static_cast<uint16_t>(text.size()));
    for (size_t k = 0; k < text.size(); ++k) PutU16(bytes.data() + at + 2 + 2 * k, text[k]);
  }
  return bytes;
}

bool IsEmptyStringBlock(const StringBlock& block) {
  return std::all_of(block.begin(), block.end(), [](const std::u16string& text) { return text.empty(); });
}

ResourceKey NewStringBlockLanguage(const ResourceTree& tree) {
  for (const ResourceType& type : tree.types) {
    if (type.type != ResourceKey::Id(kResourceTypeString)) continue;
    const ResourceName* first = nullptr;
    for (const ResourceName& name : type.names) {
      if (name.languages.empty()) continue;
      if (first == nullptr || ResourceKeyBefore(name.name, first->name)) first = &name;
    }
    if (first == nullptr) continue;
    const ResourceLanguage* language = &first->languages.front();
    for (const ResourceLanguage& candidate : first->languages) {
      if (ResourceKeyBefore(candidate.language, language->language)) language = &candidate;
    }
    return language->language;
  }
  return ResourceKey::Id(0);
}

uint32_t ApplyStringEdits(ResourceTree* tree, const std::vector<StringEdit>& edits, std::string* error) {
  if (edits.empty()) return 0;
  const ResourceKey stringType = ResourceKey::Id(kResourceTypeString);
  const ResourceKey newLanguage = NewStringBlockLanguage(*tree);

  // Edits grouped by block, each group in command order.
  std::map<uint16_t, std::vector<const StringEdit*>> byBlock;
  for (const StringEdit& edit : edits) byBlock[StringBlockId(edit.id)].push_back(&edit);

  for (const auto& [blockId, blockEdits] : byBlock) {
    auto apply = [&blockEdits](StringBlock* block) {
      for (const StringEdit* edit : blockEdits) (*block)[edit->id % 16] = edit->remove ? std::u16string() : edit->text;
    };
    ResourceType* type = FindResourceType(tree, stringType);
    ResourceName* name = type == nullptr ? nullptr : FindResourceName(type, ResourceKey::Id(blockId));
    if (name == nullptr || name->languages.empty()) {
      StringBlock block;
      apply(&block);
      if (!IsEmptyStringBlock(block)) {
        SetResource(tree, stringType, ResourceKey::Id(blockId), newLanguage,
                    DataBlob::FromBytes(EncodeStringBlock(block)));
      }
      continue;
    }
    std::vector<ResourceLanguage> kept;
    for (ResourceLanguage& language : name->languages) {
      std::vector<uint8_t> bytes;
      std::string readError;
      if (!ReadBlob(language.data, &bytes, &readError)) {
        *error = "cannot read string-table block " + std::to_string(blockId) + ": " + readError;
        return kPackBadStub;
      }
      StringBlock block;
      if (!DecodeStringBlock(bytes, &block)) {
        *error = "string-table block " + std::to_string(blockId) + " of the stub is malformed";
        return kPackBadStub;
      }
      apply(&block);
      if (IsEmptyStringBlock(block)) continue;
      language.data = DataBlob::FromBytes(EncodeStringBlock(block));
      kept.push_back(std::move(language));
    }
    name->languages = std::move(kept);
    if (name->languages.empty()) {
      // The edits emptied the block in every language: drop it, and the string type if it was the last.
      type->names.erase(type->names.begin() + (name - type->names.data()));
      if (type->names.empty()) RemoveResourceType(tree, stringType);
    }
  }
  return 0;
}

}  // namespace harnex::packer
