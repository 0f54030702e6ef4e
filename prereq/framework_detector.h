// Detection of installed .NET Framework flavours and their service-pack levels from the values that
// the framework's own setup writes under HKEY_LOCAL_MACHINE.
#pragma once

#include <windows.h>

#include <functional>

#include "prereq/registry_reader.h"

// The flavours, in the order in which they are always listed and asked.
enum class FrameworkFlavour { Net20, Net30, Net35, Net40Client, Net40Full, Net45Client, Net45Full };
constexpr int kFrameworkFlavourCount = 7;

// Receives each finished log line (its "\n" included); the application connects it to LogText.
using FrameworkLogSink = std::function<void(const wchar_t* text)>;

namespace framework_keys {
constexpr const wchar_t* kNet20 = L"Software\\Microsoft\\NET Framework Setup\\NDP\\v2.0.50727";
constexpr const wchar_t* kNet30Setup = L"Software\\Microsoft\\NET Framework Setup\\NDP\\v3.0\\Setup";
constexpr const wchar_t* kNet30 = L"Software\\Microsoft\\NET Framework Setup\\NDP\\v3.0";
constexpr const wchar_t* kNet35 = L"Software\\Microsoft\\NET Framework Setup\\NDP\\v3.5";
constexpr const wchar_t* kNet4Client = L"Software\\Microsoft\\NET Framework Setup\\NDP\\v4\\Client";
constexpr const wchar_t* kNet4Full = L"Software\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full";
}  // namespace framework_keys

// Holds no data of its own: every question reads the registry afresh.
class CFrameworkDetector {
 public:
  // `reader` and `log` must outlive the detector. An empty `log` drops the lines.
  CFrameworkDetector(IRegistryReader& reader, FrameworkLogSink log);

  // Reads a value into `buffer` of `size` bytes; `size` becomes the number of bytes written.
  // True only when the key opens and the value fits.
  bool ReadRegistryValue(const wchar_t* key, const wchar_t* valueName, void* buffer, DWORD& size);
  // The value as a signed 32-bit number, or -1 when it is missing or its data is not exactly four
  // bytes long.
  long ReadDwordValue(const wchar_t* key, const wchar_t* valueName);
  // A dotted version text read into a 260-byte buffer: the first four "."-separated pieces (runs of
  // separators count as one) as signed decimals. False, with all parts 0, when the value is missing
  // or its text with a terminating zero does not fit the buffer.
  bool ReadVersionValue(const wchar_t* key, const wchar_t* valueName, long& major, long& minor, long& build,
                        long& revision);
  // The stored version (0.0.0.0 when unreadable) compared part by part, signed, with the given one.
  bool IsVersionAtLeast(const wchar_t* key, const wchar_t* valueName, long major, long minor, long build,
                        long revision);
  // True when the value reads as exactly 1.
  bool IsInstallFlagSet(const wchar_t* key, const wchar_t* valueName);

  // Whether the flavour is installed, and its service-pack level (-1 when it has none or is not
  // installed).
  bool ProbeFramework(FrameworkFlavour flavour, long& level);

  // True when the flavour is installed at or above the level that `settingText` names as a signed
  // decimal (nullptr counts as -1). A negative requirement answers false without probing; an
  // installed flavour writes its "Detected" line whatever the outcome.
  bool MeetsFrameworkSetting(FrameworkFlavour flavour, const wchar_t* settingText);

 private:
  // Servicing of `ownKey`, raised to the minor part of the 4.x version under the Client key.
  long Read4xLevel(const wchar_t* ownKey);

  IRegistryReader& m_reader;
  FrameworkLogSink m_log;
};
