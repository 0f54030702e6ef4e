#include "cmdline/command_line_info.h"

#include <windows.h>

#include <shellapi.h>

#include "framework/handle.h"

namespace {

wchar_t AsciiUpper(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

// Letter case is ignored for the ASCII letters only, as the names compared here are ASCII.
bool EqualsIgnoringCase(const std::wstring& text, const wchar_t* other) {
  size_t i = 0;
  for (; i < text.size() && other[i] != L'\0'; ++i) {
    if (AsciiUpper(text[i]) != AsciiUpper(other[i])) return false;
  }
  return i == text.size() && other[i] == L'\0';
}

bool IsPathSwitchName(const std::wstring& text) {
  return EqualsIgnoringCase(text, L"temp") || EqualsIgnoringCase(text, L"extract") || EqualsIgnoringCase(text, L"log");
}

}  // namespace

void CCommandLineInfo::ParseParam(const wchar_t*, bool, bool) {}

void ParseCommandLineArguments(CCommandLineInfo& info, const std::vector<std::wstring>& arguments) {
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::wstring& argument = arguments[i];
    const bool flag = !argument.empty() && (argument[0] == L'-' || argument[0] == L'/');
    const std::wstring text = flag ? argument.substr(1) : argument;
    info.ParseParam(text.c_str(), flag, i + 1 == arguments.size());
  }
}

std::vector<std::wstring> SplitCommandLine(const wchar_t* fullCommandLine) {
  std::vector<std::wstring> arguments;
  if (fullCommandLine == nullptr) return arguments;
  int count = 0;
  LPWSTR* argv = ::CommandLineToArgvW(fullCommandLine, &count);
  harnex::UniqueLocal owner(reinterpret_cast<HLOCAL>(argv));
  if (argv == nullptr) return arguments;
  for (int i = 1; i < count; ++i) arguments.emplace_back(argv[i]);
  return arguments;
}

void CCommandLineInfoEx::ParseParam(const wchar_t* param, bool flag, bool last) {
  ParseArgument(param == nullptr ? std::wstring() : std::wstring(param), flag, last);
}

void CCommandLineInfoEx::ParseArgument(const std::wstring& text, bool flag, bool last) {
  if (flag) {
    SetSwitchValue(text, L"TRUE");
    m_flagNames.insert(text);
    m_strPendingName.clear();
    return;
  }
  if (IsPathSwitchName(text) && !last) {
    m_strPendingName = text;
    return;
  }
  if (!m_strPendingName.empty()) {
    SetSwitchValue(m_strPendingName, text);
  } else {
    SetSwitchValue(text, L"");
  }
  m_strPendingName.clear();
}

uint32_t CCommandLineInfoEx::HashName(const std::wstring& name) {
  uint32_t hash = 0;
  for (wchar_t unit : name) hash = hash * 33u + static_cast<uint16_t>(unit);
  return hash;
}

const CCommandLineInfoEx::Entry* CCommandLineInfoEx::Find(const std::wstring& name) const {
  for (const Entry& entry : m_buckets[BucketOf(name)]) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

bool CCommandLineInfoEx::GetSwitchValue(const std::wstring& name, std::wstring& value) const {
  const Entry* entry = Find(name);
  if (entry == nullptr) {
    value.clear();
    return false;
  }
  value = entry->value;
  return true;
}

bool CCommandLineInfoEx::IsSwitchOn(const std::wstring& name) const {
  const Entry* entry = Find(name);
  return entry != nullptr && EqualsIgnoringCase(entry->value, L"TRUE");
}

bool CCommandLineInfoEx::IsGivenAsFlag(const std::wstring& name) const {
  return IsSwitchOn(name) && m_flagNames.count(name) != 0;
}

void CCommandLineInfoEx::SetSwitchValue(const std::wstring& name, const std::wstring& value) {
  Chain& chain = m_buckets[BucketOf(name)];
  for (Entry& entry : chain) {
    if (entry.name == name) {
      entry.value = value;
      return;
    }
  }
  chain.push_front(Entry{name, value});
}

void CCommandLineInfoEx::RemoveSwitch(const std::wstring& name) {
  Chain& chain = m_buckets[BucketOf(name)];
  for (auto it = chain.begin(); it != chain.end(); ++it) {
    if (it->name == name) {
      chain.erase(it);
      return;
    }
  }
}

std::vector<std::pair<std::wstring, std::wstring>> CCommandLineInfoEx::Entries() const {
  std::vector<std::pair<std::wstring, std::wstring>> entries;
  for (const Chain& chain : m_buckets) {
    for (const Entry& entry : chain) entries.emplace_back(entry.name, entry.value);
  }
  return entries;
}

void CCommandLineInfoEx::BuildFrontEndArgs(const std::wstring& programName, std::wstring& args) const {
  args.clear();
  for (const Chain& chain : m_buckets) {
    for (const Entry& entry : chain) {
      if (EqualsIgnoringCase(entry.value, L"TRUE")) {
        args += L"/" + entry.name + L" ";
      } else if (entry.value.empty()) {
        args += entry.name + L" ";
      } else {
        // A closing backslash would escape the closing quote for the front end's own splitter.
        std::wstring value = entry.value;
        if (value.size() > 1 && value.back() == L'\\') value += L'\\';
        args += L"/" + entry.name + L" \"" + value + L"\" ";
      }
    }
  }
  args += L"OV_I=\"" + programName + L"\" ";
}
