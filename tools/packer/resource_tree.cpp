#include "tools/packer/resource_tree.h"

#include <algorithm>
#include <utility>

#include "tools/packer/pack_error.h"
#include "tools/packer/text_convert.h"

namespace harnex::packer {
namespace {

constexpr uint32_t kHighBit = 0x80000000u;
constexpr size_t kDirectorySize = 16;
constexpr size_t kEntrySize = 8;
constexpr size_t kDataEntrySize = 16;
// More entries than any real image carries: a bound on a directory whose tables share subtrees.
constexpr size_t kMaximumEntries = 1000000;

uint64_t AlignUp(uint64_t value, uint64_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

template <typename T>
bool KeyedBefore(const T& a, const T& b, const ResourceKey T::*key) {
  return ResourceKeyBefore(a.*key, b.*key);
}

// Reads directory structures inside the area from the root to the end of its mapped range.
class DirectoryReader {
 public:
  DirectoryReader(ByteSource& source, const std::vector<MappedRange>& ranges, uint32_t rootRva)
      : m_source(source), m_ranges(ranges), m_rootRva(rootRva) {}

  uint32_t Parse(ResourceTree* tree, std::string* error) {
    const MappedRange* range = RangeOf(m_rootRva, kDirectorySize);
    if (range == nullptr) return Fail("the resource directory lies outside the file", error);
    m_areaFileOffset = range->fileOffset + (m_rootRva - range->rva);
    m_areaSize = range->size - (m_rootRva - range->rva);

    std::vector<Entry> types;
    uint32_t code = ReadDirectory(0, &tree->directory, &types, error);
    if (code != 0) return code;
    for (const Entry& typeEntry : types) {
      if (!typeEntry.isDirectory) return Fail("a resource type entry is not a directory", error);
      ResourceType type;
      type.type = typeEntry.key;
      std::vector<Entry> names;
      code = ReadDirectory(typeEntry.offset, &type.directory, &names, error);
      if (code != 0) return code;
      for (const Entry& nameEntry : names) {
        if (!nameEntry.isDirectory) return Fail("a resource name entry is not a directory", error);
        ResourceName name;
        name.name = nameEntry.key;
        std::vector<Entry> languages;
        code = ReadDirectory(nameEntry.offset, &name.directory, &languages, error);
        if (code != 0) return code;
        for (const Entry& languageEntry : languages) {
          if (languageEntry.isDirectory) return Fail("a resource language entry is a directory", error);
          ResourceLanguage language;
          language.language = languageEntry.key;
          code = ReadDataEntry(languageEntry.offset, &language, error);
          if (code != 0) return code;
          name.languages.push_back(std::move(language));
        }
        type.names.push_back(std::move(name));
      }
      tree->types.push_back(std::move(type));
    }
    return 0;
  }

 private:
  struct Entry {
    ResourceKey key;
    bool isDirectory = false;
    uint32_t offset = 0;
  };

  static uint32_t Fail(const std::string& reason, std::string* error) {
    *error = "malformed resource directory: " + reason;
    return kPackBadStub;
  }

  const MappedRange* RangeOf(uint64_t rva, uint64_t count) const {
    for (const MappedRange& range : m_ranges) {
      if (rva >= range.rva && rva - range.rva <= range.size && count <= range.size - (rva - range.rva)) {
        return &range;
      }
    }
    return nullptr;
  }

  bool ReadArea(uint64_t offset, void* buffer, size_t count) {
    if (offset > m_areaSize || count > m_areaSize - offset) return false;
    return m_source.ReadAt(m_areaFileOffset + offset, buffer, count);
  }

  uint32_t ReadDirectory(uint32_t offset, DirectoryInfo* info, std::vector<Entry>* entries,
                         std::string* error) {
    uint8_t header[kDirectorySize];
    if (!ReadArea(offset, header, sizeof header)) return Fail("a directory table is out of range", error);
    info->characteristics = GetU32(header);
    info->timeDateStamp = GetU32(header + 4);
    info->majorVersion = GetU16(header + 8);
    info->minorVersion = GetU16(header + 10);
    const size_t count = static_cast<size_t>(GetU16(header + 12)) + GetU16(header + 14);
    m_entriesSeen += count;
    if (m_entriesSeen > kMaximumEntries) return Fail("too many entries", error);
    std::vector<uint8_t> table(count * kEntrySize);
    if (!ReadArea(static_cast<uint64_t>(offset) + kDirectorySize, table.data(), table.size())) {
      return Fail("a directory's entries are out of range", error);
    }
    for (size_t k = 0; k < count; ++k) {
      const uint8_t* raw = table.data() + k * kEntrySize;
      const uint32_t nameField = GetU32(raw);
      const uint32_t dataField = GetU32(raw + 4);
      Entry entry;
      if (nameField & kHighBit) {
        entry.key.isName = true;
        uint32_t code = ReadName(nameField & ~kHighBit, &entry.key.name, error);
        if (code != 0) return code;
      } else {
        if (nameField > 0xFFFF) return Fail("an integer id above 65535", error);
        entry.key.id = static_cast<uint16_t>(nameField);
      }
      entry.isDirectory = (dataField & kHighBit) != 0;
      entry.offset = dataField & ~kHighBit;
      entries->push_back(std::move(entry));
    }
    // Keys the lookup cannot tell apart make the directory ambiguous.
    std::vector<const ResourceKey*> keys;
    for (const Entry& entry : *entries) keys.push_back(&entry.key);
    std::sort(keys.begin(), keys.end(), [](const ResourceKey* a, const ResourceKey* b) { return ResourceKeyBefore(*a, *b); });
    for (size_t k = 1; k < keys.size(); ++k) {
      if (*keys[k - 1] == *keys[k]) return Fail("an entry appears twice in one directory", error);
    }
    return 0;
  }

  uint32_t ReadName(uint32_t offset, std::u16string* name, std::string* error) {
    uint8_t lengthField[2];
    if (!ReadArea(offset, lengthField, 2)) return Fail("a name is out of range", error);
    const size_t length = GetU16(lengthField);
    std::vector<uint8_t> units(length * 2);
    if (!ReadArea(static_cast<uint64_t>(offset) + 2, units.data(), units.size())) {
      return Fail("a name is out of range", error);
    }
    name->resize(length);
    for (size_t k = 0; k < length; ++k) (*name)[k] = static_cast<char16_t>(GetU16(units.data() + 2 * k));
    return 0;
  }

  uint32_t ReadDataEntry(uint32_t offset, ResourceLanguage* language, std::string* error) {
    uint8_t raw[kDataEntrySize];
    if (!ReadArea(offset, raw, sizeof raw)) return Fail("a data entry is out of range", error);
    const uint32_t rva = GetU32(raw);
    const uint32_t size = GetU32(raw + 4);
    language->codePage = GetU32(raw + 8);
    if (size == 0) {
      language->data = DataBlob();
      return 0;
    }
    const MappedRange* range = RangeOf(rva, size);
    if (range == nullptr) return Fail("resource data lie outside the file", error);
    language->data = m_source.BlobAt(range->fileOffset + (rva - range->rva), size);
    return 0;
  }

  ByteSource& m_source;
  const std::vector<MappedRange>& m_ranges;
  uint32_t m_rootRva;
  uint64_t m_areaFileOffset = 0;
  uint64_t m_areaSize = 0;
  size_t m_entriesSeen = 0;
};

// Sorted views of the tree, so serialisation does not need a sorted (or copied) tree.
struct SortedName {
  const ResourceName* name;
  std::vector<const ResourceLanguage*> languages;
};
struct SortedType {
  const ResourceType* type;
  std::vector<SortedName> names;
};

template <typename T>
bool HasDuplicateKeys(const std::vector<const T*>& sorted, const ResourceKey T::*key) {
  for (size_t k = 1; k < sorted.size(); ++k) {
    if (sorted[k - 1]->*key == sorted[k]->*key) return true;
  }
  return false;
}

template <typename T>
std::vector<const T*> SortedPointers(const std::vector<T>& items, const ResourceKey T::*key) {
  std::vector<const T*> sorted;
  for (const T& item : items) sorted.push_back(&item);
  std::stable_sort(sorted.begin(), sorted.end(),
                   [key](const T* a, const T* b) { return ResourceKeyBefore(a->*key, b->*key); });
  return sorted;
}

void WriteDirectoryHeader(uint8_t* at, const DirectoryInfo& info, const std::vector<const ResourceKey*>& keys) {
  PutU32(at, info.characteristics);
  PutU32(at + 4, info.timeDateStamp);
  PutU16(at + 8, info.majorVersion);
  PutU16(at + 10, info.minorVersion);
  uint16_t named = 0;
  for (const ResourceKey* key : keys) named = static_cast<uint16_t>(named + (key->isName ? 1 : 0));
  PutU16(at + 12, named);
  PutU16(at + 14, static_cast<uint16_t>(keys.size() - named));
}

// Writes directory tables, data entries and names into `head` and records where each blob goes.
class SectionWriter {
 public:
  SectionWriter(const std::vector<SortedType>& types, const DirectoryInfo& root, uint32_t sectionRva)
      : m_types(types), m_root(root), m_sectionRva(sectionRva) {}

  uint32_t Write(ResourceSection* section, std::string* error) {
    // Layout: the root table, the type tables, the name tables, the data entries, the names, data.
    uint64_t directories = kDirectorySize + kEntrySize * m_types.size();
    size_t dataEntries = 0;
    uint64_t namesSize = 0;
    auto countName = [&namesSize](const ResourceKey& key) {
      if (key.isName) namesSize += 2 + 2 * static_cast<uint64_t>(key.name.size());
    };
    for (const SortedType& type : m_types) {
      countName(type.type->type);
      directories += kDirectorySize + kEntrySize * type.names.size();
      for (const SortedName& name : type.names) {
        countName(name.name->name);
        directories += kDirectorySize + kEntrySize * name.languages.size();
        for (const ResourceLanguage* language : name.languages) {
          countName(language->language);
          ++dataEntries;
        }
      }
    }
    const uint64_t dataEntriesStart = directories;
    const uint64_t namesStart = dataEntriesStart + kDataEntrySize * dataEntries;
    const uint64_t headSize = AlignUp(namesStart + namesSize, 8);
    if (headSize > 0xFFFFFFFFu) return TooLarge(error);

    section->head.assign(static_cast<size_t>(headSize), 0);
    section->data.clear();
    m_head = section->head.data();
    m_nextDirectory = 0;
    m_nextDataEntry = dataEntriesStart;
    m_nextName = namesStart;
    uint64_t nextData = headSize;
    uint64_t dataEnd = headSize;  // the section ends with the last blob, unpadded

    // Tables are placed breadth first: the root, then every type table, then every name table.
    const uint64_t rootAt = AllocateDirectory(m_types.size());
    std::vector<const ResourceKey*> typeKeys;
    for (const SortedType& type : m_types) typeKeys.push_back(&type.type->type);
    WriteDirectoryHeader(m_head + rootAt, m_root, typeKeys);
    std::vector<uint64_t> typeTables;
    for (size_t t = 0; t < m_types.size(); ++t) {
      typeTables.push_back(AllocateDirectory(m_types[t].names.size()));
      WriteEntry(rootAt, t, *typeKeys[t], typeTables.back() | kHighBit);
    }
    std::vector<std::vector<uint64_t>> nameTables(m_types.size());
    for (size_t t = 0; t < m_types.size(); ++t) {
      const SortedType& type = m_types[t];
      std::vector<const ResourceKey*> nameKeys;
      for (const SortedName& name : type.names) nameKeys.push_back(&name.name->name);
      WriteDirectoryHeader(m_head + typeTables[t], type.type->directory, nameKeys);
      for (size_t n = 0; n < type.names.size(); ++n) {
        nameTables[t].push_back(AllocateDirectory(type.names[n].languages.size()));
        WriteEntry(typeTables[t], n, *nameKeys[n], nameTables[t].back() | kHighBit);
      }
    }
    for (size_t t = 0; t < m_types.size(); ++t) {
      for (size_t n = 0; n < m_types[t].names.size(); ++n) {
        const SortedName& name = m_types[t].names[n];
        std::vector<const ResourceKey*> languageKeys;
        for (const ResourceLanguage* language : name.languages) languageKeys.push_back(&language->language);
        WriteDirectoryHeader(m_head + nameTables[t][n], name.name->directory, languageKeys);
        for (size_t l = 0; l < name.languages.size(); ++l) {
          const ResourceLanguage& language = *name.languages[l];
          const uint64_t dataEntry = m_nextDataEntry;
          m_nextDataEntry += kDataEntrySize;
          WriteEntry(nameTables[t][n], l, language.language, dataEntry);
          const uint64_t size = language.data.Size();
          if (size > 0xFFFFFFFFu || nextData + size > 0xFFFFFFFFu - m_sectionRva) return TooLarge(error);
          PutU32(m_head + dataEntry, static_cast<uint32_t>(m_sectionRva + nextData));
          PutU32(m_head + dataEntry + 4, static_cast<uint32_t>(size));
          PutU32(m_head + dataEntry + 8, language.codePage);
          section->data.push_back({&language.data, static_cast<uint32_t>(nextData)});
          dataEnd = nextData + size;
          nextData = AlignUp(dataEnd, 8);
        }
      }
    }
    section->size = static_cast<uint32_t>(dataEnd);
    return 0;
  }

 private:
  static uint32_t TooLarge(std::string* error) {
    *error = "the resources exceed the 4 GB a resource section can address";
    return kPackTooLarge;
  }

  uint64_t AllocateDirectory(size_t entries) {
    const uint64_t at = m_nextDirectory;
    m_nextDirectory += kDirectorySize + kEntrySize * entries;
    return at;
  }

  void WriteEntry(uint64_t table, size_t index, const ResourceKey& key, uint64_t target) {
    uint8_t* entry = m_head + table + kDirectorySize + kEntrySize * index;
    if (key.isName) {
      const uint64_t at = m_nextName;
      PutU16(m_head + at, static_cast<uint16_t>(key.name.size()));
      for (size_t k = 0; k < key.name.size(); ++k) PutU16(m_head + at + 2 + 2 * k, key.name[k]);
      m_nextName += 2 + 2 * key.name.size();
      PutU32(entry, static_cast<uint32_t>(at) | kHighBit);
    } else {
      PutU32(entry, key.id);
    }
    PutU32(entry + 4, static_cast<uint32_t>(target));
  }

  const std::vector<SortedType>& m_types;
  const DirectoryInfo& m_root;
  uint32_t m_sectionRva;
  uint8_t* m_head = nullptr;
  uint64_t m_nextDirectory = 0;
  uint64_t m_nextDataEntry = 0;
  uint64_t m_nextName = 0;
};

}  // namespace

ResourceKey ResourceKey::Id(uint16_t id) {
  ResourceKey key;
  key.id = id;
  return key;
}

ResourceKey ResourceKey::Name(std::u16string name) {
  ResourceKey key;
  key.isName = true;
  key.name = std::move(name);
  return key;
}

bool ResourceKey::operator==(const ResourceKey& other) const {
  if (isName != other.isName) return false;
  return isName ? AsciiUpper(name) == AsciiUpper(other.name) : id == other.id;
}

bool ResourceKeyBefore(const ResourceKey& a, const ResourceKey& b) {
  if (a.isName != b.isName) return a.isName;
  if (!a.isName) return a.id < b.id;
  return AsciiUpper(a.name) < AsciiUpper(b.name);
}

bool DirectoryInfo::operator==(const DirectoryInfo& other) const {
  return characteristics == other.characteristics && timeDateStamp == other.timeDateStamp &&
         majorVersion == other.majorVersion && minorVersion == other.minorVersion;
}

ResourceType* FindResourceType(ResourceTree* tree, const ResourceKey& type) {
  for (ResourceType& candidate : tree->types) {
    if (candidate.type == type) return &candidate;
  }
  return nullptr;
}

ResourceName* FindResourceName(ResourceType* type, const ResourceKey& name) {
  for (ResourceName& candidate : type->names) {
    if (candidate.name == name) return &candidate;
  }
  return nullptr;
}

void SetResource(ResourceTree* tree, const ResourceKey& type, const ResourceKey& name,
                 const ResourceKey& language, DataBlob data, uint32_t codePage) {
  ResourceType* typeNode = FindResourceType(tree, type);
  if (typeNode == nullptr) {
    tree->types.push_back(ResourceType{type, {}, {}});
    typeNode = &tree->types.back();
  }
  ResourceName* nameNode = FindResourceName(typeNode, name);
  if (nameNode == nullptr) {
    typeNode->names.push_back(ResourceName{name, {}, {}});
    nameNode = &typeNode->names.back();
  }
  for (ResourceLanguage& existing : nameNode->languages) {
    if (existing.language == language) {
      existing.codePage = codePage;
      existing.data = std::move(data);
      return;
    }
  }
  nameNode->languages.push_back(ResourceLanguage{language, codePage, std::move(data)});
}

void RemoveResourceType(ResourceTree* tree, const ResourceKey& type) {
  tree->types.erase(std::remove_if(tree->types.begin(), tree->types.end(),
                                   [&type](const ResourceType& candidate) { return candidate.type == type; }),
                    tree->types.end());
}

void SortResourceTree(ResourceTree* tree) {
  std::stable_sort(tree->types.begin(), tree->types.end(),
                   [](const ResourceType& a, const ResourceType& b) { return KeyedBefore(a, b, &ResourceType::type); });
  for (ResourceType& type : tree->types) {
    std::stable_sort(type.names.begin(), type.names.end(),
                     [](const ResourceName& a, const ResourceName& b) { return KeyedBefore(a, b, &ResourceName::name); });
    for (ResourceName& name : type.names) {
      std::stable_sort(name.languages.begin(), name.languages.end(),
                       [](const ResourceLanguage& a, const ResourceLanguage& b) {
                         return KeyedBefore(a, b, &ResourceLanguage::language);
                       });
    }
  }
}

uint32_t ParseResourceTree(ByteSource& source, const std::vector<MappedRange>& ranges,
                           uint32_t rootRva, ResourceTree* tree, std::string* error) {
  *tree = ResourceTree();
  DirectoryReader reader(source, ranges, rootRva);
  return reader.Parse(tree, error);
}

uint32_t SerialiseResourceTree(const ResourceTree& tree, uint32_t sectionRva,
                               ResourceSection* section, std::string* error) {
  auto fail = [error](const char* reason) {
    *error = reason;
    return kPackBadStub;
  };
  auto tooLong = [](const ResourceKey& key) { return key.isName && key.name.size() > 0xFFFF; };
  std::vector<SortedType> types;
  const std::vector<const ResourceType*> sortedTypes = SortedPointers(tree.types, &ResourceType::type);
  if (HasDuplicateKeys(sortedTypes, &ResourceType::type)) return fail("a resource type appears twice");
  for (const ResourceType* type : sortedTypes) {
    if (tooLong(type->type)) return fail("a resource type name is too long");
    SortedType sortedType{type, {}};
    const std::vector<const ResourceName*> sortedNames = SortedPointers(type->names, &ResourceName::name);
    if (HasDuplicateKeys(sortedNames, &ResourceName::name)) return fail("a resource name appears twice in one type");
    for (const ResourceName* name : sortedNames) {
      if (tooLong(name->name)) return fail("a resource name is too long");
      SortedName sortedName{name, SortedPointers(name->languages, &ResourceLanguage::language)};
      if (HasDuplicateKeys(sortedName.languages, &ResourceLanguage::language)) {
        return fail("a resource language appears twice in one name");
      }
      for (const ResourceLanguage* language : sortedName.languages) {
        if (tooLong(language->language)) return fail("a resource language name is too long");
      }
      sortedType.names.push_back(std::move(sortedName));
    }
    types.push_back(std::move(sortedType));
  }
  SectionWriter writer(types, tree.directory, sectionRva);
  return writer.Write(section, error);
}

}  // namespace harnex::packer
