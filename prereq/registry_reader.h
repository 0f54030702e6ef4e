// Reading raw registry values under HKEY_LOCAL_MACHINE: the interface, the real reader and an
// in-memory reader with the same observable behaviour for unit tests.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

class IRegistryReader {
 public:
  virtual ~IRegistryReader() = default;

  // Reads value `valueName` of key `keyPath` (under HKEY_LOCAL_MACHINE) into `buffer`, which holds
  // `size` bytes. True only when the key opens and the whole value fits; `size` then holds the
  // number of bytes written; the buffer's bytes after them are unspecified (the registry may add
  // a terminator after a string). On false, `size` and the buffer's contents are unspecified. The
  // value's registry type is not examined.
  virtual bool ReadValue(const wchar_t* keyPath, const wchar_t* valueName, void* buffer, DWORD& size) = 0;
};

// The registry as the calling process sees it: a 32-bit process reads the 32-bit view.
class CRegistryReader : public IRegistryReader {
 public:
  bool ReadValue(const wchar_t* keyPath, const wchar_t* valueName, void* buffer, DWORD& size) override;
};

// Keys and values held in memory. Key paths and value names match without regard to case, as in
// the registry. A value that does not fit the buffer fails the read (the registry's
// ERROR_MORE_DATA) and leaves the buffer scribbled over; the bytes after a value that fits are
// scribbled over too, so a caller that reads past what was written is caught.
class CMemoryRegistryReader : public IRegistryReader {
 public:
  // Makes the key exist without values.
  void AddKey(const std::wstring& keyPath);
  // Sets a value's raw bytes, creating its key.
  void SetBytes(const std::wstring& keyPath, const std::wstring& valueName, std::vector<BYTE> bytes);
  // A REG_DWORD: four bytes, little-endian.
  void SetDword(const std::wstring& keyPath, const std::wstring& valueName, DWORD value);
  // A REG_SZ: the UTF-16 text and its terminating zero.
  void SetString(const std::wstring& keyPath, const std::wstring& valueName, const std::wstring& text);
  // UTF-16 text stored without a terminating zero.
  void SetUnterminatedString(const std::wstring& keyPath, const std::wstring& valueName, const std::wstring& text);

  bool ReadValue(const wchar_t* keyPath, const wchar_t* valueName, void* buffer, DWORD& size) override;

  // Every (key path, value name) asked for, in call order, as the caller spelled them.
  const std::vector<std::pair<std::wstring, std::wstring>>& Queries() const { return m_queries; }
  // Whether any value of `keyPath` was asked for.
  bool WasKeyQueried(const std::wstring& keyPath) const;

  static constexpr BYTE kScribble = 0xCD;

 private:
  std::map<std::wstring, std::map<std::wstring, std::vector<BYTE>>> m_keys;  // lower-cased names
  std::vector<std::pair<std::wstring, std::wstring>> m_queries;
};
