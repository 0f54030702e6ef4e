#include "tools/packer/byte_source.h"

#include <cstring>
#include <system_error>
#include <utility>

namespace harnex::packer {

uint16_t GetU16(const uint8_t* at) { return static_cast<uint16_t>(at[0] | (at[1] << 8)); }

uint32_t GetU32(const uint8_t* at) {
  return static_cast<uint32_t>(at[0]) | (static_cast<uint32_t>(at[1]) << 8) |
         (static_cast<uint32_t>(at[2]) << 16) | (static_cast<uint32_t>(at[3]) << 24);
}

void PutU16(uint8_t* at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}

void PutU32(uint8_t* at, uint32_t value) {
  for (int k = 0; k < 4; ++k) at[k] = static_cast<uint8_t>(value >> (8 * k));
}

DataBlob DataBlob::FromBytes(std::vector<uint8_t> data) {
  DataBlob blob;
  blob.bytes = std::move(data);
  return blob;
}

DataBlob DataBlob::FromFile(std::filesystem::path path, uint64_t offset, uint64_t length) {
  DataBlob blob;
  blob.file = std::move(path);
  blob.offset = offset;
  blob.length = length;
  return blob;
}

bool ReadBlob(const DataBlob& blob, std::vector<uint8_t>* out, std::string* error) {
  if (blob.file.empty()) {
    *out = blob.bytes;
    return true;
  }
  std::ifstream stream(blob.file, std::ios::binary);
  out->assign(static_cast<size_t>(blob.length), 0);
  bool ok = static_cast<bool>(stream);
  if (ok && blob.length != 0) {
    stream.seekg(static_cast<std::streamoff>(blob.offset));
    stream.read(reinterpret_cast<char*>(out->data()), static_cast<std::streamsize>(blob.length));
    ok = stream && static_cast<uint64_t>(stream.gcount()) == blob.length;
  }
  if (!ok) {
    *error = "cannot read " + blob.file.u8string();
    return false;
  }
  return true;
}

bool MemorySource::ReadAt(uint64_t offset, void* buffer, size_t count) {
  if (offset > m_bytes.size() || count > m_bytes.size() - offset) return false;
  if (count != 0) std::memcpy(buffer, m_bytes.data() + offset, count);
  return true;
}

DataBlob MemorySource::BlobAt(uint64_t offset, uint64_t count) {
  return DataBlob::FromBytes(std::vector<uint8_t>(m_bytes.begin() + static_cast<ptrdiff_t>(offset),
                                                  m_bytes.begin() + static_cast<ptrdiff_t>(offset + count)));
}

bool FileSource::Open(const std::filesystem::path& path) {
  std::error_code code;
  if (!std::filesystem::is_regular_file(path, code)) return false;
  const uint64_t size = std::filesystem::file_size(path, code);
  if (code) return false;
  m_stream.open(path, std::ios::binary);
  if (!m_stream) return false;
  m_path = path;
  m_size = size;
  return true;
}

bool FileSource::ReadAt(uint64_t offset, void* buffer, size_t count) {
  if (offset > m_size || count > m_size - offset) return false;
  if (count == 0) return true;
  m_stream.clear();
  m_stream.seekg(static_cast<std::streamoff>(offset));
  m_stream.read(static_cast<char*>(buffer), static_cast<std::streamsize>(count));
  return m_stream && static_cast<size_t>(m_stream.gcount()) == count;
}

DataBlob FileSource::BlobAt(uint64_t offset, uint64_t count) {
  return DataBlob::FromFile(m_path, offset, count);
}

}  // namespace harnex::packer
