#include "tools/packer/text_convert.h"

#include <cstdint>
#include <vector>

namespace harnex::packer {
namespace {

// Reads code points from UTF-8; false on any malformed sequence.
bool DecodeUtf8(const std::string& utf8, std::vector<char32_t>* points) {
  size_t i = 0;
  while (i < utf8.size()) {
    const uint8_t lead = static_cast<uint8_t>(utf8[i]);
    char32_t value;
    size_t extra;
    char32_t minimum;
    if (lead < 0x80) {
      value = lead, extra = 0, minimum = 0;
    } else if ((lead & 0xE0) == 0xC0) {
      value = lead & 0x1F, extra = 1, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      value = lead & 0x0F, extra = 2, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      value = lead & 0x07, extra = 3, minimum = 0x10000;
    } else {
      return false;
    }
    if (utf8.size() - i - 1 < extra) return false;
    for (size_t k = 1; k <= extra; ++k) {
      const uint8_t next = static_cast<uint8_t>(utf8[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      value = (value << 6) | (next & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
    points->push_back(value);
    i += extra + 1;
  }
  return true;
}

// Windows-1252 bytes 0x80..0x9F and the characters they stand for; 0 marks the five unused bytes.
constexpr char16_t kHighControlsBlock[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

}  // namespace

bool Utf8ToUtf16(const std::string& utf8, std::u16string* out) {
  std::vector<char32_t> points;
  if (!DecodeUtf8(utf8, &points)) return false;
  out->clear();
  for (char32_t point : points) {
    if (point < 0x10000) {
      out->push_back(static_cast<char16_t>(point));
    } else {
      point -= 0x10000;
      out->push_back(static_cast<char16_t>(0xD800 + (point >> 10)));
      out->push_back(static_cast<char16_t>(0xDC00 + (point & 0x3FF)));
    }
  }
  return true;
}

bool Utf16ToUtf8(const std::u16string& text, std::string* out) {
  out->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t point = text[i];
    if (point >= 0xD800 && point <= 0xDBFF) {
      if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
      point = 0x10000 + ((point - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (point >= 0xDC00 && point <= 0xDFFF) {
      return false;
    }
    if (point < 0x80) {
      out->push_back(static_cast<char>(point));
    } else if (point < 0x800) {
      out->push_back(static_cast<char>(0xC0 | (point >> 6)));
      out->push_back(static_cast<char>(0x80 | (point & 0x3F)));
    } else if (point < 0x10000) {
      out->push_back(static_cast<char>(0xE0 | (point >> 12)));
      out->push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (point & 0x3F)));
    } else {
      out->push_back(static_cast<char>(0xF0 | (point >> 18)));
      out->push_back(static_cast<char>(0x80 | ((point >> 12) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (point & 0x3F)));
    }
  }
  return true;
}

bool Utf8ToWindows1252(const std::string& utf8, std::string* out) {
  std::vector<char32_t> points;
  if (!DecodeUtf8(utf8, &points)) return false;
  out->clear();
  for (char32_t point : points) {
    if (point < 0x80 || (point >= 0xA0 && point <= 0xFF)) {
      out->push_back(static_cast<char>(point));
      continue;
    }
    bool found = false;
    for (int k = 0; k < 32 && !found; ++k) {
      if (kHighControlsBlock[k] != 0 && kHighControlsBlock[k] == point) {
        out->push_back(static_cast<char>(0x80 + k));
        found = true;
      }
    }
    if (!found) return false;
  }
  return true;
}

std::u16string AsciiUpper(const std::u16string& text) {
  std::u16string upper = text;
  for (char16_t& unit : upper) {
    if (unit >= u'a' && unit <= u'z') unit = static_cast<char16_t>(unit - u'a' + u'A');
  }
  return upper;
}

}  // namespace harnex::packer
