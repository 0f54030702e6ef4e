// Writing a bootstrapper: the stub's image with a new resource section (its resources without any
// TOOLKIT entries, plus the given items, index and named resources, plus the edited string table),
// and the embedded information block at the end.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "tools/packer/pack_options.h"

namespace harnex::packer {

// Writes options.out. Payload bytes are streamed from their files; the output appears under its
// name only when complete. Returns 0, or a failure code with a one-line reason.
uint32_t PackBootstrapper(const PackOptions& options, std::string* error);

// The whole command: parses `args` (UTF-8, without the program name), prints the usage for
// --help, packs, and prints "harnex-pack: REASON" on failure. Returns the process exit code.
int RunPackCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace harnex::packer
