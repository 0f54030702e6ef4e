#include "payload/catalogue.h"

#include "cmdline/log.h"
#include "framework/handle.h"
#include "framework/strings.h"

namespace {

constexpr uint32_t kFail = 0x80004005;
constexpr wchar_t kToolkitType[] = L"TOOLKIT";
constexpr wchar_t kSeparator = L'*';

// The catalogue being filled; set only for the duration of EnumResourceNamesW.
Catalogue* g_enumeratingCatalogue = nullptr;

BOOL CALLBACK AddToolkitItem(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR) {
  if (!IS_INTRESOURCE(name) || g_enumeratingCatalogue == nullptr) return TRUE;
  auto item = std::make_unique<CResource>();
  item->m_nId = static_cast<uint32_t>(reinterpret_cast<ULONG_PTR>(name));
  item->m_strType = IS_INTRESOURCE(type) ? std::wstring() : std::wstring(type);
  item->m_hModule = module;
  LogFormat(L"Enumerate Resources %s %x\n", item->m_strType.c_str(), item->m_nId);
  g_enumeratingCatalogue->push_front(std::move(item));
  return TRUE;
}

// Skips the separators at `position`, then returns the characters up to the next separator or the
// end; `position` ends after them. An empty result means the text has ended.
std::wstring NextToken(const std::wstring& text, size_t& position) {
  while (position < text.size() && text[position] == kSeparator) ++position;
  size_t start = position;
  while (position < text.size() && text[position] != kSeparator) ++position;
  return text.substr(start, position - start);
}

}  // namespace

uint32_t EnumerateResources(HMODULE module, Catalogue& catalogue) {
  g_enumeratingCatalogue = &catalogue;
  BOOL enumerated = ::EnumResourceNamesW(module, kToolkitType, AddToolkitItem, 0);
  g_enumeratingCatalogue = nullptr;
  if (!enumerated) return kFail;
  LogText(L"Enumerate Resources OK \n");
  return 0;
}

bool LockItemResource(const CResource& item, LockedResource& locked) {
  HRSRC found = ::FindResourceW(item.m_hModule, MAKEINTRESOURCEW(item.m_nId), item.m_strType.c_str());
  if (found == nullptr) return false;
  locked.loaded.reset(::LoadResource(item.m_hModule, found));
  if (!locked.loaded) return false;
  locked.bytes = ::LockResource(locked.loaded.get());
  if (locked.bytes == nullptr) return false;
  locked.size = ::SizeofResource(item.m_hModule, found);
  return true;
}

uint32_t LoadIndexText(const CResource& item, std::wstring& text) {
  text.clear();
  LockedResource index;
  if (!LockItemResource(item, index)) return kFail;
  text = harnex::FromThreadAnsi(static_cast<const char*>(index.bytes), index.size);
  return 0;
}

uint32_t ParseIndex(const std::wstring& text, std::map<uint32_t, CResourceFile>& index) {
  size_t position = 0;
  std::wstring idToken = NextToken(text, position);
  while (!idToken.empty()) {
    std::wstring fileName = NextToken(text, position);
    if (fileName.empty()) break;
    CResourceFile entry;
    entry.m_nId = static_cast<uint32_t>(harnex::ParseSignedDecimal(idToken));
    entry.m_nSize = static_cast<int32_t>(harnex::ParseSignedDecimal(NextToken(text, position)));
    entry.m_strFileName = fileName;
    index[entry.m_nId] = entry;
    idToken = NextToken(text, position);
  }
  return 0;
}

bool IsExe(const CResource& item) {
  size_t found = item.m_strFileName.find(L".exe");
  return found != std::wstring::npos && found > 0;
}

uint32_t WorkOutFileNames(Catalogue& catalogue, CResource*& frontEnd) {
  std::map<uint32_t, CResourceFile> index;
  uint32_t result = 0;
  frontEnd = nullptr;

  for (const auto& item : catalogue) {
    if (item->m_nId != kPayloadIndexId) continue;
    std::wstring text;
    result = LoadIndexText(*item, text);
    if (result == 0) ParseIndex(text, index);
    break;
  }

  if (result == 0) {
    for (const auto& item : catalogue) {
      auto entry = index.find(item->m_nId);
      if (entry == index.end()) continue;
      item->m_strFileName = entry->second.m_strFileName;
      item->m_nSize = entry->second.m_nSize;
      if (IsExe(*item)) frontEnd = item.get();
      LogFormat(L"Work Out FileName %s, Bytes %ld\n", item->m_strFileName.c_str(), static_cast<long>(item->m_nSize));
    }
  }

  LogFormat(L"WorkOutFileNames %x\n", result);
  return result;
}
