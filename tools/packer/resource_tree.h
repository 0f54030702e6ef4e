// The resource directory of a PE image as a tree (type / name / language / data), read from a
// stub's file and written out as the content of a new resource section.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/packer/byte_source.h"

namespace harnex::packer {

constexpr uint16_t kResourceTypeString = 6;     // RT_STRING
constexpr uint16_t kResourceTypeVersion = 16;   // RT_VERSION
constexpr uint16_t kResourceTypeManifest = 24;  // RT_MANIFEST

// A directory entry's key: an integer id or a name. Names compare without regard to ASCII case,
// as the system's resource lookup does.
struct ResourceKey {
  bool isName = false;
  uint16_t id = 0;
  std::u16string name;

  static ResourceKey Id(uint16_t id);
  static ResourceKey Name(std::u16string name);
  bool operator==(const ResourceKey& other) const;
  bool operator!=(const ResourceKey& other) const { return !(*this == other); }
};

// Directory order, which the system's binary search relies on: names first, ordered by their
// upper-cased UTF-16 units, then ids ascending.
bool ResourceKeyBefore(const ResourceKey& a, const ResourceKey& b);

// The header fields of one directory table, kept so an untouched directory is written back as read.
struct DirectoryInfo {
  uint32_t characteristics = 0;
  uint32_t timeDateStamp = 0;
  uint16_t majorVersion = 0;
  uint16_t minorVersion = 0;
  bool operator==(const DirectoryInfo& other) const;
};

struct ResourceLanguage {
  ResourceKey language;
  uint32_t codePage = 0;
  DataBlob data;
};

struct ResourceName {
  ResourceKey name;
  DirectoryInfo directory;
  std::vector<ResourceLanguage> languages;
};

struct ResourceType {
  ResourceKey type;
  DirectoryInfo directory;
  std::vector<ResourceName> names;
};

struct ResourceTree {
  DirectoryInfo directory;
  std::vector<ResourceType> types;
};

// Lookups by key; nullptr when absent.
ResourceType* FindResourceType(ResourceTree* tree, const ResourceKey& type);
ResourceName* FindResourceName(ResourceType* type, const ResourceKey& name);

// Adds the resource, replacing one with the same type, name and language.
void SetResource(ResourceTree* tree, const ResourceKey& type, const ResourceKey& name,
                 const ResourceKey& language, DataBlob data, uint32_t codePage = 0);

// Drops a type with everything under it; nothing happens when it is absent.
void RemoveResourceType(ResourceTree* tree, const ResourceKey& type);

// Puts every directory of the tree into directory order.
void SortResourceTree(ResourceTree* tree);

// A part of the image that is backed by the file: `size` bytes at `rva` lie at `fileOffset`.
struct MappedRange {
  uint32_t rva = 0;
  uint32_t size = 0;
  uint64_t fileOffset = 0;
};

// Reads the directory whose root lies at `rootRva`. Directory tables, entries and names must lie in
// the mapped range that holds the root; data may lie in any mapped range. The three levels are
// required (the system reads no other shape). Data become blobs of `source` (file ranges for a
// FileSource). Returns 0, or kPackBadStub with a reason for a malformed directory.
uint32_t ParseResourceTree(ByteSource& source, const std::vector<MappedRange>& ranges,
                           uint32_t rootRva, ResourceTree* tree, std::string* error);

// A serialised resource section: `head` (directories, data entries, names) comes first; each
// placed blob starts at its `offset` (a multiple of 8), the gaps are zero; `size` bytes in all.
struct ResourceSection {
  struct Placement {
    const DataBlob* blob = nullptr;
    uint32_t offset = 0;
  };
  std::vector<uint8_t> head;
  std::vector<Placement> data;
  uint32_t size = 0;
};

// Lays the tree out for a section at `sectionRva`, every directory in directory order (the
// tree itself need not be sorted; the placements point into it). Returns 0, kPackBadStub for
// duplicate keys or a name longer than 65535 units, kPackTooLarge when the section cannot be
// addressed with 32-bit RVAs.
uint32_t SerialiseResourceTree(const ResourceTree& tree, uint32_t sectionRva,
                               ResourceSection* section, std::string* error);

}  // namespace harnex::packer
