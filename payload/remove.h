// Removing the work folder at the end of a run: each item's file by name, then a sweep of the tree.
// The sweep never follows a junction or symbolic link: a link is removed as itself.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "payload/catalogue.h"

// The sweep's path buffer, terminator included: folder path, backslash, entry name.
constexpr size_t kSweepBufferSize = 265;

enum class EntryAction {
  Skip,              // "." and ".." (and an empty name)
  SkipTooLong,       // the entry's full path does not fit in the sweep buffer
  DeleteFileEntry,   // a file, or a link to a file: DeleteFileW removes the entry itself
  SweepSubfolder,    // a real folder: swept, then removed
  RemoveFolderLink,  // a junction or directory link: RemoveDirectoryW removes the link, never its target
};

// What the sweep does with one entry, given its attributes, its name and the room for a name in
// the buffer (buffer size less the entry position, terminator included).
EntryAction DecideEntryAction(DWORD attributes, const std::wstring& name, size_t room);

// True when `path`, below `workFolder`, is reached through a link: the work folder itself or a
// folder between it and the path's last component is a junction or symbolic link (by
// `attributesOf`, GetFileAttributesW in the program). Such a path may lead anywhere.
bool ReachesThroughLink(const std::wstring& workFolder, const std::wstring& path,
                        const std::function<DWORD(const std::wstring&)>& attributesOf);

// Deletes every catalogue item's file (never through a link), then the whole work folder; logs each step. Does nothing to
// the disk when there is no work folder. Always returns 0.
uint32_t RemoveWorkFolder(const Catalogue& catalogue);

// Deletes the files and subfolders of `folder` depth first, then the folder; failures are ignored.
// A `folder` that is itself a link is removed without being searched. An empty path does nothing
// (it would name the drive root).
void DeleteFolderTree(const std::wstring& folder);
