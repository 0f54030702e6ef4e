#include "tools/packer/pack.h"

#include <system_error>

#include "tools/packer/info_block.h"
#include "tools/packer/output_file.h"
#include "tools/packer/pack_error.h"
#include "tools/packer/payload_index.h"
#include "tools/packer/pe_image.h"
#include "tools/packer/resource_tree.h"
#include "tools/packer/string_table.h"

namespace harnex::packer {
namespace {

const ResourceKey kToolkit = ResourceKey::Name(u"TOOLKIT");
const ResourceKey kNeutral = ResourceKey::Id(0);

// A blob over a whole input file, after checking that it can be opened.
uint32_t InputBlob(const std::filesystem::path& path, const char* what, DataBlob* blob, std::string* error) {
  std::error_code code;
  const bool regular = std::filesystem::is_regular_file(path, code);
  const uint64_t size = regular ? std::filesystem::file_size(path, code) : 0;
  std::ifstream probe(path, std::ios::binary);
  if (!regular || code || !probe) {
    *error = std::string("cannot read ") + what + " " + path.u8string();
    return kPackBadInput;
  }
  *blob = DataBlob::FromFile(path, 0, size);
  return 0;
}

// Reads the stub's image and resources.
uint32_t ReadStub(const std::filesystem::path& path, PeImage* image, ResourceTree* tree, std::string* error) {
  FileSource stub;
  if (!stub.Open(path)) {
    *error = "cannot read stub " + path.u8string();
    return kPackBadStub;
  }
  uint32_t code = ParsePeImage(stub, image, error);
  if (code == 0 && image->resourceRva != 0) {
    code = ParseResourceTree(stub, MappedRanges(*image), image->resourceRva, tree, error);
  }
  if (code != 0) *error = "stub " + path.u8string() + ": " + *error;
  return code;
}

// The new resource tree: the stub's without TOOLKIT, then the items, the index, the named resources,
// then the string edits.
uint32_t BuildTree(const PackOptions& options, ResourceTree* tree, std::string* error) {
  RemoveResourceType(tree, kToolkit);
  std::vector<IndexEntry> index;
  for (const ItemOption& item : options.items) {
    DataBlob blob;
    const uint32_t code = InputBlob(item.path, "item", &blob, error);
    if (code != 0) return code;
    index.push_back({item.id, item.indexName, blob.Size()});
    SetResource(tree, kToolkit, ResourceKey::Id(item.id), kNeutral, std::move(blob));
  }
  if (options.indexMode == IndexMode::kGenerated) {
    const std::string text = BuildIndexText(index);
    SetResource(tree, kToolkit, ResourceKey::Id(kIndexId), kNeutral,
                DataBlob::FromBytes(std::vector<uint8_t>(text.begin(), text.end())));
  } else if (options.indexMode == IndexMode::kText) {
    DataBlob blob;
    const uint32_t code = InputBlob(options.indexText, "index text", &blob, error);
    if (code != 0) return code;
    SetResource(tree, kToolkit, ResourceKey::Id(kIndexId), kNeutral, std::move(blob));
  }
  for (const NamedResourceOption& named : options.namedResources) {
    DataBlob blob;
    const uint32_t code = InputBlob(named.path, "named resource", &blob, error);
    if (code != 0) return code;
    SetResource(tree, kToolkit, ResourceKey::Name(named.name), kNeutral, std::move(blob));
  }
  return ApplyStringEdits(tree, options.strings, error);
}

uint32_t ReadInfoBlock(const PackOptions& options, std::vector<uint8_t>* block, std::string* error) {
  if (!options.hasInfo) return 0;
  DataBlob blob;
  uint32_t code = InputBlob(options.info, "information file", &blob, error);
  if (code != 0) return code;
  code = CheckInfoSize(blob.Size(), error);
  if (code != 0) return code;
  std::vector<uint8_t> info;
  if (!ReadBlob(blob, &info, error)) return kPackBadInput;
  return BuildInfoBlock(info, block, error);
}

uint32_t WriteOutput(const PackOptions& options, const PeImage& image, const SectionPlacement& placement,
                     const ResourceSection& section, const OutputLayout& layout,
                     const std::vector<uint8_t>& infoBlock, std::string* error) {
  OutputFile out;
  uint32_t code = out.Create(options.out, error);
  if (code == 0) code = out.Write(layout.headers.data(), layout.headers.size(), error);
  if (code == 0 && placement.keptStubBytes > layout.headers.size()) {
    code = out.WriteBlob(DataBlob::FromFile(options.stub, layout.headers.size(),
                                            placement.keptStubBytes - layout.headers.size()), error);
    if (code == kPackBadInput) code = kPackBadStub;
  }
  if (code == 0) code = out.WriteZeros(placement.fileOffset - out.Position(), error);
  if (code == 0) code = out.Write(section.head.data(), section.head.size(), error);
  for (const ResourceSection::Placement& data : section.data) {
    if (code == 0) code = out.WriteZeros(placement.fileOffset + data.offset - out.Position(), error);
    if (code == 0) code = out.WriteBlob(*data.blob, error);
  }
  if (code == 0) code = out.WriteZeros(placement.fileOffset + layout.sectionRawSize - out.Position(), error);
  if (code == 0 && layout.symbolTableSize != 0) {
    code = out.WriteBlob(DataBlob::FromFile(options.stub, image.symbolTableOffset, layout.symbolTableSize), error);
    if (code == kPackBadInput) code = kPackBadStub;
  }
  if (code == 0) code = out.Write(infoBlock.data(), infoBlock.size(), error);
  if (code != 0) return code;
  if (out.Position() != layout.fileSize) {
    *error = "internal error: wrote " + std::to_string(out.Position()) + " bytes, planned " +
             std::to_string(layout.fileSize);
    return kPackWriteFailed;
  }
  uint8_t checksum[4];
  PutU32(checksum, out.Checksum().Finish(layout.fileSize));
  code = out.Patch(layout.checksumOffset, checksum, sizeof checksum, error);
  if (code == 0) code = out.Commit(options.stub, error);
  return code;
}

}  // namespace

uint32_t PackBootstrapper(const PackOptions& options, std::string* error) {
  PeImage image;
  ResourceTree tree;
  uint32_t code = ReadStub(options.stub, &image, &tree, error);
  if (code == 0) code = BuildTree(options, &tree, error);
  std::vector<uint8_t> infoBlock;
  if (code == 0) code = ReadInfoBlock(options, &infoBlock, error);
  SectionPlacement placement;
  if (code == 0) code = PlaceResourceSection(image, &placement, error);
  ResourceSection section;
  if (code == 0) code = SerialiseResourceTree(tree, placement.rva, &section, error);
  OutputLayout layout;
  if (code == 0) code = PlanOutput(image, placement, section.size, infoBlock.size(), &layout, error);
  if (code == 0) code = WriteOutput(options, image, placement, section, layout, infoBlock, error);
  return code;
}

int RunPackCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  PackOptions options;
  std::string error;
  uint32_t code = ParsePackArguments(args, &options, &error);
  if (code == 0 && options.help) {
    out << kPackUsage;
    return 0;
  }
  if (code == 0) code = PackBootstrapper(options, &error);
  if (code != 0) err << "harnex-pack: " << error << "\n";
  return static_cast<int>(code);
}

}  // namespace harnex::packer
