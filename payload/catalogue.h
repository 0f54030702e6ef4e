// One payload item: an integer-named TOOLKIT resource of the program's own module.
#pragma once

#include <windows.h>

#include <cstdint>
#include <list>
#include <memory>
#include <string>

class CResource {
 public:
  uint32_t m_nId = 0;
  int32_t m_nSize = 0;         // expected length in bytes, from the payload index
  std::wstring m_strType;      // the resource type the item was found under
  HMODULE m_hModule = nullptr;
  std::wstring m_strFileName;  // relative to the work folder; empty: neither extracted nor the front end
};

using Catalogue = std::list<std::unique_ptr<CResource>>;
