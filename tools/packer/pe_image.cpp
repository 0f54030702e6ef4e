#include "tools/packer/pe_image.h"

#include <algorithm>
#include <cstring>

#include "tools/packer/pack_error.h"

namespace harnex::packer {
namespace {

constexpr uint16_t kMachineI386 = 0x014C;
constexpr uint16_t kMagicPe32 = 0x010B;
constexpr uint32_t kFileHeaderSize = 20;
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint32_t kMinimumOptionalHeader = 96;
constexpr uint32_t kResourceDirectory = 2;
constexpr uint32_t kSecurityDirectory = 4;
constexpr uint32_t kMaximumHeaders = 16 * 1024 * 1024;
constexpr uint32_t kInitializedReadableData = 0x40000040;  // CNT_INITIALIZED_DATA | MEM_READ

// Field offsets within the optional header.
constexpr uint32_t kSizeOfInitializedData = 8;
constexpr uint32_t kSectionAlignment = 32;
constexpr uint32_t kFileAlignment = 36;
constexpr uint32_t kSizeOfImage = 56;
constexpr uint32_t kSizeOfHeaders = 60;
constexpr uint32_t kCheckSum = 64;
constexpr uint32_t kNumberOfRvaAndSizes = 92;
constexpr uint32_t kDataDirectories = 96;

uint64_t AlignUp(uint64_t value, uint64_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

bool IsPowerOfTwo(uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

uint32_t Fail(const std::string& reason, std::string* error) {
  *error = reason;
  return kPackBadStub;
}

std::string Hex(uint32_t value) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  do {
    text.insert(text.begin(), digits[value & 15]);
    value >>= 4;
  } while (value != 0);
  return "0x" + text;
}

bool NameIs(const SectionHeader& section, const char* name) {
  uint8_t padded[8] = {};
  std::memcpy(padded, name, std::strlen(name));
  return std::memcmp(section.name, padded, 8) == 0;
}

uint64_t SectionEnd(const SectionHeader& section) {
  return static_cast<uint64_t>(section.virtualAddress) + std::max(section.virtualSize, section.sizeOfRawData);
}

}  // namespace

uint32_t ParsePeImage(ByteSource& source, PeImage* image, std::string* error) {
  *image = PeImage();
  image->fileSize = source.Size();
  uint8_t dos[64];
  if (!source.ReadAt(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') {
    return Fail("the stub is not a PE image (no MZ header)", error);
  }
  const uint32_t peOffset = GetU32(dos + 0x3C);
  uint8_t fixed[4 + kFileHeaderSize + kDataDirectories];
  if (peOffset > kMaximumHeaders || !source.ReadAt(peOffset, fixed, sizeof fixed) ||
      std::memcmp(fixed, "PE\0\0", 4) != 0) {
    return Fail("the stub is not a PE image (no PE signature)", error);
  }
  const uint8_t* fileHeader = fixed + 4;
  const uint16_t machine = GetU16(fileHeader);
  if (machine != kMachineI386) return Fail("the stub is not an i386 image (machine " + Hex(machine) + ")", error);
  const uint16_t numberOfSections = GetU16(fileHeader + 2);
  const uint32_t sizeOfOptionalHeader = GetU16(fileHeader + 16);
  const uint8_t* optional = fileHeader + kFileHeaderSize;
  const uint16_t magic = GetU16(optional);
  if (magic != kMagicPe32) return Fail("the stub is not a PE32 image (optional header magic " + Hex(magic) + ")", error);
  image->numberOfRvaAndSizes = GetU32(optional + kNumberOfRvaAndSizes);
  if (sizeOfOptionalHeader < kMinimumOptionalHeader + 8 * (kResourceDirectory + 1) ||
      image->numberOfRvaAndSizes <= kResourceDirectory ||
      kMinimumOptionalHeader + 8 * static_cast<uint64_t>(image->numberOfRvaAndSizes) > sizeOfOptionalHeader) {
    return Fail("the stub's optional header has no resource data directory", error);
  }
  image->sectionAlignment = GetU32(optional + kSectionAlignment);
  image->fileAlignment = GetU32(optional + kFileAlignment);
  image->sizeOfImage = GetU32(optional + kSizeOfImage);
  image->sizeOfHeaders = GetU32(optional + kSizeOfHeaders);
  if (!IsPowerOfTwo(image->fileAlignment) || image->fileAlignment < 0x20 || image->fileAlignment > 0x10000 ||
      !IsPowerOfTwo(image->sectionAlignment) || image->sectionAlignment < image->fileAlignment) {
    return Fail("the stub's section or file alignment is invalid", error);
  }
  image->optionalHeaderOffset = peOffset + 4 + kFileHeaderSize;
  image->sectionTableOffset = image->optionalHeaderOffset + sizeOfOptionalHeader;
  const uint64_t sectionTableEnd =
      image->sectionTableOffset + static_cast<uint64_t>(kSectionHeaderSize) * numberOfSections;
  if (numberOfSections == 0 || sectionTableEnd > image->sizeOfHeaders || image->sizeOfHeaders > kMaximumHeaders ||
      image->sizeOfHeaders > image->fileSize) {
    return Fail("the stub's headers are truncated or inconsistent", error);
  }
  image->headers.resize(image->sizeOfHeaders);
  if (!source.ReadAt(0, image->headers.data(), image->headers.size())) {
    return Fail("cannot read the stub's headers", error);
  }

  image->resourceRva =
      GetU32(image->headers.data() + image->optionalHeaderOffset + kDataDirectories + 8 * kResourceDirectory);
  image->sectionDataEnd = image->sizeOfHeaders;
  for (uint16_t k = 0; k < numberOfSections; ++k) {
    const uint8_t* raw = image->headers.data() + image->sectionTableOffset + kSectionHeaderSize * k;
    SectionHeader section;
    std::memcpy(section.name, raw, 8);
    section.virtualSize = GetU32(raw + 8);
    section.virtualAddress = GetU32(raw + 12);
    section.sizeOfRawData = GetU32(raw + 16);
    section.pointerToRawData = GetU32(raw + 20);
    section.characteristics = GetU32(raw + 36);
    if (section.sizeOfRawData != 0) {
      const uint64_t end = static_cast<uint64_t>(section.pointerToRawData) + section.sizeOfRawData;
      if (end > image->fileSize || section.pointerToRawData < image->sizeOfHeaders) {
        return Fail("a section of the stub lies outside its file", error);
      }
      image->sectionDataEnd = std::max(image->sectionDataEnd, end);
    }
    image->sections.push_back(section);
  }

  // The COFF symbol table (kept by unstripped MinGW builds) and the string table after it.
  const uint32_t symbols = GetU32(fileHeader + 8);
  const uint32_t numberOfSymbols = GetU32(fileHeader + 12);
  image->symbolTableOffset = symbols;
  if (symbols != 0 && numberOfSymbols != 0) {
    const uint64_t stringTable = symbols + 18ull * numberOfSymbols;
    uint8_t sizeField[4];
    if (source.ReadAt(stringTable, sizeField, 4)) {
      const uint64_t stringTableSize = std::max<uint32_t>(GetU32(sizeField), 4);
      if (stringTable + stringTableSize <= image->fileSize) image->symbolTableSize = stringTable + stringTableSize - symbols;
    }
  }
  return 0;
}

std::vector<MappedRange> MappedRanges(const PeImage& image) {
  std::vector<MappedRange> ranges;
  for (const SectionHeader& section : image.sections) {
    if (section.sizeOfRawData == 0) continue;
    const uint32_t mapped = section.virtualSize == 0 ? section.sizeOfRawData
                                                     : std::min(section.virtualSize, section.sizeOfRawData);
    ranges.push_back({section.virtualAddress, mapped, section.pointerToRawData});
  }
  return ranges;
}

// Where the resource section's data starts in the file: the first aligned offset at or after
// `after`. With page-sized section alignment the offset is page-aligned too, so that a loader can
// map the section straight from the file; Wine maps only page-aligned sections and otherwise
// reads the whole section (the payload) into private memory before the program starts.
uint64_t SectionFileOffset(const PeImage& image, uint64_t after) {
  constexpr uint64_t kPage = 0x1000;
  uint64_t alignment = image.fileAlignment;
  if (image.sectionAlignment >= kPage && alignment < kPage) alignment = kPage;
  return AlignUp(after, alignment);
}

uint32_t PlaceResourceSection(const PeImage& image, SectionPlacement* placement, std::string* error) {
  *placement = SectionPlacement();
  const size_t count = image.sections.size();
  size_t resource = count;
  size_t lastByAddress = 0;
  for (size_t k = 0; k < count; ++k) {
    const SectionHeader& section = image.sections[k];
    if (image.resourceRva != 0 && image.resourceRva >= section.virtualAddress &&
        image.resourceRva < SectionEnd(section)) {
      resource = k;
    }
    if (section.virtualAddress > image.sections[lastByAddress].virtualAddress) lastByAddress = k;
  }
  if (resource < count) {
    const SectionHeader& section = image.sections[resource];
    bool lastInFile = section.sizeOfRawData != 0 &&
                      section.pointerToRawData + static_cast<uint64_t>(section.sizeOfRawData) == image.sectionDataEnd;
    for (const SectionHeader& other : image.sections) {
      if (other.sizeOfRawData != 0 && other.pointerToRawData > section.pointerToRawData) lastInFile = false;
    }
    if (lastInFile && resource == lastByAddress && section.virtualAddress == image.resourceRva &&
        NameIs(section, ".rsrc")) {
      placement->replace = true;
      placement->index = resource;
      placement->rva = section.virtualAddress;
      placement->fileOffset = static_cast<uint32_t>(SectionFileOffset(image, section.pointerToRawData));
      placement->keptStubBytes = section.pointerToRawData;
      return 0;
    }
  }

  // Append: the section table needs one more zeroed slot before the first section's data.
  const uint64_t tableEnd = image.sectionTableOffset + 40ull * count;
  uint64_t firstData = image.sizeOfHeaders;
  for (const SectionHeader& section : image.sections) {
    if (section.sizeOfRawData != 0) firstData = std::min<uint64_t>(firstData, section.pointerToRawData);
  }
  bool room = tableEnd + 40 <= firstData;
  for (uint64_t at = tableEnd; room && at < tableEnd + 40; ++at) room = image.headers[at] == 0;
  if (!room) {
    *error = "the stub's resource section is not its last section and its header has no room for one more section";
    return kPackBadStub;
  }
  uint64_t imageEnd = image.sizeOfImage;
  for (const SectionHeader& section : image.sections) imageEnd = std::max(imageEnd, SectionEnd(section));
  const uint64_t rva = AlignUp(imageEnd, image.sectionAlignment);
  const uint64_t fileOffset = SectionFileOffset(image, image.sectionDataEnd);
  if (rva > 0xFFFFFFFFu || fileOffset > 0xFFFFFFFFu) {
    *error = "the stub is too large to take one more section";
    return kPackTooLarge;
  }
  placement->index = count;
  placement->rva = static_cast<uint32_t>(rva);
  placement->fileOffset = static_cast<uint32_t>(fileOffset);
  placement->keptStubBytes = image.sectionDataEnd;
  return 0;
}

uint32_t PlanOutput(const PeImage& image, const SectionPlacement& placement, uint32_t sectionSize,
                    uint64_t trailerSize, OutputLayout* layout, std::string* error) {
  *layout = OutputLayout();
  const uint64_t rawSize = AlignUp(sectionSize, image.fileAlignment);
  const uint64_t newImageSize = AlignUp(static_cast<uint64_t>(placement.rva) + sectionSize, image.sectionAlignment);
  const uint64_t sectionFileEnd = placement.fileOffset + rawSize;
  if (newImageSize > kMaximumImageSize || sectionFileEnd > 0xFFFFFFFFu) {
    *error = "the output image would take " + std::to_string(newImageSize) +
             " bytes of address space; a 32-bit image may take at most " + std::to_string(kMaximumImageSize);
    return kPackTooLarge;
  }

  std::vector<uint8_t>& headers = layout->headers;
  headers = image.headers;
  uint8_t* fileHeader = headers.data() + image.optionalHeaderOffset - kFileHeaderSize;
  uint8_t* optional = headers.data() + image.optionalHeaderOffset;

  uint64_t initializedData = GetU32(optional + kSizeOfInitializedData);
  if (placement.replace) {
    initializedData -= std::min<uint64_t>(initializedData, image.sections[placement.index].sizeOfRawData);
  } else {
    PutU16(fileHeader + 2, static_cast<uint16_t>(image.sections.size() + 1));
    for (size_t k = 0; k < image.sections.size(); ++k) {
      if (NameIs(image.sections[k], ".rsrc")) {
        std::memcpy(headers.data() + image.sectionTableOffset + kSectionHeaderSize * k, ".oldrsrc", 8);
      }
    }
  }
  initializedData = std::min<uint64_t>(initializedData + rawSize, 0xFFFFFFFFu);

  uint8_t* section = headers.data() + image.sectionTableOffset + kSectionHeaderSize * placement.index;
  const uint32_t characteristics =
      placement.replace ? image.sections[placement.index].characteristics : kInitializedReadableData;
  std::memset(section, 0, kSectionHeaderSize);
  std::memcpy(section, ".rsrc", 5);
  PutU32(section + 8, sectionSize);
  PutU32(section + 12, placement.rva);
  PutU32(section + 16, static_cast<uint32_t>(rawSize));
  PutU32(section + 20, placement.fileOffset);
  PutU32(section + 36, characteristics);

  PutU32(optional + kSizeOfInitializedData, static_cast<uint32_t>(initializedData));
  PutU32(optional + kSizeOfImage, static_cast<uint32_t>(newImageSize));
  PutU32(optional + kCheckSum, 0);
  PutU32(optional + kDataDirectories + 8 * kResourceDirectory, placement.rva);
  PutU32(optional + kDataDirectories + 8 * kResourceDirectory + 4, sectionSize);
  if (image.numberOfRvaAndSizes > kSecurityDirectory) {
    PutU32(optional + kDataDirectories + 8 * kSecurityDirectory, 0);
    PutU32(optional + kDataDirectories + 8 * kSecurityDirectory + 4, 0);
  }

  // The symbol table moves behind the new section when it lay in the part of the stub that is
  // not kept; one that cannot be found whole is dropped.
  uint64_t end = sectionFileEnd;
  if (image.symbolTableOffset != 0) {
    const bool whole = image.symbolTableSize != 0;
    if (whole && image.symbolTableOffset >= placement.keptStubBytes) {
      layout->symbolTableOffset = end;
      layout->symbolTableSize = image.symbolTableSize;
      end += image.symbolTableSize;
      if (layout->symbolTableOffset > 0xFFFFFFFFu) {
        *error = "the output file would exceed 4 GB";
        return kPackTooLarge;
      }
      PutU32(fileHeader + 8, static_cast<uint32_t>(layout->symbolTableOffset));
    } else if (!whole || image.symbolTableOffset + image.symbolTableSize > placement.keptStubBytes) {
      PutU32(fileHeader + 8, 0);
      PutU32(fileHeader + 12, 0);
    }
  }
  layout->checksumOffset = image.optionalHeaderOffset + kCheckSum;
  layout->sectionRawSize = static_cast<uint32_t>(rawSize);
  layout->trailerOffset = end;
  layout->fileSize = end + trailerSize;
  return 0;
}

void PeChecksum::Add(const uint8_t* bytes, size_t count) {
  size_t at = 0;
  if (m_hasPendingByte && count != 0) {
    m_sum += m_pendingByte | (bytes[0] << 8);
    m_hasPendingByte = false;
    at = 1;
  }
  uint64_t sum = 0;
  for (; at + 1 < count; at += 2) sum += bytes[at] | (bytes[at + 1] << 8);
  m_sum += sum;
  if (at < count) {
    m_pendingByte = bytes[at];
    m_hasPendingByte = true;
  }
}

uint32_t PeChecksum::Finish(uint64_t fileSize) const {
  uint64_t sum = m_sum + (m_hasPendingByte ? m_pendingByte : 0);
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum + fileSize);
}

uint32_t ChecksumFieldOffset(const std::vector<uint8_t>& headers) {
  if (headers.size() < 64) return 0;
  const uint64_t offset = GetU32(headers.data() + 0x3C) + 4ull + kFileHeaderSize + kCheckSum;
  return offset + 4 <= headers.size() ? static_cast<uint32_t>(offset) : 0;
}

}  // namespace harnex::packer
