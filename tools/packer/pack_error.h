// Failure codes of the packer's steps. Each step returns one (0 = success) together with a
// one-line reason; the program prints the reason and exits with the code.
#pragma once

#include <cstdint>

namespace harnex::packer {

constexpr uint32_t kPackOk = 0;
constexpr uint32_t kPackBadCommandLine = 2;  // unknown option, bad or duplicate id, bad name, info too long
constexpr uint32_t kPackBadStub = 3;         // stub missing or unreadable, not a PE32 i386 image, malformed
constexpr uint32_t kPackBadInput = 4;        // an item, index text or information file cannot be read
constexpr uint32_t kPackWriteFailed = 5;     // the output cannot be written or put in place
constexpr uint32_t kPackTooLarge = 6;        // the image would exceed what a 32-bit process can map

}  // namespace harnex::packer
