// The packer's output file: written to a temporary file beside the final name, fed through the
// PE checksum as it goes, and renamed over the final name only when everything was written.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tools/packer/byte_source.h"
#include "tools/packer/pe_image.h"

namespace harnex::packer {

class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  // Removes the temporary file unless Commit succeeded.
  ~OutputFile();

  // Creates the temporary file in the folder of `finalPath`. Returns 0 or kPackWriteFailed.
  uint32_t Create(const std::filesystem::path& finalPath, std::string* error);

  // Appends bytes (counted into the checksum). Each returns 0 or a failure code with a reason.
  uint32_t Write(const uint8_t* bytes, size_t count, std::string* error);
  uint32_t WriteZeros(uint64_t count, std::string* error);
  // Streams a blob in chunks; a file blob that yields fewer bytes than it names fails with
  // kPackBadInput.
  uint32_t WriteBlob(const DataBlob& blob, std::string* error);

  uint64_t Position() const { return m_position; }
  const PeChecksum& Checksum() const { return m_checksum; }

  // Overwrites bytes already written (not counted into the checksum).
  uint32_t Patch(uint64_t offset, const uint8_t* bytes, size_t count, std::string* error);

  // Flushes, closes and renames the temporary file to the final name (replacing a file there).
  // `permissionsFrom` names a file whose permission bits the output takes, where the system has them.
  uint32_t Commit(const std::filesystem::path& permissionsFrom, std::string* error);

 private:
  uint32_t WriteFailed(std::string* error);

  std::filesystem::path m_finalPath;
  std::filesystem::path m_temporaryPath;
  std::ofstream m_stream;
  std::vector<uint8_t> m_buffer;
  uint64_t m_position = 0;
  PeChecksum m_checksum;
  bool m_committed = false;
};

}  // namespace harnex::packer
