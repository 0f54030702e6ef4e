// Writing the payload items into the work folder, and the payload step that catalogues and
// extracts them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "payload/catalogue.h"

// The largest single write: one huge WriteFile can fail on 32-bit Windows.
constexpr DWORD kMaxWritePiece = 8 * 1024 * 1024;
// Items larger than kMaxWritePiece are written in pieces of this size. The bytes come from the
// mapped executable, and smaller pieces let each write fault in fewer pages at a time: measured
// under Wine, a 256 MB item takes about half as long in 1 MB pieces as in 8 MB ones.
constexpr DWORD kLargeItemWritePiece = 1024 * 1024;

// The piece size for an item of `length` bytes: one write up to kMaxWritePiece, else kLargeItemWritePiece.
DWORD WritePieceFor(DWORD length);

// Writes `length` bytes from `bytes` to `file` in pieces of at most `maxPiece` bytes, stopping at
// the first failed or short write. Returns the number of bytes written.
DWORD WriteInPieces(HANDLE file, const void* bytes, DWORD length, DWORD maxPiece = kMaxWritePiece);

// Writes the item's resource, straight from the locked resource memory, to its path in the work
// folder (creating missing folders). 0; 0x80040167 when every byte was written but the count
// differs from the item's expected size; 0x80004005 for any other failure.
uint32_t ExtractFile(const CResource& item);

// ExtractFile for every named item, head first, logging each; stops at the first failure.
uint32_t ExtractFiles(const Catalogue& catalogue);

// The payload step: EnumerateResources on `module`, WorkOutFileNames, then ExtractFiles.
// `frontEndPath` receives the front end's path in the work folder (empty when there is none).
uint32_t ExtractPayload(HMODULE module, Catalogue& catalogue, std::wstring& frontEndPath);
