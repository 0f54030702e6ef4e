// The run's work folder: the base folder given to the last probe, and the GUID-named folder made
// under it once per run. Process-wide state, used by the worker thread only.
//
// Every path here lives in a MAX_PATH buffer: a base, work-folder or item path longer than 259
// characters fails its step instead of being truncated. An empty work-folder path from
// GetWorkFolder means "no usable work folder"; callers treat it as a failure and never use it as
// a path (an empty path would name the current folder or the drive root).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "payload/catalogue.h"

// The name used when creating a fresh GUID fails: 66EC6C3A-0B4A-4CAB-A24A-53B2D4176CD1.
extern const GUID kFallbackWorkFolderGuid;

// Records `baseFolder` as the base path, creates it (one level; errors ignored) and checks that a
// file can be created in it (a fresh GUID-named file, deleted on close). 0, or 0x80004005 when the
// probe file cannot be created or its path does not fit in 259 characters (nothing is created then).
uint32_t ProbeFolder(const std::wstring& baseFolder);

// Settles the "zeroguid" switch; read when the work folder is named, so set it before the first
// GetWorkFolder of the run.
void SetWorkFolderZeroGuid(bool zeroGuid);

// The work folder: the full path of the base joined with a GUID text. Formed, and created with
// every missing parent, on the first call; the same path on every later call. Empty when the path
// does not fit in 259 characters (nothing is created, and a later call tries again).
std::wstring GetWorkFolder();

// The work folder joined with `fileName` the way PathAppendW joins ("." and ".." resolved); an
// empty name gives the work folder itself. False (and `path` empty) when there is no work folder,
// the path does not fit in 259 characters, or the name does not stay inside the work folder: a
// rooted, UNC or drive name ("\x", "C:\x", "C:x") or one that resolves to or above the work folder.
bool GetWorkFolderItemPath(const std::wstring& fileName, std::wstring& path);

// GetWorkFolderItemPath for the item's file name.
bool GetItemPath(const CResource& item, std::wstring& path);

// The GUID that names the work folder: zeros with "zeroguid", else the created one, or the
// fallback when creating one failed.
GUID ChooseWorkFolderGuid(bool zeroGuid, HRESULT createResult, const GUID& created);

// The registry form of `guid` (38 characters), or "{00000001-0000-0000-0000-000000000001}" when it
// cannot be formatted.
std::wstring GuidText(const GUID& guid);

// `base` joined with `more` by PathAppendW in a MAX_PATH buffer. False (and `joined` empty) when
// `base` is longer than 259 characters or the joined text (base, backslash, `more`, before "." and
// ".." are resolved) would not fit in 259.
bool JoinPath(const std::wstring& base, const std::wstring& more, std::wstring& joined);

// Tests only: back to the state at process start (no base, no work folder, zeroguid off).
void ResetWorkFolderForTest();
