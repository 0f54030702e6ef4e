#include "tools/packer/pe_image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "tools/packer/pack_error.h"

namespace harnex::packer {
namespace {

// A minimal PE32 image: DOS header, headers at 0x40, 16 data directories, sections as given,
// SizeOfHeaders 0x200, file alignment 0x200, section alignment 0x1000.
struct FakeSection {
  const char* name;
  uint32_t rva;
  uint32_t virtualSize;
  uint32_t rawOffset;
  uint32_t rawSize;
};

constexpr uint32_t kPe = 0x40;
constexpr uint32_t kOptional = kPe + 24;
constexpr uint32_t kTable = kOptional + 224;

std::vector<uint8_t> FakeImage(const std::vector<FakeSection>& sections, uint32_t resourceRva, uint32_t fileSize = 0) {
  uint32_t end = 0x200;
  for (const FakeSection& s : sections) end = std::max(end, s.rawOffset + s.rawSize);
  std::vector<uint8_t> image(std::max(end, fileSize), 0);
  image[0] = 'M';
  image[1] = 'Z';
  PutU32(&image[0x3C], kPe);
  std::memcpy(&image[kPe], "PE\0\0", 4);
  PutU16(&image[kPe + 4], 0x14C);
  PutU16(&image[kPe + 6], static_cast<uint16_t>(sections.size()));
  PutU16(&image[kPe + 20], 224);
  PutU16(&image[kOptional], 0x10B);
  PutU32(&image[kOptional + 8], 0x1000);  // SizeOfInitializedData
  PutU32(&image[kOptional + 32], 0x1000);
  PutU32(&image[kOptional + 36], 0x200);
  uint32_t imageEnd = 0x1000;
  for (const FakeSection& s : sections) imageEnd = std::max(imageEnd, (s.rva + s.virtualSize + 0xFFF) & ~0xFFFu);
  PutU32(&image[kOptional + 56], imageEnd);
  PutU32(&image[kOptional + 60], 0x200);
  PutU32(&image[kOptional + 64], 0xABCD);  // a checksum to be cleared
  PutU32(&image[kOptional + 92], 16);
  PutU32(&image[kOptional + 96 + 16], resourceRva);
  PutU32(&image[kOptional + 96 + 20], resourceRva ? 0x100 : 0);
  PutU32(&image[kOptional + 96 + 32], 0x9000);  // a certificate table, to be dropped
  PutU32(&image[kOptional + 96 + 36], 0x40);
  for (size_t k = 0; k < sections.size(); ++k) {
    uint8_t* header = &image[kTable + 40 * k];
    std::memcpy(header, sections[k].name, std::strlen(sections[k].name));
    PutU32(header + 8, sections[k].virtualSize);
    PutU32(header + 12, sections[k].rva);
    PutU32(header + 16, sections[k].rawSize);
    PutU32(header + 20, sections[k].rawOffset);
    PutU32(header + 36, 0x40000040);
  }
  return image;
}

const std::vector<FakeSection> kRsrcLast = {
    {".text", 0x1000, 0x800, 0x200, 0x800}, {".rsrc", 0x2000, 0x300, 0xA00, 0x400}};
const std::vector<FakeSection> kRsrcThenReloc = {
    {".text", 0x1000, 0x800, 0x200, 0x800}, {".rsrc", 0x2000, 0x300, 0xA00, 0x400}, {".reloc", 0x3000, 0x10, 0xE00, 0x200}};

uint32_t Parse(const std::vector<uint8_t>& bytes, PeImage* image, std::string* error) {
  MemorySource source(bytes);
  return ParsePeImage(source, image, error);
}

TEST(PeImage, ReadsTheHeadersOfAPe32Image) {
  PeImage image;
  std::string error;
  ASSERT_EQ(Parse(FakeImage(kRsrcThenReloc, 0x2000), &image, &error), 0u) << error;
  EXPECT_EQ(image.sections.size(), 3u);
  EXPECT_EQ(image.resourceRva, 0x2000u);
  EXPECT_EQ(image.sizeOfImage, 0x4000u);
  EXPECT_EQ(image.sectionDataEnd, 0x1000u);
  EXPECT_EQ(image.symbolTableSize, 0u);
  const std::vector<MappedRange> ranges = MappedRanges(image);
  ASSERT_EQ(ranges.size(), 3u);
  EXPECT_EQ(ranges[1].rva, 0x2000u);
  EXPECT_EQ(ranges[1].size, 0x300u);  // the virtual size: the rest of the raw data is padding
  EXPECT_EQ(ranges[1].fileOffset, 0xA00u);
}

TEST(PeImage, RefusesWhatIsNotAPe32I386Image) {
  struct Case {
    const char* label;
    size_t offset;
    uint32_t value;
    int width;
    const char* reason;
  } cases[] = {
      {"no MZ", 0, 'X', 1, "no MZ"},
      {"PE header beyond the file", 0x3C, 0x10000, 4, "no PE signature"},
      {"no PE signature", kPe, 'N', 1, "no PE signature"},
      {"x64 machine", kPe + 4, 0x8664, 2, "machine 0x8664"},
      {"PE32+ optional header", kOptional, 0x20B, 2, "magic 0x20b"},
      {"two data directories", kOptional + 92, 2, 4, "no resource data directory"},
      {"odd file alignment", kOptional + 36, 0x300, 4, "alignment"},
      {"section alignment below file alignment", kOptional + 32, 0x100, 4, "alignment"},
      {"section beyond the file", kTable + 40 + 16, 0x100000, 4, "outside its file"},
      {"headers larger than the file", kOptional + 60, 0x100000, 4, "truncated"},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = FakeImage(kRsrcLast, 0x2000);
    if (c.width == 1) bytes[c.offset] = static_cast<uint8_t>(c.value);
    if (c.width == 2) PutU16(&bytes[c.offset], static_cast<uint16_t>(c.value));
    if (c.width == 4) PutU32(&bytes[c.offset], c.value);
    PeImage image;
    std::string error;
    EXPECT_EQ(Parse(bytes, &image, &error), kPackBadStub) << c.label;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.label << ": " << error;
  }
  PeImage image;
  std::string error;
  EXPECT_EQ(Parse(std::vector<uint8_t>(10, 'M'), &image, &error), kPackBadStub);
}

TEST(PeImage, ReplacesALastResourceSectionAndAppendsOtherwise) {
  struct Case {
    const char* label;
    std::vector<FakeSection> sections;
    uint32_t resourceRva;
    bool replace;
    size_t index;
    uint32_t rva;
    uint32_t fileOffset;
    uint64_t kept;
  } cases[] = {
      // The new section's data always starts on a page boundary, like its address, whatever the
      // file alignment (0x200 here) would allow.
      {"last section", kRsrcLast, 0x2000, true, 1, 0x2000, 0x1000, 0xA00},
      {"relocations follow", kRsrcThenReloc, 0x2000, false, 3, 0x4000, 0x1000, 0x1000},
      {"no resources", {{".text", 0x1000, 0x800, 0x200, 0x800}}, 0, false, 1, 0x2000, 0x1000, 0xA00},
      {"last but not named .rsrc",
       {{".text", 0x1000, 0x800, 0x200, 0x800}, {".data", 0x2000, 0x300, 0xA00, 0x400}}, 0x2000, false, 2, 0x3000, 0x1000, 0xE00},
      {"resources inside a section",
       {{".text", 0x1000, 0x800, 0x200, 0x800}, {".rsrc", 0x2000, 0x300, 0xA00, 0x400}}, 0x2100, false, 2, 0x3000, 0x1000, 0xE00},
      {"last in the file but not by address",
       {{".rsrc", 0x2000, 0x300, 0xA00, 0x400}, {".bss", 0x3000, 0x800, 0, 0}}, 0x2000, false, 2, 0x4000, 0x1000, 0xE00},
      {"data ending past a page boundary",
       {{".text", 0x1000, 0x800, 0x200, 0x800}, {".data", 0x2000, 0x1000, 0xA00, 0xA00}}, 0, false, 2, 0x3000, 0x2000, 0x1400},
  };
  for (const Case& c : cases) {
    PeImage image;
    SectionPlacement placement;
    std::string error;
    ASSERT_EQ(Parse(FakeImage(c.sections, c.resourceRva), &image, &error), 0u) << c.label << error;
    ASSERT_EQ(PlaceResourceSection(image, &placement, &error), 0u) << c.label << error;
    EXPECT_EQ(placement.replace, c.replace) << c.label;
    EXPECT_EQ(placement.index, c.index) << c.label;
    EXPECT_EQ(placement.rva, c.rva) << c.label;
    EXPECT_EQ(placement.fileOffset, c.fileOffset) << c.label;
    EXPECT_EQ(placement.keptStubBytes, c.kept) << c.label;
  }
}

TEST(PeImage, AppendingNeedsAFreeSectionHeader) {
  // Five sections fill the header: their table ends at 0x118 + 5 * 40 = 0x1E0, a sixth would end
  // at 0x208, beyond SizeOfHeaders (0x200).
  std::vector<FakeSection> sections;
  for (uint32_t k = 0; k < 4; ++k) sections.push_back({".s", 0x1000 * (k + 1), 0x100, 0x200 + 0x200 * k, 0x200});
  sections.push_back({".reloc", 0x7000, 0x100, 0xA00, 0x200});
  PeImage image;
  SectionPlacement placement;
  std::string error;
  ASSERT_EQ(Parse(FakeImage(sections, 0x1000), &image, &error), 0u) << error;
  EXPECT_EQ(PlaceResourceSection(image, &placement, &error), kPackBadStub);
  EXPECT_NE(error.find("no room"), std::string::npos) << error;

  // A slot that is not zero is in use by something else.
  std::vector<uint8_t> bytes = FakeImage(kRsrcThenReloc, 0x2000);
  bytes[kTable + 3 * 40 + 39] = 1;
  ASSERT_EQ(Parse(bytes, &image, &error), 0u) << error;
  EXPECT_EQ(PlaceResourceSection(image, &placement, &error), kPackBadStub);
}

TEST(PeImage, PlanRewritesTheHeaders) {
  for (const bool replace : {true, false}) {
    PeImage image;
    SectionPlacement placement;
    OutputLayout layout;
    std::string error;
    ASSERT_EQ(Parse(FakeImage(replace ? kRsrcLast : kRsrcThenReloc, 0x2000), &image, &error), 0u) << error;
    ASSERT_EQ(PlaceResourceSection(image, &placement, &error), 0u) << error;
    ASSERT_EQ(PlanOutput(image, placement, 0x1234, 20, &layout, &error), 0u) << error;
    const uint8_t* h = layout.headers.data();
    const uint8_t* section = h + kTable + 40 * placement.index;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(section), 5), ".rsrc");
    EXPECT_EQ(GetU32(section + 8), 0x1234u);
    EXPECT_EQ(GetU32(section + 12), placement.rva);
    EXPECT_EQ(GetU32(section + 16), 0x1400u);
    EXPECT_EQ(GetU32(section + 20), placement.fileOffset);
    EXPECT_EQ(GetU16(h + kPe + 6), replace ? 2 : 4);
    EXPECT_EQ(GetU32(h + kOptional + 56), (placement.rva + 0x1234 + 0xFFF) & ~0xFFFu);        // SizeOfImage
    EXPECT_EQ(GetU32(h + kOptional + 8), replace ? 0x1000u - 0x400 + 0x1400 : 0x1000u + 0x1400);  // initialized data
    EXPECT_EQ(GetU32(h + kOptional + 64), 0u);                                                // checksum
    EXPECT_EQ(GetU32(h + kOptional + 96 + 16), placement.rva);
    EXPECT_EQ(GetU32(h + kOptional + 96 + 20), 0x1234u);
    EXPECT_EQ(GetU32(h + kOptional + 96 + 32), 0u);  // certificate table gone
    EXPECT_EQ(GetU32(h + kOptional + 96 + 36), 0u);
    EXPECT_EQ(layout.checksumOffset, kOptional + 64);
    EXPECT_EQ(layout.trailerOffset, placement.fileOffset + 0x1400u);
    EXPECT_EQ(layout.fileSize, layout.trailerOffset + 20);
    if (!replace) {
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(h + kTable + 40), 8), ".oldrsrc");
    }
  }
}

