// One payload item: an integer-named TOOLKIT resource of the program's own module; the catalogue of
// those items and the payload index that names them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <string>

#include "framework/handle.h"

class CResource {
 public:
  uint32_t m_nId = 0;
  int32_t m_nSize = 0;         // expected length in bytes, from the payload index
  std::wstring m_strType;      // the resource type the item was found under
  HMODULE m_hModule = nullptr;
  std::wstring m_strFileName;  // relative to the work folder; empty: neither extracted nor the front end
};

using Catalogue = std::list<std::unique_ptr<CResource>>;

// One id*file name*size triple of the payload index.
struct CResourceFile {
  uint32_t m_nId = 0;
  int32_t m_nSize = 0;
  std::wstring m_strFileName;
};

// The payload index is the TOOLKIT item with this id.
constexpr uint32_t kPayloadIndexId = 101;

// Adds one item per integer-named TOOLKIT resource of `module` at the head of `catalogue` (so the
// catalogue ends up in descending id order), logging each. 0, or 0x80004005 when the module's
// TOOLKIT resources cannot be enumerated. Not reentrant.
uint32_t EnumerateResources(HMODULE module, Catalogue& catalogue);

// An item's resource held loaded: its bytes straight from the module's memory, never copied.
struct LockedResource {
  harnex::UniqueResource loaded;
  const void* bytes = nullptr;
  DWORD size = 0;
};

// Finds, loads and locks the item's resource; false when any of the three fails.
bool LockItemResource(const CResource& item, LockedResource& locked);

// The item's resource read as 8-bit text in the thread's ANSI code page. 0, or 0x80004005 when the
// resource cannot be found, loaded or locked.
uint32_t LoadIndexText(const CResource& item, std::wstring& text);

// Fills `index` from the "*"-separated id*name*size triples of `text`; a later triple replaces an
// earlier one with the same id. Never fails: returns 0.
uint32_t ParseIndex(const std::wstring& text, std::map<uint32_t, CResourceFile>& index);

// True when the first ".exe" (case-sensitive) in the item's file name starts after position 0.
bool IsExe(const CResource& item);

// Gives every catalogue item that the payload index names its file name and size, and sets
// `frontEnd` to the qualifying item with the lowest id (nullptr when none). 0, or the code of
// LoadIndexText when the index item cannot be read.
uint32_t WorkOutFileNames(Catalogue& catalogue, CResource*& frontEnd);
