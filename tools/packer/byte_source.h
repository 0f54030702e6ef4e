// Byte access for the packer: little-endian fields, random-access sources (memory or a file), and
// blobs, the runs of bytes an output carries (held in memory, or a file range read when written).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace harnex::packer {

uint16_t GetU16(const uint8_t* at);
uint32_t GetU32(const uint8_t* at);
void PutU16(uint8_t* at, uint16_t value);
void PutU32(uint8_t* at, uint32_t value);

// Bytes that end up in an output. When `file` is empty the bytes are `bytes`; otherwise they are
// `length` bytes of `file` from `offset`, read only when they are needed.
struct DataBlob {
  std::vector<uint8_t> bytes;
  std::filesystem::path file;
  uint64_t offset = 0;
  uint64_t length = 0;

  uint64_t Size() const { return file.empty() ? bytes.size() : length; }
  static DataBlob FromBytes(std::vector<uint8_t> data);
  static DataBlob FromFile(std::filesystem::path path, uint64_t offset, uint64_t length);
};

// Reads a whole blob into memory. Returns false (with a one-line reason) when the file cannot be
// read or holds fewer bytes than the blob names.
bool ReadBlob(const DataBlob& blob, std::vector<uint8_t>* out, std::string* error);

// Random access to the bytes of a stub.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t Size() const = 0;
  // Reads exactly `count` bytes at `offset`; false when the range leaves the source or a read fails.
  virtual bool ReadAt(uint64_t offset, void* buffer, size_t count) = 0;
  // A blob for `count` bytes at `offset`, a range the caller has checked against Size().
  virtual DataBlob BlobAt(uint64_t offset, uint64_t count) = 0;
};

// A source over bytes in memory; its blobs are copies.
class MemorySource : public ByteSource {
 public:
  explicit MemorySource(const std::vector<uint8_t>& bytes) : m_bytes(bytes) {}
  uint64_t Size() const override { return m_bytes.size(); }
  bool ReadAt(uint64_t offset, void* buffer, size_t count) override;
  DataBlob BlobAt(uint64_t offset, uint64_t count) override;

 private:
  const std::vector<uint8_t>& m_bytes;
};

// A source over a file; its blobs name ranges of the file, so large resources stay on disk.
class FileSource : public ByteSource {
 public:
  // Opens the file for reading; false when it cannot be opened or its size cannot be taken.
  bool Open(const std::filesystem::path& path);
  uint64_t Size() const override { return m_size; }
  bool ReadAt(uint64_t offset, void* buffer, size_t count) override;
  DataBlob BlobAt(uint64_t offset, uint64_t count) override;

 private:
  std::filesystem::path m_path;
  std::ifstream m_stream;
  uint64_t m_size = 0;
};

}  // namespace harnex::packer
