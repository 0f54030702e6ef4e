#include "tools/packer/output_file.h"

#include <algorithm>
#include <random>
#include <system_error>

#include "tools/packer/pack_error.h"

namespace harnex::packer {
namespace {

constexpr size_t kChunkSize = 1 << 20;

std::string HexSuffix() {
  std::random_device random;
  std::string text;
  for (int k = 0; k < 8; ++k) text += "0123456789abcdef"[random() & 15];
  return text;
}

}  // namespace

OutputFile::~OutputFile() {
  if (m_temporaryPath.empty() || m_committed) return;
  m_stream.close();
  std::error_code ignored;
  std::filesystem::remove(m_temporaryPath, ignored);
}

uint32_t OutputFile::Create(const std::filesystem::path& finalPath, std::string* error) {
  m_finalPath = finalPath;
  std::filesystem::path folder = finalPath.parent_path();
  const std::string base = "." + finalPath.filename().u8string() + ".";
  for (int attempt = 0; attempt < 16; ++attempt) {
    std::filesystem::path candidate = folder / std::filesystem::u8path(base + HexSuffix() + ".tmp");
    std::error_code code;
    if (std::filesystem::exists(candidate, code) || code) continue;
    m_stream.open(candidate, std::ios::binary | std::ios::trunc);
    if (!m_stream) break;
    m_temporaryPath = candidate;
    m_buffer.resize(kChunkSize);
    return 0;
  }
  *error = "cannot create a temporary file beside " + finalPath.u8string();
  return kPackWriteFailed;
}

uint32_t OutputFile::WriteFailed(std::string* error) {
  *error = "cannot write " + m_temporaryPath.u8string() + " (disk full?)";
  return kPackWriteFailed;
}

uint32_t OutputFile::Write(const uint8_t* bytes, size_t count, std::string* error) {
  if (count == 0) return 0;
  m_stream.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(count));
  if (!m_stream) return WriteFailed(error);
  m_checksum.Add(bytes, count);
  m_position += count;
  return 0;
}

uint32_t OutputFile::WriteZeros(uint64_t count, std::string* error) {
  std::fill(m_buffer.begin(), m_buffer.end(), 0);
  while (count != 0) {
    const size_t part = static_cast<size_t>(std::min<uint64_t>(count, m_buffer.size()));
    const uint32_t code = Write(m_buffer.data(), part, error);
    if (code != 0) return code;
    count -= part;
  }
  return 0;
}

uint32_t OutputFile::WriteBlob(const DataBlob& blob, std::string* error) {
  if (blob.file.empty()) return Write(blob.bytes.data(), blob.bytes.size(), error);
  std::ifstream input(blob.file, std::ios::binary);
  if (input && blob.offset != 0) input.seekg(static_cast<std::streamoff>(blob.offset));
  uint64_t remaining = blob.length;
  while (input && remaining != 0) {
    const size_t part = static_cast<size_t>(std::min<uint64_t>(remaining, m_buffer.size()));
    input.read(reinterpret_cast<char*>(m_buffer.data()), static_cast<std::streamsize>(part));
    if (static_cast<size_t>(input.gcount()) != part) break;
    const uint32_t code = Write(m_buffer.data(), part, error);
    if (code != 0) return code;
    remaining -= part;
  }
  if (!input || remaining != 0) {
    *error = "cannot read " + blob.file.u8string() + " (or it became shorter while packing)";
    return kPackBadInput;
  }
  return 0;
}

uint32_t OutputFile::Patch(uint64_t offset, const uint8_t* bytes, size_t count, std::string* error) {
  const std::streampos end = m_stream.tellp();
  m_stream.seekp(static_cast<std::streamoff>(offset));
  m_stream.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(count));
  m_stream.seekp(end);
  if (!m_stream) return WriteFailed(error);
  return 0;
}

uint32_t OutputFile::Commit(const std::filesystem::path& permissionsFrom, std::string* error) {
  m_stream.flush();
  if (!m_stream) return WriteFailed(error);
  m_stream.close();
  if (m_stream.fail()) return WriteFailed(error);
  std::error_code code;
  const std::filesystem::file_status status = std::filesystem::status(permissionsFrom, code);
  if (!code) std::filesystem::permissions(m_temporaryPath, status.permissions(), code);
  std::filesystem::rename(m_temporaryPath, m_finalPath, code);
  if (code) {
    *error = "cannot write " + m_finalPath.u8string() + ": " + code.message();
    return kPackWriteFailed;
  }
  m_committed = true;
  return 0;
}

}  // namespace harnex::packer
