#include "prereq/framework_detector.h"

#include <string>
#include <utility>

#include "framework/strings.h"

namespace {

constexpr DWORD kVersionBufferBytes = 260;
constexpr size_t kVersionBufferUnits = kVersionBufferBytes / sizeof(wchar_t);

const wchar_t* const kDetectedLines[kFrameworkFlavourCount] = {
    L".NET 2.0 Detected SP %ld\n",        L".NET 3.0 Detected SP %ld\n",
    L".NET 3.5 Detected SP %ld\n",        L".NET 4.0 Client Detected SP %ld\n",
    L".NET 4.0 Full Detected SP %ld\n",   L".NET 4.5 Client Detected SP %ld\n",
    L".NET 4.5 Full Detected SP %ld\n",
};

}  // namespace

CFrameworkDetector::CFrameworkDetector(IRegistryReader& reader, FrameworkLogSink log)
    : m_reader(reader), m_log(std::move(log)) {}

bool CFrameworkDetector::ReadRegistryValue(const wchar_t* key, const wchar_t* valueName, void* buffer, DWORD& size) {
  return m_reader.ReadValue(key, valueName, buffer, size);
}

long CFrameworkDetector::ReadDwordValue(const wchar_t* key, const wchar_t* valueName) {
  BYTE bytes[sizeof(DWORD)] = {};
  DWORD size = sizeof(bytes);
  // Shorter data would leave part of the number unset: it counts as absent, like longer data.
  if (!ReadRegistryValue(key, valueName, bytes, size) || size != sizeof(bytes)) return -1;
  DWORD value = static_cast<DWORD>(bytes[0]) | static_cast<DWORD>(bytes[1]) << 8 |
                static_cast<DWORD>(bytes[2]) << 16 | static_cast<DWORD>(bytes[3]) << 24;
  return static_cast<long>(static_cast<LONG>(value));
}

bool CFrameworkDetector::ReadVersionValue(const wchar_t* key, const wchar_t* valueName, long& major, long& minor,
                                          long& build, long& revision) {
  major = minor = build = revision = 0;
  wchar_t text[kVersionBufferUnits];
  DWORD size = kVersionBufferBytes;
  if (!ReadRegistryValue(key, valueName, text, size)) return false;

  // Only the bytes written count; the text ends at the first zero among them. A text that fills
  // the whole buffer leaves no room for its terminator and is treated like a longer one.
  size_t units = size / sizeof(wchar_t);
  size_t length = 0;
  while (length < units && text[length] != L'\0') ++length;
  if (length == kVersionBufferUnits) return false;

  long* parts[] = {&major, &minor, &build, &revision};
  size_t partCount = 0;
  size_t position = 0;
  while (partCount < 4 && position < length) {
    while (position < length && text[position] == L'.') ++position;
    size_t end = position;
    while (end < length && text[end] != L'.') ++end;
    if (end > position) *parts[partCount++] = harnex::ParseSignedDecimal(std::wstring(text + position, end - position));
    position = end;
  }
  return true;
}

bool CFrameworkDetector::IsVersionAtLeast(const wchar_t* key, const wchar_t* valueName, long major, long minor,
                                          long build, long revision) {
  long found[4];
  ReadVersionValue(key, valueName, found[0], found[1], found[2], found[3]);  // unreadable reads as 0.0.0.0
  const long wanted[4] = {major, minor, build, revision};
  for (int i = 0; i < 3; ++i)
    if (found[i] != wanted[i]) return found[i] > wanted[i];
  return found[3] >= wanted[3];
}

bool CFrameworkDetector::IsInstallFlagSet(const wchar_t* key, const wchar_t* valueName) {
  return ReadDwordValue(key, valueName) == 1;
}

long CFrameworkDetector::Read4xLevel(const wchar_t* ownKey) {
  long level = ReadDwordValue(ownKey, L"Servicing");
  // The version under the Client key, not the own key, raises the level of both 4.x flavours:
  // a 4.5.x version gives level 5.
  long major, minor, build, revision;
  if (ReadVersionValue(framework_keys::kNet4Client, L"Version", major, minor, build, revision) && major == 4 &&
      minor > level)
    level = minor;
  return level;
}

bool CFrameworkDetector::ProbeFramework(FrameworkFlavour flavour, long& level) {
  using namespace framework_keys;
  level = -1;
  switch (flavour) {
    case FrameworkFlavour::Net20:
      if (!IsInstallFlagSet(kNet20, L"Install")) return false;
      level = ReadDwordValue(kNet20, L"SP");
      return true;
    case FrameworkFlavour::Net30:
      if (!IsInstallFlagSet(kNet20, L"Install") || !IsInstallFlagSet(kNet30Setup, L"InstallSuccess") ||
          !IsVersionAtLeast(kNet30Setup, L"Version", 3, 0, 4506, 26))
        return false;
      level = ReadDwordValue(kNet30, L"SP");
      return true;
    case FrameworkFlavour::Net35:
      if (!IsInstallFlagSet(kNet20, L"Install") || !IsInstallFlagSet(kNet35, L"Install") ||
          !IsVersionAtLeast(kNet35, L"Version", 3, 5, 21022, 8))
        return false;
      level = ReadDwordValue(kNet35, L"SP");
      return true;
    case FrameworkFlavour::Net40Client:
    case FrameworkFlavour::Net45Client:
    case FrameworkFlavour::Net40Full:
    case FrameworkFlavour::Net45Full: {
      bool client = flavour == FrameworkFlavour::Net40Client || flavour == FrameworkFlavour::Net45Client;
      const wchar_t* ownKey = client ? kNet4Client : kNet4Full;
      if (!IsInstallFlagSet(ownKey, L"Install")) return false;
      long found = Read4xLevel(ownKey);
      bool is45 = flavour == FrameworkFlavour::Net45Client || flavour == FrameworkFlavour::Net45Full;
      if (is45 && found < 5) return false;
      level = found;
      return true;
    }
  }
  return false;
}

bool CFrameworkDetector::MeetsFrameworkSetting(FrameworkFlavour flavour, const wchar_t* settingText) {
  long required = settingText != nullptr ? harnex::ParseSignedDecimal(settingText) : -1;
  if (required < 0) return false;
  long level;
  if (!ProbeFramework(flavour, level)) return false;
  if (m_log) m_log(harnex::FormatString(kDetectedLines[static_cast<int>(flavour)], level).c_str());
  return level >= required;
}
