// The command-line parser: a framework-style base that receives each argument, and
// CCommandLineInfoEx, which keeps the switches in a 17-bucket hash table whose iteration order
// decides the order of the front end's argument string.
#pragma once

#include <array>
#include <cstdint>
#include <list>
#include <set>
#include <string>
#include <utility>
#include <vector>

class CCommandLineInfo {
 public:
  CCommandLineInfo() = default;
  virtual ~CCommandLineInfo() = default;
  CCommandLineInfo(const CCommandLineInfo&) = delete;
  CCommandLineInfo& operator=(const CCommandLineInfo&) = delete;

  // Called once per argument in command-line order. `param` is the argument without its one
  // leading "-" or "/" when `flag` is set; `last` marks the final argument. The base ignores it.
  virtual void ParseParam(const wchar_t* param, bool flag, bool last);
};

// Passes each argument to info.ParseParam: an argument that begins with "-" or "/" is a flag and
// loses that one character (only one: "//x" gives the flag "/x").
void ParseCommandLineArguments(CCommandLineInfo& info, const std::vector<std::wstring>& arguments);

// The arguments after the program name, split by the platform's own rules (CommandLineToArgvW).
// Empty when the line holds only the program name or cannot be split.
std::vector<std::wstring> SplitCommandLine(const wchar_t* fullCommandLine);

class CCommandLineInfoEx : public CCommandLineInfo {
 public:
  static constexpr size_t kBucketCount = 17;

  CCommandLineInfoEx() = default;
  ~CCommandLineInfoEx() override = default;

  void ParseParam(const wchar_t* param, bool flag, bool last) override;

  // A flag stores "TRUE"; "temp", "extract" or "log" (any case) that is not last waits for its
  // value in the next argument; any other text is the pending name's value, or else a name with
  // an empty value.
  void ParseArgument(const std::wstring& text, bool flag, bool last);

  // True and the value if `name` is in the table (compared exactly); otherwise false and empty.
  bool GetSwitchValue(const std::wstring& name, std::wstring& value) const;
  // Present with the value "TRUE" in any letter case.
  bool IsSwitchOn(const std::wstring& name) const;
  // On, and given with a "-" or "/" prefix.
  bool IsGivenAsFlag(const std::wstring& name) const;
  // Inserts at the head of the name's bucket, or replaces the value in place.
  void SetSwitchValue(const std::wstring& name, const std::wstring& value);
  // Unlinks the entry if there is one.
  void RemoveSwitch(const std::wstring& name);

  // Replaces `args` with the front end's argument string: the entries in table order, each as
  // "/name " (value TRUE), "name " (empty value) or "/name \"value\" " (a value longer than one
  // character that ends in a backslash gets one more), then OV_I="programName" and a blank.
  void BuildFrontEndArgs(const std::wstring& programName, std::wstring& args) const;

  // The entries as (name, value) in iteration order: buckets 0 to 16, newest first in each.
  std::vector<std::pair<std::wstring, std::wstring>> Entries() const;

  // hash = hash * 33 + unit over the name's UTF-16 units, in unsigned 32-bit arithmetic.
  static uint32_t HashName(const std::wstring& name);
  static size_t BucketOf(const std::wstring& name) { return HashName(name) % kBucketCount; }

 private:
  struct Entry {
    std::wstring name;
    std::wstring value;
  };
  using Chain = std::list<Entry>;  // head first: the newest entry of the bucket

  const Entry* Find(const std::wstring& name) const;

  std::array<Chain, kBucketCount> m_buckets;
  std::set<std::wstring> m_flagNames;  // names given with a "-" or "/" prefix
  std::wstring m_strPendingName;       // path switch whose value is the next argument
};
