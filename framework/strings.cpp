#include "framework/strings.h"

#include <climits>
#include <cwchar>
#include <vector>

namespace harnex {

std::wstring LoadResString(UINT id, HINSTANCE module) {
  if (module == nullptr) module = ::GetModuleHandleW(nullptr);
  const wchar_t* text = nullptr;
  // With a zero buffer size LoadStringW hands out a pointer to the resource text itself.
  int length = ::LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || text == nullptr) return std::wstring();
  return std::wstring(text, static_cast<size_t>(length));
}

std::wstring FormatStringV(const wchar_t* format, va_list args) {
  va_list measure;
  va_copy(measure, args);
  int length = _vscwprintf(format, measure);
  va_end(measure);
  if (length <= 0) return std::wstring();
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
  va_list fill;
  va_copy(fill, args);
  _vsnwprintf(buffer.data(), buffer.size(), format, fill);
  va_end(fill);
  return std::wstring(buffer.data(), static_cast<size_t>(length));
}

std::wstring FormatString(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  std::wstring result = FormatStringV(format, args);
  va_end(args);
  return result;
}

long ParseSignedDecimal(const std::wstring& text) {
  size_t i = 0;
  while (i < text.size() && iswspace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
  long long value = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    value = value * 10 + (text[i] - L'0');
    if (value > static_cast<long long>(LONG_MAX) + 1) value = static_cast<long long>(LONG_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > LONG_MAX) return LONG_MAX;
  if (value < LONG_MIN) return LONG_MIN;
  return static_cast<long>(value);
}

bool ToThreadAnsi(const std::wstring& text, std::string& out) {
  out.clear();
  if (text.empty()) return true;
  // Two bytes per UTF-16 unit, terminator included, as the log's conversion buffer.
  std::vector<char> buffer((text.size() + 1) * 2);
  int written = ::WideCharToMultiByte(CP_THREAD_ACP, 0, text.c_str(), static_cast<int>(text.size()),
                                      buffer.data(), static_cast<int>(buffer.size()), nullptr, nullptr);
  if (written <= 0) return false;
  out.assign(buffer.data(), static_cast<size_t>(written));
  return true;
}

std::wstring FromThreadAnsi(const char* bytes, size_t length) {
  if (length == 0) return std::wstring();
  int units = ::MultiByteToWideChar(CP_THREAD_ACP, 0, bytes, static_cast<int>(length), nullptr, 0);
  if (units <= 0) return std::wstring();
  std::wstring result(static_cast<size_t>(units), L'\0');
  ::MultiByteToWideChar(CP_THREAD_ACP, 0, bytes, static_cast<int>(length), &result[0], units);
  return result;
}

}  // namespace harnex
