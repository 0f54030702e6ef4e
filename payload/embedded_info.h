// The block of extra information that a build may carry near the end of the program's own file,
// after the marker "MRDC", written out as "info.xml" in the work folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The scanned window: the 4116 bytes that end one byte before the end of the file.
constexpr size_t kEmbeddedWindowSize = 4116;

// Where the information lies in the window: `length` bytes from `start`; length 0 when there is none.
struct EmbeddedSpan {
  size_t start = 0;
  size_t length = 0;
};

// Looks for the marker at window indexes 4111 down to 1 and takes the one nearest the end; the
// information runs from after it up to window index 4111 (exclusive). `window` holds
// kEmbeddedWindowSize bytes.
EmbeddedSpan FindEmbeddedInformation(const uint8_t* window);

// Scans the program's own file and writes any information found to "info.xml" in the work folder
// (naming and creating the work folder). Logs what it does; always returns 0.
uint32_t WriteEmbeddedInformation();

// WriteEmbeddedInformation on the file at `programPath`.
uint32_t WriteEmbeddedInformationFrom(const std::wstring& programPath);