TEST(PeImage, PlanMovesTheSymbolTableBehindTheNewSection) {
  std::vector<uint8_t> bytes = FakeImage(kRsrcLast, 0x2000, 0xE00 + 2 * 18 + 8);
  PutU32(&bytes[kPe + 12], 0xE00);  // PointerToSymbolTable, just after .rsrc
  PutU32(&bytes[kPe + 16], 2);      // two symbols, then an 8-byte string table
  PutU32(&bytes[0xE00 + 36], 8);
  PeImage image;
  SectionPlacement placement;
  OutputLayout layout;
  std::string error;
  ASSERT_EQ(Parse(bytes, &image, &error), 0u) << error;
  EXPECT_EQ(image.symbolTableSize, 2u * 18 + 8);
  ASSERT_EQ(PlaceResourceSection(image, &placement, &error), 0u);
  ASSERT_EQ(PlanOutput(image, placement, 0x500, 0, &layout, &error), 0u);
  // The new section starts on the next page (0x1000) and takes 0x600 bytes of file alignment.
  EXPECT_EQ(layout.symbolTableOffset, 0x1000u + 0x600);
  EXPECT_EQ(layout.symbolTableSize, 44u);
  EXPECT_EQ(GetU32(layout.headers.data() + kPe + 12), 0x1600u);
  EXPECT_EQ(layout.fileSize, 0x1600u + 44);

  // A string table that runs past the end of the file: the symbols are dropped.
  PutU32(&bytes[0xE00 + 36], 9);
  ASSERT_EQ(Parse(bytes, &image, &error), 0u);
  ASSERT_EQ(PlanOutput(image, placement, 0x500, 0, &layout, &error), 0u);
  EXPECT_EQ(layout.symbolTableSize, 0u);
  EXPECT_EQ(GetU32(layout.headers.data() + kPe + 12), 0u);
  EXPECT_EQ(GetU32(layout.headers.data() + kPe + 16), 0u);
}

