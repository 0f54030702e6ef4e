#include "payload/work_folder.h"

#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "framework/handle.h"

const GUID kFallbackWorkFolderGuid = {0x66EC6C3A, 0x0B4A, 0x4CAB, {0xA2, 0x4A, 0x53, 0xB2, 0xD4, 0x17, 0x6C, 0xD1}};

namespace {

constexpr uint32_t kFail = 0x80004005;
constexpr size_t kMaxPathLength = MAX_PATH - 1;  // characters, the terminator not counted
constexpr wchar_t kFallbackGuidText[] = L"{00000001-0000-0000-0000-000000000001}";

std::wstring g_basePath;
std::wstring g_workFolderPath;
bool g_zeroGuid = false;

// The absolute, normalised form of `path` as the file system will see it; false when it does not
// fit in 259 characters.
bool FullPath(const std::wstring& path, std::wstring& full) {
  wchar_t buffer[MAX_PATH];
  DWORD length = ::GetFullPathNameW(path.c_str(), MAX_PATH, buffer, nullptr);
  if (length == 0 || length > kMaxPathLength) return false;
  full.assign(buffer, length);
  return true;
}

// A name that would not be taken relative to the folder it is joined to: rooted ("\x", "/x", UNC)
// or carrying a drive ("C:\x", "C:x").
bool IsRootedOrDriveName(const std::wstring& name) {
  if (!name.empty() && (name[0] == L'\\' || name[0] == L'/')) return true;
  return name.size() >= 2 && name[1] == L':';
}

// True when `full` names something below `folder` (both absolute), not the folder itself.
bool IsBelow(const std::wstring& folder, const std::wstring& full) {
  std::wstring prefix = folder;
  if (prefix.empty() || prefix.back() != L'\\') prefix += L'\\';
  if (full.size() <= prefix.size()) return false;
  return ::CompareStringOrdinal(full.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                                static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

bool JoinPath(const std::wstring& base, const std::wstring& more, std::wstring& joined) {
  joined.clear();
  size_t separator = more.empty() ? 0 : 1;
  if (base.size() > kMaxPathLength || base.size() + separator + more.size() > kMaxPathLength) return false;
  wchar_t buffer[MAX_PATH] = {};
  base.copy(buffer, base.size());
  if (!::PathAppendW(buffer, more.c_str())) return false;
  joined = buffer;
  return true;
}

GUID ChooseWorkFolderGuid(bool zeroGuid, HRESULT createResult, const GUID& created) {
  if (zeroGuid) return GUID_NULL;
  if (FAILED(createResult)) return kFallbackWorkFolderGuid;
  return created;
}

std::wstring GuidText(const GUID& guid) {
  wchar_t buffer[50];
  if (::StringFromGUID2(guid, buffer, 50) == 0) return kFallbackGuidText;
  return buffer;
}

uint32_t ProbeFolder(const std::wstring& baseFolder) {
  g_basePath = baseFolder;
  GUID probeGuid = GUID_NULL;
  ::CoCreateGuid(&probeGuid);
  std::wstring probePath;
  if (!JoinPath(baseFolder, GuidText(probeGuid), probePath)) return kFail;

  ::CreateDirectoryW(baseFolder.c_str(), nullptr);
  harnex::UniqueFile probe(::CreateFileW(probePath.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE,
                                         nullptr));
  return probe ? 0 : kFail;
}

void SetWorkFolderZeroGuid(bool zeroGuid) { g_zeroGuid = zeroGuid; }

std::wstring GetWorkFolder() {
  if (!g_workFolderPath.empty()) return g_workFolderPath;

  GUID created = GUID_NULL;
  HRESULT createResult = g_zeroGuid ? S_OK : ::CoCreateGuid(&created);
  std::wstring joined;
  if (!JoinPath(g_basePath, GuidText(ChooseWorkFolderGuid(g_zeroGuid, createResult, created)), joined)) return {};

  // Kept absolute: the launch changes the current folder, and every later user must see this one.
  std::wstring full;
  if (!FullPath(joined, full)) return {};
  g_workFolderPath = full;
  ::SHCreateDirectoryExW(nullptr, g_workFolderPath.c_str(), nullptr);
  return g_workFolderPath;
}

bool GetWorkFolderItemPath(const std::wstring& fileName, std::wstring& path) {
  path.clear();
  std::wstring folder = GetWorkFolder();
  if (folder.empty()) return false;
  if (fileName.empty()) {
    path = folder;
    return true;
  }
  if (IsRootedOrDriveName(fileName)) return false;

  std::wstring joined;
  std::wstring full;
  if (!JoinPath(folder, fileName, joined) || !FullPath(joined, full) || !IsBelow(folder, full)) return false;
  path = full;
  return true;
}

bool GetItemPath(const CResource& item, std::wstring& path) { return GetWorkFolderItemPath(item.m_strFileName, path); }

void ResetWorkFolderForTest() {
  g_basePath.clear();
  g_workFolderPath.clear();
  g_zeroGuid = false;
}
