// Writes a file of an exact size filled with reproducible pseudo-random bytes: stand-in payload
// items for demonstrations and tests.
//
//   make-filler SIZE OUTPUT [SEED]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    std::fprintf(stderr, "usage: make-filler SIZE OUTPUT [SEED]\n");
    return 2;
  }
  char* end = nullptr;
  unsigned long long size = std::strtoull(argv[1], &end, 10);
  if (end == argv[1] || *end != '\0') {
    std::fprintf(stderr, "make-filler: SIZE must be a number of bytes\n");
    return 2;
  }
  uint64_t state = argc == 4 ? std::strtoull(argv[3], nullptr, 10) : 0x9E3779B97F4A7C15ull;
  if (state == 0) state = 1;
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  if (!out) {
    std::fprintf(stderr, "make-filler: cannot write %s\n", argv[2]);
    return 1;
  }
  std::vector<char> block(1 << 20);
  while (size > 0) {
    size_t count = size < block.size() ? static_cast<size_t>(size) : block.size();
    for (size_t i = 0; i < count; ++i) {
      state ^= state << 13;
      state ^= state >> 7;
      state ^= state << 17;
      block[i] = static_cast<char>(state >> 56);
    }
    out.write(block.data(), static_cast<std::streamsize>(count));
    size -= count;
  }
  out.close();
  if (!out) {
    std::fprintf(stderr, "make-filler: write failed for %s\n", argv[2]);
    return 1;
  }
  return 0;
}
