#include "tools/packer/pack_options.h"

#include <algorithm>

#include "tools/packer/pack_error.h"
#include "tools/packer/payload_index.h"
#include "tools/packer/text_convert.h"

namespace harnex::packer {

const char kPackUsage[] =
    "usage: harnex-pack --stub STUB.exe --out OUT.exe [options]\n"
    "Writes a bootstrapper: the stub with its TOOLKIT resources replaced by the given items.\n"
    "  --item PATH                 add an item named by PATH's file name (ids 102, 103, ...)\n"
    "  --item-as NAME PATH         add an item under index name NAME (a backslash makes a subfolder)\n"
    "  --item-id ID NAME PATH      add an item with id ID (1..65535); later automatic ids follow the highest\n"
    "  --index-text FILE           store FILE's bytes as the payload index (resource 101)\n"
    "  --no-index                  write no payload index (an item may then take id 101)\n"
    "  --named-resource NAME PATH  add a TOOLKIT resource named NAME (stored upper-case)\n"
    "  --string ID TEXT            set string-table entry ID (0..65535) to TEXT\n"
    "  --remove-string ID          remove string-table entry ID\n"
    "  --info FILE                 end the output with \"MRDC\", FILE's bytes (at most 4106) and six zero bytes\n"
    "  --help                      show this text\n";

namespace {

uint32_t Fail(const std::string& reason, std::string* error) {
  *error = reason;
  return kPackBadCommandLine;
}

// Decimal digits only, within [minimum, maximum].
bool ParseId(const std::string& text, uint32_t minimum, uint32_t maximum, uint16_t* id) {
  if (text.empty() || text.size() > 5) return false;
  uint32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint32_t>(c - '0');
  }
  if (value < minimum || value > maximum) return false;
  *id = static_cast<uint16_t>(value);
  return true;
}

std::string FileNameOf(const std::string& path) {
  return std::filesystem::u8path(path).filename().u8string();
}

struct PendingItem {
  bool automatic = true;
  uint16_t id = 0;
  std::string name;
  std::string path;
};

}  // namespace

