#include "payload/extract.h"

#include <shlobj.h>

#include "cmdline/log.h"
#include "framework/handle.h"
#include "payload/work_folder.h"

namespace {

constexpr uint32_t kFail = 0x80004005;
constexpr uint32_t kSizeMismatch = 0x80040167;

}  // namespace

DWORD WriteInPieces(HANDLE file, const void* bytes, DWORD length, DWORD maxPiece) {
  const BYTE* next = static_cast<const BYTE*>(bytes);
  DWORD total = 0;
  while (total < length) {
    DWORD piece = length - total < maxPiece ? length - total : maxPiece;
    DWORD written = 0;
    if (!::WriteFile(file, next + total, piece, &written, nullptr)) break;
    total += written;
    if (written != piece) break;
  }
  return total;
}

DWORD WritePieceFor(DWORD length) { return length <= kMaxWritePiece ? kMaxWritePiece : kLargeItemWritePiece; }

uint32_t ExtractFile(const CResource& item) {
  LockedResource resource;
  if (!LockItemResource(item, resource)) return kFail;
  const DWORD length = resource.size;

  std::wstring path;
  if (!GetItemPath(item, path)) return kFail;
  size_t lastSeparator = path.find_last_of(L'\\');
  if (lastSeparator != std::wstring::npos) {
    std::wstring parent = path.substr(0, lastSeparator);
    ::SHCreateDirectoryExW(nullptr, parent.c_str(), nullptr);
  }

  harnex::UniqueFile file(
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return kFail;
  if (WriteInPieces(file.get(), resource.bytes, length, WritePieceFor(length)) != length) return kFail;
  return static_cast<int64_t>(length) == item.m_nSize ? 0 : kSizeMismatch;
}

uint32_t ExtractFiles(const Catalogue& catalogue) {
  uint32_t result = 0;
  for (auto item = catalogue.begin(); item != catalogue.end() && result == 0; ++item) {
    if ((*item)->m_strFileName.empty()) continue;
    result = ExtractFile(**item);
    LogFormat(L"Extract File %s %x\n", (*item)->m_strFileName.c_str(), result);
  }
  return result;
}

uint32_t ExtractPayload(HMODULE module, Catalogue& catalogue, std::wstring& frontEndPath) {
  frontEndPath.clear();
  uint32_t result = EnumerateResources(module, catalogue);
  if (result != 0) return result;
  CResource* frontEnd = nullptr;
  result = WorkOutFileNames(catalogue, frontEnd);
  if (result != 0) return result;
  if (frontEnd != nullptr) GetItemPath(*frontEnd, frontEndPath);
  return ExtractFiles(catalogue);
}
