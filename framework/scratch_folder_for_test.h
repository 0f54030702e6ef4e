// Test-only helpers: a scratch folder of the test's own under the temporary-files folder, removed
// with everything in it afterwards, and small file readers and writers.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/handle.h"

namespace harnex_test {

// Removes `path` and everything below it, without following links; long paths allowed.
inline void RemoveTree(const std::wstring& path) {
  std::wstring longPath = path.compare(0, 4, L"\\\\?\\") == 0 ? path : L"\\\\?\\" + path;
  DWORD attributes = ::GetFileAttributesW(longPath.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    WIN32_FIND_DATAW entry;
    harnex::UniqueFind search(::FindFirstFileW((longPath + L"\\*").c_str(), &entry));
    if (search) {
      do {
        std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..") RemoveTree(longPath + L"\\" + name);
      } while (::FindNextFileW(search.get(), &entry));
    }
    ::RemoveDirectoryW(longPath.c_str());
  } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    ::RemoveDirectoryW(longPath.c_str());
  } else {
    ::SetFileAttributesW(longPath.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(longPath.c_str());
  }
}

class ScratchFolder {
 public:
  ScratchFolder() {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    static int counter = 0;
    path_ = std::wstring(temp) + L"hp" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
    RemoveTree(path_);
    ::CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~ScratchFolder() { RemoveTree(path_); }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::wstring& Path() const { return path_; }
  std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

inline bool Exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline bool IsFolder(const std::wstring& path) {
  DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The whole file's bytes; "<missing>" when it cannot be opened.
inline std::string ReadBytes(const std::wstring& path) {
  harnex::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return "<missing>";
  std::string bytes;
  char buffer[65536];
  DWORD read = 0;
  while (::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
  return bytes;
}

inline bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  harnex::UniqueFile file(
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return file && ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

// The names in `folder`, without "." and "..", in the order the system reports them.
inline std::vector<std::wstring> ListNames(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW entry;
  harnex::UniqueFind search(::FindFirstFileW((folder + L"\\*").c_str(), &entry));
  if (!search) return names;
  do {
    std::wstring name = entry.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (::FindNextFileW(search.get(), &entry));
  return names;
}

}  // namespace harnex_test
