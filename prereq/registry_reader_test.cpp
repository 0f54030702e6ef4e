// The real reader against the registry of the test prefix, as this 32-bit process sees it.
#include "prereq/registry_reader.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "framework/handle.h"
#include "prereq/framework_detector.h"
#include "prereq/framework_requirement.h"

namespace {

using namespace framework_keys;

std::vector<BYTE> Sz(const std::wstring& text) {
  const BYTE* data = reinterpret_cast<const BYTE*>(text.c_str());
  return std::vector<BYTE>(data, data + (text.size() + 1) * sizeof(wchar_t));
}
std::vector<BYTE> Dword(DWORD value) {
  return {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
          static_cast<BYTE>(value >> 24)};
}

// Sets one HKEY_LOCAL_MACHINE value for the life of the object, then puts back what was there:
// the old value (or its absence) and no key that had to be created for it.
class ScopedRegistryValue {
 public:
  ScopedRegistryValue(const std::wstring& keyPath, const std::wstring& valueName, DWORD type,
                      const std::vector<BYTE>& data)
      : m_keyPath(keyPath), m_valueName(valueName) {
    // Create the path one level at a time, remembering the levels that did not exist.
    for (size_t end = keyPath.find(L'\\');; end = keyPath.find(L'\\', end + 1)) {
      std::wstring level = keyPath.substr(0, end);
      harnex::UniqueKey key;
      DWORD disposition = 0;
      if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, level.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                            key.put(), &disposition) != ERROR_SUCCESS)
        return;
      if (disposition == REG_CREATED_NEW_KEY) m_createdKeys.push_back(level);
      if (end == std::wstring::npos) break;
    }
    harnex::UniqueKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ | KEY_WRITE, key.put()) != ERROR_SUCCESS)
      return;
    DWORD oldSize = 0;
    if (::RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &m_oldType, nullptr, &oldSize) == ERROR_SUCCESS) {
      m_oldData.resize(oldSize);
      m_hadValue = ::RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &m_oldType, m_oldData.data(),
                                      &oldSize) == ERROR_SUCCESS;
      if (!m_hadValue) return;  // cannot save it, so do not touch it
    }
    // RegSetValueExW stores a string one unit longer when a zero follows the data in memory; a
    // non-zero guard keeps the stored bytes exactly the given ones.
    std::vector<BYTE> guarded(data);
    guarded.insert(guarded.end(), {0xFF, 0xFF});
    m_set = ::RegSetValueExW(key.get(), valueName.c_str(), 0, type, guarded.data(), static_cast<DWORD>(data.size())) ==
            ERROR_SUCCESS;
  }

  ~ScopedRegistryValue() {
    harnex::UniqueKey key;
    if (m_set &&
        ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, m_keyPath.c_str(), 0, KEY_READ | KEY_WRITE, key.put()) == ERROR_SUCCESS) {
      if (m_hadValue)
        ::RegSetValueExW(key.get(), m_valueName.c_str(), 0, m_oldType, m_oldData.data(),
                         static_cast<DWORD>(m_oldData.size()));
      else
        ::RegDeleteValueW(key.get(), m_valueName.c_str());
    }
    key.reset();
    for (auto level = m_createdKeys.rbegin(); level != m_createdKeys.rend(); ++level)
      ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, level->c_str());
  }

  bool IsSet() const { return m_set; }

 private:
  std::wstring m_keyPath;
  std::wstring m_valueName;
  std::vector<std::wstring> m_createdKeys;  // outermost first
  bool m_hadValue = false;
  DWORD m_oldType = REG_NONE;
  std::vector<BYTE> m_oldData;
  bool m_set = false;
};

// Values set in order and restored in reverse order, so keys created by an earlier value are
// removed after the later values in them are gone.
class ScopedRegistry {
 public:
  ~ScopedRegistry() {
    while (!m_values.empty()) m_values.pop_back();
  }
  bool Set(const std::wstring& keyPath, const std::wstring& valueName, DWORD type, const std::vector<BYTE>& data) {
    m_values.push_back(std::make_unique<ScopedRegistryValue>(keyPath, valueName, type, data));
    return m_values.back()->IsSet();
  }

 private:
  std::vector<std::unique_ptr<ScopedRegistryValue>> m_values;
};

// Tests of the prefix's framework keys run one at a time, across processes too (ctest -j).
class NdpRegistryLock {
 public:
  NdpRegistryLock() : m_mutex(::CreateMutexW(nullptr, FALSE, L"HarnexInstaller.NdpRegistryTest")) {
    if (m_mutex) ::WaitForSingleObject(m_mutex.get(), INFINITE);
  }
  ~NdpRegistryLock() {
    if (m_mutex) ::ReleaseMutex(m_mutex.get());
  }

 private:
  harnex::UniqueHandle m_mutex;
};

