#include "prereq/registry_reader.h"

#include <cstring>
#include <cwctype>

#include "framework/handle.h"

bool CRegistryReader::ReadValue(const wchar_t* keyPath, const wchar_t* valueName, void* buffer, DWORD& size) {
  harnex::UniqueKey key;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return false;
  DWORD bytes = size;
  if (::RegQueryValueExW(key.get(), valueName, nullptr, nullptr, static_cast<BYTE*>(buffer), &bytes) != ERROR_SUCCESS)
    return false;
  size = bytes;
  return true;
}

namespace {

std::wstring Lower(const std::wstring& text) {
  std::wstring result(text);
  for (wchar_t& c : result) c = static_cast<wchar_t>(std::towlower(c));
  return result;
}

std::vector<BYTE> TextBytes(const std::wstring& text, bool terminated) {
  size_t units = text.size() + (terminated ? 1 : 0);
  std::vector<BYTE> bytes(units * sizeof(wchar_t));
  if (!bytes.empty()) std::memcpy(bytes.data(), text.c_str(), bytes.size());
  return bytes;
}

}  // namespace

void CMemoryRegistryReader::AddKey(const std::wstring& keyPath) { m_keys[Lower(keyPath)]; }

void CMemoryRegistryReader::SetBytes(const std::wstring& keyPath, const std::wstring& valueName,
                                     std::vector<BYTE> bytes) {
  m_keys[Lower(keyPath)][Lower(valueName)] = std::move(bytes);
}

void CMemoryRegistryReader::SetDword(const std::wstring& keyPath, const std::wstring& valueName, DWORD value) {
  SetBytes(keyPath, valueName,
           {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
            static_cast<BYTE>(value >> 24)});
}

void CMemoryRegistryReader::SetString(const std::wstring& keyPath, const std::wstring& valueName,
                                      const std::wstring& text) {
  SetBytes(keyPath, valueName, TextBytes(text, true));
}

void CMemoryRegistryReader::SetUnterminatedString(const std::wstring& keyPath, const std::wstring& valueName,
                                                  const std::wstring& text) {
  SetBytes(keyPath, valueName, TextBytes(text, false));
}

bool CMemoryRegistryReader::ReadValue(const wchar_t* keyPath, const wchar_t* valueName, void* buffer, DWORD& size) {
  std::wstring name = valueName != nullptr ? valueName : L"";
  m_queries.emplace_back(keyPath, name);
  auto key = m_keys.find(Lower(keyPath));
  if (key == m_keys.end()) return false;  // ERROR_FILE_NOT_FOUND from the open
  auto value = key->second.find(Lower(name));
  if (value == key->second.end()) return false;  // ERROR_FILE_NOT_FOUND from the query
  const std::vector<BYTE>& data = value->second;
  DWORD capacity = size;
  size = static_cast<DWORD>(data.size());
  if (buffer == nullptr) return true;  // a size query, as the registry answers it
  BYTE* bytes = static_cast<BYTE*>(buffer);
  if (data.size() > capacity) {
    std::memset(bytes, kScribble, capacity);  // ERROR_MORE_DATA: the buffer holds nothing useful
    return false;
  }
  if (!data.empty()) std::memcpy(bytes, data.data(), data.size());
  std::memset(bytes + data.size(), kScribble, capacity - data.size());
  return true;
}

bool CMemoryRegistryReader::WasKeyQueried(const std::wstring& keyPath) const {
  std::wstring wanted = Lower(keyPath);
  for (const auto& query : m_queries)
    if (Lower(query.first) == wanted) return true;
  return false;
}
