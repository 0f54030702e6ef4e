#include "payload/remove.h"

#include <cwchar>

#include "cmdline/log.h"
#include "framework/handle.h"
#include "payload/work_folder.h"

EntryAction DecideEntryAction(DWORD attributes, const std::wstring& name, size_t room) {
  bool isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  // An empty name would make the entry's path the folder itself.
  if (name.empty() || (isFolder && (name == L"." || name == L".."))) return EntryAction::Skip;
  if (name.size() + 1 > room) return EntryAction::SkipTooLong;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return isFolder ? EntryAction::RemoveFolderLink : EntryAction::DeleteFileEntry;
  }
  return isFolder ? EntryAction::SweepSubfolder : EntryAction::DeleteFileEntry;
}

void DeleteFolderTree(const std::wstring& folder) {
  if (folder.empty()) return;

  wchar_t buffer[kSweepBufferSize];
  size_t entryPosition = folder.size();
  bool needsSeparator = folder.back() != L'\\';
  if (needsSeparator) ++entryPosition;
  static constexpr wchar_t kPattern[] = L"*.*";
  constexpr size_t kPatternLength = 3;

  // A folder that is itself a link is removed as a link, never searched; so is one whose search
  // pattern does not fit.
  DWORD folderAttributes = ::GetFileAttributesW(folder.c_str());
  bool searchable =
      folderAttributes == INVALID_FILE_ATTRIBUTES || (folderAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
  if (searchable && entryPosition + kPatternLength < kSweepBufferSize) {
    folder.copy(buffer, folder.size());
    if (needsSeparator) buffer[folder.size()] = L'\\';
    wmemcpy(buffer + entryPosition, kPattern, kPatternLength + 1);

    WIN32_FIND_DATAW entry;
    harnex::UniqueFind search(
        ::FindFirstFileExW(buffer, FindExInfoStandard, &entry, FindExSearchNameMatch, nullptr, 0));
    if (search) {
      const size_t room = kSweepBufferSize - entryPosition;
      do {
        std::wstring name = entry.cFileName;
        EntryAction action = DecideEntryAction(entry.dwFileAttributes, name, room);
        if (action == EntryAction::Skip || action == EntryAction::SkipTooLong) continue;
        wmemcpy(buffer + entryPosition, name.c_str(), name.size() + 1);
        switch (action) {
          case EntryAction::SweepSubfolder:
            LogFormat(L"Deletion subfolder Folder of '%s'\n", buffer);
            DeleteFolderTree(buffer);
            break;
          case EntryAction::RemoveFolderLink:
            LogFormat(L"Remove Folder '%s'\n", buffer);
            ::RemoveDirectoryW(buffer);
            break;
          default:
            LogFormat(L"Deletion file '%s'\n", buffer);
            ::DeleteFileW(buffer);
            break;
        }
      } while (::FindNextFileW(search.get(), &entry));
      buffer[entryPosition] = L'\0';
    }
  }

  LogFormat(L"Remove Folder '%s'\n", folder.c_str());
  ::RemoveDirectoryW(folder.c_str());
}

bool ReachesThroughLink(const std::wstring& workFolder, const std::wstring& path,
                        const std::function<DWORD(const std::wstring&)>& attributesOf) {
  auto isLink = [&](const std::wstring& folder) {
    DWORD attributes = attributesOf(folder);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  };
  if (isLink(workFolder)) return true;
  for (size_t separator = path.find(L'\\', workFolder.size() + 1); separator != std::wstring::npos;
       separator = path.find(L'\\', separator + 1)) {
    if (isLink(path.substr(0, separator))) return true;
  }
  return false;
}

uint32_t RemoveWorkFolder(const Catalogue& catalogue) {
  // The front end, or anything else, may have replaced a folder on an item's way with a link
  // while it ran: an item reached through a link is left to the sweep, which removes the link.
  const std::wstring folder = GetWorkFolder();
  auto attributesOf = [](const std::wstring& path) { return ::GetFileAttributesW(path.c_str()); };
  for (const auto& item : catalogue) {
    std::wstring path;
    GetItemPath(*item, path);
    if (path.empty()) continue;
    LogFormat(L"Manual Deletion of '%s'\n", path.c_str());
    if (!ReachesThroughLink(folder, path, attributesOf)) ::DeleteFileW(path.c_str());
  }

  ::SetCurrentDirectoryW(L"\\");
  if (folder.empty()) return 0;
  LogFormat(L"Deletion Folder of '%s'\n", folder.c_str());
  DeleteFolderTree(folder);
  return 0;
}