bool KeyExists(const wchar_t* keyPath) {
  harnex::UniqueKey key;
  return ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

// The raw value, or nothing when it cannot be read.
std::vector<BYTE> RawValue(const wchar_t* keyPath, const wchar_t* valueName) {
  std::vector<BYTE> data(1024);
  DWORD size = static_cast<DWORD>(data.size());
  if (!CRegistryReader().ReadValue(keyPath, valueName, data.data(), size)) return {};
  data.resize(size);
  return data;
}

TEST(RegistryReader, AnswersLikeTheMemoryReader) {
  const std::wstring scratch = L"Software\\HarnexInstallerReaderTest" + std::to_wstring(::GetCurrentProcessId());
  std::vector<BYTE> exact = Sz(std::wstring(130, L'7'));
  exact.resize(260);  // fills a 260-byte buffer, no terminator
  struct Value {
    const wchar_t* name;
    DWORD type;
    std::vector<BYTE> data;
  } values[] = {
      {L"Dword", REG_DWORD, Dword(1)},
      {L"Text", REG_SZ, Sz(L"4.5.50709")},
      {L"Long", REG_SZ, Sz(std::wstring(130, L'7'))},
      {L"Exact", REG_SZ, exact},
      {L"Empty", REG_BINARY, {}},
  };
  ScopedRegistry registry;
  CMemoryRegistryReader memory;
  memory.AddKey(scratch);
  for (const Value& v : values) {
    ASSERT_TRUE(registry.Set(scratch, v.name, v.type, v.data)) << "cannot write the scratch key";
    memory.SetBytes(scratch, v.name, v.data);
  }

  struct Case {
    std::wstring key;
    const wchar_t* value;
    DWORD size;
    bool ok;
    DWORD bytes;  // written, when ok
  } cases[] = {
      {scratch, L"Dword", 4, true, 4},       {scratch, L"Dword", 8, true, 4},
      {scratch, L"Dword", 2, false, 0},      {scratch, L"Text", 260, true, 20},
      {scratch, L"Text", 20, true, 20},      {scratch, L"Text", 18, false, 0},
      {scratch, L"Long", 260, false, 0},     {scratch, L"Long", 262, true, 262},
      {scratch, L"Exact", 260, true, 260},   {scratch, L"Empty", 4, true, 0},
      {scratch, L"Missing", 260, false, 0},  {scratch + L"\\Missing", L"Text", 260, false, 0},
      {scratch, L"tEXT", 260, true, 20},
  };
  CRegistryReader real;
  for (const Case& c : cases) {
    const std::string name = std::string(c.value, c.value + wcslen(c.value)) + " into " + std::to_string(c.size);
    for (IRegistryReader* reader : {static_cast<IRegistryReader*>(&real), static_cast<IRegistryReader*>(&memory)}) {
      const char* which = reader == &real ? " (registry)" : " (memory)";
      std::vector<BYTE> buffer(c.size + 16, 0xEE);
      DWORD size = c.size;
      EXPECT_EQ(reader->ReadValue(c.key.c_str(), c.value, buffer.data(), size), c.ok) << name << which;
      EXPECT_EQ(buffer[c.size], 0xEE) << name << which << ": wrote past the buffer";
      if (!c.ok) continue;
      EXPECT_EQ(size, c.bytes) << name << which;
      std::vector<BYTE> expected;
      for (const Value& v : values)
        if (_wcsicmp(v.name, c.value) == 0) expected = v.data;
      EXPECT_EQ(std::vector<BYTE>(buffer.begin(), buffer.begin() + c.bytes), expected) << name << which;
    }
  }
}

// Writes a 4.5 installation over whatever the prefix holds, with values chosen so that every probe
// answers as it does for the prefix's own 4.5 (2.0 has Install 0): a test running at the same time
// in the same prefix sees no difference.
TEST(RegistryReader, DetectsAnInstallationWrittenToTheRegistry) {
  NdpRegistryLock lock;
  const std::vector<BYTE> clientVersionBefore = RawValue(kNet4Client, L"Version");
  const std::vector<BYTE> fullServicingBefore = RawValue(kNet4Full, L"Servicing");
  const bool net20KeyBefore = KeyExists(kNet20);
  {
    ScopedRegistry registry;
    ASSERT_TRUE(registry.Set(kNet20, L"Install", REG_DWORD, Dword(0)));
    ASSERT_TRUE(registry.Set(kNet20, L"SP", REG_DWORD, Dword(2)));
    ASSERT_TRUE(registry.Set(kNet4Client, L"Install", REG_DWORD, Dword(1)));
    ASSERT_TRUE(registry.Set(kNet4Client, L"Servicing", REG_DWORD, Dword(0)));
    ASSERT_TRUE(registry.Set(kNet4Client, L"Version", REG_SZ, Sz(L"4.5.51209")));
    ASSERT_TRUE(registry.Set(kNet4Full, L"Install", REG_DWORD, Dword(1)));
    ASSERT_TRUE(registry.Set(kNet4Full, L"Servicing", REG_DWORD, Dword(1)));
    ASSERT_TRUE(registry.Set(kNet4Full, L"Version", REG_SZ, Sz(L"4.5." + std::wstring(200, L'9'))));

    CRegistryReader reader;
    CFrameworkDetector detector(reader, nullptr);
    EXPECT_EQ(detector.ReadDwordValue(kNet20, L"Install"), 0);
    EXPECT_EQ(detector.ReadDwordValue(kNet20, L"SP"), 2);
    EXPECT_EQ(detector.ReadDwordValue(kNet4Full, L"Servicing"), 1);
    std::array<long, 4> version;
    EXPECT_TRUE(detector.ReadVersionValue(kNet4Client, L"Version", version[0], version[1], version[2], version[3]));
    EXPECT_EQ(version, (std::array<long, 4>{4, 5, 51209, 0}));
    EXPECT_FALSE(detector.ReadVersionValue(kNet4Full, L"Version", version[0], version[1], version[2], version[3]))
        << "a version too long for 260 bytes";
    EXPECT_EQ(version, (std::array<long, 4>{0, 0, 0, 0}));

    long level = 0;
    EXPECT_FALSE(detector.ProbeFramework(FrameworkFlavour::Net20, level));
    EXPECT_TRUE(detector.ProbeFramework(FrameworkFlavour::Net40Full, level));
    EXPECT_EQ(level, 5);
    EXPECT_TRUE(detector.ProbeFramework(FrameworkFlavour::Net45Client, level));
    EXPECT_EQ(level, 5);
  }
  EXPECT_EQ(KeyExists(kNet20), net20KeyBefore);
  EXPECT_EQ(RawValue(kNet4Client, L"Version"), clientVersionBefore);
  EXPECT_EQ(RawValue(kNet4Full, L"Servicing"), fullServicingBefore);
}

std::vector<std::wstring> g_ownLines;
void CaptureOwnLine(const wchar_t* text) { g_ownLines.emplace_back(text); }

// The test prefix declares a .NET 4.5 installation (tests/prefix/dotnet4.reg) where a 32-bit
// process reads it.
TEST(RegistryReader, TestPrefixDeclaresFramework45) {
  NdpRegistryLock lock;
  CRegistryReader reader;
  CFrameworkDetector detector(reader, nullptr);
  const FrameworkFlavour flavours[] = {FrameworkFlavour::Net20,       FrameworkFlavour::Net30,
                                       FrameworkFlavour::Net35,       FrameworkFlavour::Net40Client,
                                       FrameworkFlavour::Net40Full,   FrameworkFlavour::Net45Client,
                                       FrameworkFlavour::Net45Full};
  const bool installed[] = {false, false, false, true, true, true, true};
  const long levels[] = {-1, -1, -1, 5, 5, 5, 5};
  for (int i = 0; i < kFrameworkFlavourCount; ++i) {
    long level = 0;
    EXPECT_EQ(detector.ProbeFramework(flavours[i], level), installed[i]) << "flavour " << i;
    EXPECT_EQ(level, levels[i]) << "flavour " << i;
  }

  std::vector<std::wstring> lines;
  auto capture = [&lines](const wchar_t* text) { lines.emplace_back(text); };
  std::wstring name = L"Unknown .NET Version";
  long family = 2, servicePack = 0;
  const FrameworkSettings shipped = {L"0", L"0", L"0", L"0", L"0", L"", L""};
  EXPECT_TRUE(EvaluateFrameworkRequirement(reader, shipped, capture, name, family, servicePack));
  const std::vector<std::wstring> expected = {
      L".NET 2.0 0\n",       L".NET 3.0 0\n",
      L".NET 3.5 0\n",       L".NET 4.0 Client 0\n",
      L".NET 4.0 Full 0\n",  L".NET 4.5 Client \n",
      L".NET 4.5 Full \n",   L".NET 4.0 Client Detected SP 5\n",
      L".NET Version OK\n",
  };
  EXPECT_EQ(lines, expected);

  // The application's call: this program's own string table and the real registry.
  g_ownLines.clear();
  EXPECT_TRUE(EvaluateFrameworkRequirement(CaptureOwnLine, name, family, servicePack));
  const std::vector<std::wstring> expectedOwn = {
      L".NET 2.0 -2\n",      L".NET 3.0 -1\n",
      L".NET 3.5  0\n",      L".NET 4.0 Client 1abc\n",
      L".NET 4.0 Full 2\n",  L".NET 4.5 Client 3\n",
      L".NET 4.5 Full \n",   L".NET 4.0 Client Detected SP 5\n",
      L".NET Version OK\n",
  };
  EXPECT_EQ(g_ownLines, expectedOwn);
  EXPECT_EQ(name, L"Unknown .NET Version");
  EXPECT_EQ(family, 2);
  EXPECT_EQ(servicePack, 0);
}

}  // namespace
