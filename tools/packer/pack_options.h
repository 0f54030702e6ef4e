// The packer's command line: what it takes and the checks that need no file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/packer/string_table.h"

namespace harnex::packer {

enum class IndexMode {
  kGenerated,  // resource 101 lists the items
  kText,       // resource 101 holds a given file's bytes
  kNone,       // no resource 101
};

struct ItemOption {
  uint16_t id = 0;
  std::string name;       // as given (UTF-8), for messages
  std::string indexName;  // Windows-1252, as it goes into the index
  std::filesystem::path path;
};

struct NamedResourceOption {
  std::u16string name;  // upper-cased, as the resource directory stores it
  std::filesystem::path path;
};

struct PackOptions {
  bool help = false;
  std::filesystem::path stub;
  std::filesystem::path out;
  std::vector<ItemOption> items;  // in the order given
  IndexMode indexMode = IndexMode::kGenerated;
  std::filesystem::path indexText;
  std::vector<NamedResourceOption> namedResources;
  std::vector<StringEdit> strings;  // in the order given; a later edit of an id wins
  bool hasInfo = false;
  std::filesystem::path info;
};

constexpr uint16_t kIndexId = 101;
constexpr uint16_t kFirstAutomaticId = 102;

// Parses the arguments (UTF-8, without the program name). Item ids: --item and --item-as take
// the next automatic id, which is 102 at first and then max(102, highest id used + 1); an explicit
// id is 1..65535. Id 101 is the index's whenever an index is written (generated or --index-text);
// with --no-index an item may take it. Returns 0, or kPackBadCommandLine with a reason.
uint32_t ParsePackArguments(const std::vector<std::string>& args, PackOptions* options, std::string* error);

// The usage text printed by --help.
extern const char kPackUsage[];

}  // namespace harnex::packer
