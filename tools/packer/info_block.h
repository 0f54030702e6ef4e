// The embedded information block that ends an output file: the marker "MRDC", the information,
// then six zero bytes. The bootstrapper scans the file's last 4116 bytes for the marker nearest the
// end and takes the bytes after it up to the last six bytes of the file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace harnex::packer {

constexpr char kInfoMarker[] = "MRDC";
constexpr size_t kInfoMarkerSize = 4;
constexpr size_t kInfoTrailingZeros = 6;
constexpr size_t kMaximumInfoSize = 4106;  // a marker at the first index the scan examines

// Returns 0, or kPackBadCommandLine with a reason when `size` bytes of information are too many.
uint32_t CheckInfoSize(uint64_t size, std::string* error);

// Builds the block. Returns 0, or kPackBadCommandLine when the information is longer than
// kMaximumInfoSize (the scan would not reach its marker) or holds the marker itself (the scan
// would start after the inner marker and lose what precedes it).
uint32_t BuildInfoBlock(const std::vector<uint8_t>& info, std::vector<uint8_t>* block, std::string* error);

}  // namespace harnex::packer