TEST(PeImage, PlanRefusesImagesA32BitProcessCannotMap) {
  PeImage image;
  SectionPlacement placement;
  OutputLayout layout;
  std::string error;
  ASSERT_EQ(Parse(FakeImage(kRsrcLast, 0x2000), &image, &error), 0u);
  ASSERT_EQ(PlaceResourceSection(image, &placement, &error), 0u);
  EXPECT_EQ(PlanOutput(image, placement, kMaximumImageSize - 0x3000, 0, &layout, &error), 0u) << error;
  EXPECT_EQ(PlanOutput(image, placement, kMaximumImageSize - 0x2000 + 1, 0, &layout, &error), kPackTooLarge);
  EXPECT_NE(error.find("address space"), std::string::npos);
}

TEST(PeChecksum, SumsWordsWithCarriesAndAddsTheLength) {
  struct Case {
    std::vector<uint8_t> bytes;
    uint32_t expected;
  } cases[] = {
      {{}, 0},
      {{0x01, 0x02, 0x03}, 0x0201 + 0x0003 + 3},
      {{0xFF, 0xFF, 0x02, 0x00}, 0x0002 + 4},        // 0xFFFF + 2 carries round to 2
      {{0xFF, 0xFF, 0xFF, 0xFF}, 0xFFFF + 4},        // a sum of 0x1FFFE folds to 0xFFFF
  };
  for (const Case& c : cases) {
    PeChecksum checksum;
    checksum.Add(c.bytes.data(), c.bytes.size());
    EXPECT_EQ(checksum.Finish(c.bytes.size()), c.expected) << c.bytes.size();
  }
}

TEST(PeChecksum, DoesNotDependOnHowTheBytesAreChunked) {
  std::mt19937 random(7);
  std::vector<uint8_t> bytes(100003);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  PeChecksum whole;
  whole.Add(bytes.data(), bytes.size());
  for (size_t chunk : {1u, 2u, 3u, 4095u, 65536u}) {
    PeChecksum parts;
    for (size_t at = 0; at < bytes.size(); at += chunk) parts.Add(bytes.data() + at, std::min(chunk, bytes.size() - at));
    EXPECT_EQ(parts.Finish(bytes.size()), whole.Finish(bytes.size())) << chunk;
  }
}

}  // namespace
}  // namespace harnex::packer