uint32_t ParsePackArguments(const std::vector<std::string>& args, PackOptions* options, std::string* error) {
  *options = PackOptions();
  std::vector<PendingItem> items;
  bool hasStub = false, hasOut = false, noIndex = false, hasIndexText = false;

  for (size_t k = 0; k < args.size(); ++k) {
    const std::string& option = args[k];
    auto take = [&](size_t count, const char* what) -> bool {
      if (args.size() - k - 1 < count) {
        Fail(option + " needs " + what, error);
        return false;
      }
      return true;
    };
    if (option == "--help") {
      options->help = true;
      return 0;
    } else if (option == "--stub" || option == "--out") {
      if (!take(1, "a path")) return kPackBadCommandLine;
      bool& seen = option == "--stub" ? hasStub : hasOut;
      if (seen) return Fail(option + " is given twice", error);
      seen = true;
      (option == "--stub" ? options->stub : options->out) = std::filesystem::u8path(args[++k]);
    } else if (option == "--item") {
      if (!take(1, "a path")) return kPackBadCommandLine;
      const std::string& path = args[++k];
      items.push_back({true, 0, FileNameOf(path), path});
    } else if (option == "--item-as") {
      if (!take(2, "a name and a path")) return kPackBadCommandLine;
      items.push_back({true, 0, args[k + 1], args[k + 2]});
      k += 2;
    } else if (option == "--item-id") {
      if (!take(3, "an id, a name and a path")) return kPackBadCommandLine;
      uint16_t id = 0;
      if (!ParseId(args[k + 1], 1, 65535, &id)) {
        return Fail("item id '" + args[k + 1] + "' is not a number from 1 to 65535", error);
      }
      items.push_back({false, id, args[k + 2], args[k + 3]});
      k += 3;
    } else if (option == "--index-text") {
      if (!take(1, "a path")) return kPackBadCommandLine;
      if (hasIndexText) return Fail("--index-text is given twice", error);
      hasIndexText = true;
      options->indexText = std::filesystem::u8path(args[++k]);
    } else if (option == "--no-index") {
      noIndex = true;
    } else if (option == "--named-resource") {
      if (!take(2, "a name and a path")) return kPackBadCommandLine;
      std::u16string name;
      if (!Utf8ToUtf16(args[k + 1], &name)) return Fail("resource name '" + args[k + 1] + "' is not UTF-8", error);
      if (name.empty()) return Fail("a resource name is empty", error);
      if (name[0] == u'#') {
        return Fail("resource name '" + args[k + 1] + "' begins with '#', which Windows reads as an integer id", error);
      }
      if (name.size() > 0xFFFF) return Fail("resource name '" + args[k + 1] + "' is too long", error);
      name = AsciiUpper(name);
      for (const NamedResourceOption& earlier : options->namedResources) {
        if (earlier.name == name) return Fail("resource name '" + args[k + 1] + "' is given twice", error);
      }
      options->namedResources.push_back({name, std::filesystem::u8path(args[k + 2])});
      k += 2;
    } else if (option == "--string" || option == "--remove-string") {
      const bool remove = option == "--remove-string";
      if (!take(remove ? 1 : 2, remove ? "an id" : "an id and a text")) return kPackBadCommandLine;
      StringEdit edit;
      if (!ParseId(args[k + 1], 0, 65535, &edit.id)) {
        return Fail("string id '" + args[k + 1] + "' is not a number from 0 to 65535", error);
      }
      edit.remove = remove;
      if (!remove) {
        if (!Utf8ToUtf16(args[k + 2], &edit.text)) return Fail("the text of string " + args[k + 1] + " is not UTF-8", error);
        if (edit.text.size() > 0xFFFF) return Fail("the text of string " + args[k + 1] + " is too long", error);
      }
      options->strings.push_back(std::move(edit));
      k += remove ? 1 : 2;
    } else if (option == "--info") {
      if (!take(1, "a path")) return kPackBadCommandLine;
      if (options->hasInfo) return Fail("--info is given twice", error);
      options->hasInfo = true;
      options->info = std::filesystem::u8path(args[++k]);
    } else {
      return Fail("unknown option '" + option + "' (see --help)", error);
    }
  }

  if (!hasStub) return Fail("--stub is missing", error);
  if (!hasOut) return Fail("--out is missing", error);
  if (noIndex && hasIndexText) return Fail("--no-index and --index-text exclude each other", error);
  options->indexMode = noIndex ? IndexMode::kNone : hasIndexText ? IndexMode::kText : IndexMode::kGenerated;

  uint32_t highest = 0;
  for (const PendingItem& pending : items) {
    ItemOption item;
    if (pending.automatic) {
      const uint32_t next = std::max<uint32_t>(kFirstAutomaticId, highest + 1);
      if (next > 65535) return Fail("item '" + pending.name + "' would get id " + std::to_string(next) + ", above 65535", error);
      item.id = static_cast<uint16_t>(next);
    } else {
      item.id = pending.id;
    }
    if (item.id == kIndexId && options->indexMode != IndexMode::kNone) {
      return Fail("item '" + pending.name + "' takes id 101, the payload index's (use --no-index to free it)", error);
    }
    for (const ItemOption& earlier : options->items) {
      if (earlier.id == item.id) {
        return Fail("items '" + earlier.name + "' and '" + pending.name + "' both take id " + std::to_string(item.id), error);
      }
    }
    // Names matter only to a generated index; with --index-text or --no-index they are not written.
    if (options->indexMode == IndexMode::kGenerated && !IndexNameFromUtf8(pending.name, &item.indexName, error)) {
      return kPackBadCommandLine;
    }
    highest = std::max<uint32_t>(highest, item.id);
    item.name = pending.name;
    item.path = std::filesystem::u8path(pending.path);
    options->items.push_back(std::move(item));
  }
  return 0;
}

}  // namespace harnex::packer
