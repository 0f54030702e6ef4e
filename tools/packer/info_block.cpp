#include "tools/packer/info_block.h"

#include <algorithm>

#include "tools/packer/pack_error.h"

namespace harnex::packer {

uint32_t CheckInfoSize(uint64_t size, std::string* error) {
  if (size <= kMaximumInfoSize) return 0;
  *error = "the information is " + std::to_string(size) + " bytes long; the bootstrapper finds at most " +
           std::to_string(kMaximumInfoSize);
  return kPackBadCommandLine;
}

uint32_t BuildInfoBlock(const std::vector<uint8_t>& info, std::vector<uint8_t>* block, std::string* error) {
  const uint32_t code = CheckInfoSize(info.size(), error);
  if (code != 0) return code;
  const uint8_t* marker = reinterpret_cast<const uint8_t*>(kInfoMarker);
  if (std::search(info.begin(), info.end(), marker, marker + kInfoMarkerSize) != info.end()) {
    *error = "the information contains \"MRDC\": the bootstrapper would read only what follows it";
    return kPackBadCommandLine;
  }
  block->assign(marker, marker + kInfoMarkerSize);
  block->insert(block->end(), info.begin(), info.end());
  block->insert(block->end(), kInfoTrailingZeros, 0);
  return 0;
}

}  // namespace harnex::packer
