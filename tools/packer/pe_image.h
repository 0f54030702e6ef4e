// The PE32 (i386) image of a stub: its headers as read, the placement of a new resource section,
// the rewritten headers of the output, and the PE checksum.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/packer/byte_source.h"
#include "tools/packer/resource_tree.h"

namespace harnex::packer {

// The largest SizeOfImage the packer writes: a 32-bit process must still find room for the image
// below its 2 GB user space boundary, next to the system libraries.
constexpr uint64_t kMaximumImageSize = 0x60000000;  // 1.5 GB

struct SectionHeader {
  uint8_t name[8] = {};
  uint32_t virtualSize = 0;
  uint32_t virtualAddress = 0;
  uint32_t sizeOfRawData = 0;
  uint32_t pointerToRawData = 0;
  uint32_t characteristics = 0;
};

struct PeImage {
  std::vector<uint8_t> headers;  // the first SizeOfHeaders bytes of the file
  uint64_t fileSize = 0;
  uint32_t optionalHeaderOffset = 0;
  uint32_t sectionTableOffset = 0;
  uint32_t sectionAlignment = 0;
  uint32_t fileAlignment = 0;
  uint32_t sizeOfImage = 0;
  uint32_t sizeOfHeaders = 0;
  uint32_t numberOfRvaAndSizes = 0;
  uint32_t resourceRva = 0;   // 0 when the stub has no resources
  uint32_t symbolTableOffset = 0;
  uint64_t symbolTableSize = 0;  // COFF symbols and their string table; 0 when absent
  std::vector<SectionHeader> sections;
  uint64_t sectionDataEnd = 0;  // end of the last section's raw data (at least SizeOfHeaders)
};

// Reads and checks the headers: "MZ", "PE\0\0", machine i386, optional header magic PE32, a
// resource data directory, sane alignments, section data inside the file. Returns 0, or
// kPackBadStub with a reason.
uint32_t ParsePeImage(ByteSource& source, PeImage* image, std::string* error);

// The file-backed parts of the image's sections, for reading the resource directory.
std::vector<MappedRange> MappedRanges(const PeImage& image);

// Where the new resource section goes: over the stub's resource section when that is the last
// section (by address and by file position) and holds the resources alone, else appended after
// the last section (then the old one stays, unused, and a ".rsrc" name moves to ".oldrsrc").
struct SectionPlacement {
  bool replace = false;
  size_t index = 0;            // the section table slot of the new section
  uint32_t rva = 0;
  uint32_t fileOffset = 0;     // PointerToRawData
  uint64_t keptStubBytes = 0;  // stub bytes [0, keptStubBytes) are copied to the output
};

// Returns 0, or kPackBadStub when a section must be appended and the header has no free, zeroed
// room for one more section header.
uint32_t PlaceResourceSection(const PeImage& image, SectionPlacement* placement, std::string* error);

// The output file: the stub's kept bytes, the resource section, the relocated symbol table, then
// `trailerSize` bytes (the embedded information block).
struct OutputLayout {
  std::vector<uint8_t> headers;  // the rewritten headers, checksum 0
  uint32_t checksumOffset = 0;
  uint32_t sectionRawSize = 0;   // the resource section's size in the file (FileAlignment multiple)
  uint64_t symbolTableOffset = 0;  // where the symbol table goes in the output (size 0: none kept)
  uint64_t symbolTableSize = 0;
  uint64_t trailerOffset = 0;
  uint64_t fileSize = 0;
};

// Rewrites the headers for a resource section of `sectionSize` bytes at `placement`: section
// table, NumberOfSections, SizeOfImage, SizeOfInitializedData, the resource data directory; the
// certificate table directory is cleared (a signature does not survive the change) and the
// checksum is zeroed. Returns 0, or kPackTooLarge when SizeOfImage would exceed
// kMaximumImageSize or the file would exceed 32-bit offsets.
uint32_t PlanOutput(const PeImage& image, const SectionPlacement& placement, uint32_t sectionSize,
                    uint64_t trailerSize, OutputLayout* layout, std::string* error);

// The PE checksum, fed with the file's bytes in order (any chunking), the checksum field holding 0.
class PeChecksum {
 public:
  void Add(const uint8_t* bytes, size_t count);
  uint32_t Finish(uint64_t fileSize) const;

 private:
  uint64_t m_sum = 0;
  bool m_hasPendingByte = false;
  uint8_t m_pendingByte = 0;
};

// Offset of the CheckSum field in a file whose headers are `headers` (0 when they are too short).
uint32_t ChecksumFieldOffset(const std::vector<uint8_t>& headers);

}  // namespace harnex::packer
