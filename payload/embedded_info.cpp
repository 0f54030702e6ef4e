#include "payload/embedded_info.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "cmdline/log.h"
#include "framework/handle.h"
#include "framework/strings.h"
#include "payload/work_folder.h"

namespace {

constexpr uint8_t kMarker[4] = {'M', 'R', 'D', 'C'};
constexpr size_t kLastMarkerIndex = 4111;  // also where the information ends
constexpr LONGLONG kWindowDistanceFromEnd = 4117;

// Writes the information to `outputPath` and logs the outcome.
void WriteInformationFile(const uint8_t* information, size_t length, const std::wstring& outputPath) {
  // For the log only: the text up to its first zero byte.
  size_t textLength = strnlen(reinterpret_cast<const char*>(information), length);
  std::wstring text = harnex::FromThreadAnsi(reinterpret_cast<const char*>(information), textLength);
  LogFormat(L"Found embedded information '%s'\r\n", text.c_str());

  // No work folder means no output path; never fall back to a name relative to the current folder.
  harnex::UniqueFile output;
  DWORD error = ERROR_BAD_PATHNAME;
  if (!outputPath.empty()) {
    output.reset(::CreateFileW(outputPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                               nullptr));
    if (!output) error = ::GetLastError();
  }
  if (!output) {
    LogFormat(L"Failed to create temp file %s %ld\r\n", outputPath.c_str(), static_cast<long>(error));
    return;
  }

  DWORD written = 0;
  long loggedLength = static_cast<long>(length);
  if (::WriteFile(output.get(), information, static_cast<DWORD>(length), &written, nullptr) && written == length) {
    LogFormat(L"Written out embedded information %ld byts to file %s\r\n", loggedLength, outputPath.c_str());
  } else {
    LogFormat(L"Write fail for embedded information %ld byts to file %s\r\n", loggedLength, outputPath.c_str());
  }
}

}  // namespace

EmbeddedSpan FindEmbeddedInformation(const uint8_t* window) {
  EmbeddedSpan span;
  for (size_t index = kLastMarkerIndex; index > 0; --index) {
    if (std::memcmp(window + index, kMarker, sizeof kMarker) != 0) continue;
    size_t start = index + sizeof kMarker;
    if (start < kLastMarkerIndex) {
      span.start = start;
      span.length = kLastMarkerIndex - start;
    }
    break;
  }
  return span;
}

uint32_t WriteEmbeddedInformationFrom(const std::wstring& programPath) {
  std::wstring outputPath;
  GetWorkFolderItemPath(L"info.xml", outputPath);

  harnex::UniqueFile program(::CreateFileW(programPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
  LogText(L"Scanning for Signature\r\n");
  if (!program) return 0;

  LARGE_INTEGER size;
  if (!::GetFileSizeEx(program.get(), &size) || size.QuadPart <= static_cast<LONGLONG>(kEmbeddedWindowSize)) return 0;
  LARGE_INTEGER distance;
  distance.QuadPart = -kWindowDistanceFromEnd;
  if (!::SetFilePointerEx(program.get(), distance, nullptr, FILE_END)) return 0;

  std::vector<uint8_t> window(kEmbeddedWindowSize, 0);
  DWORD read = 0;
  if (!::ReadFile(program.get(), window.data(), static_cast<DWORD>(window.size()), &read, nullptr) ||
      read != window.size()) {
    return 0;
  }

  EmbeddedSpan span = FindEmbeddedInformation(window.data());
  if (span.length == 0) return 0;
  WriteInformationFile(window.data() + span.start, span.length, outputPath);
  return 0;
}

uint32_t WriteEmbeddedInformation() {
  wchar_t programPath[MAX_PATH];
  DWORD length = ::GetModuleFileNameW(nullptr, programPath, MAX_PATH);
  // A truncated name would open some other file: treat it like a file that cannot be opened.
  if (length == 0 || length >= MAX_PATH) {
    LogText(L"Scanning for Signature\r\n");
    return 0;
  }
  return WriteEmbeddedInformationFrom(std::wstring(programPath, length));
}
