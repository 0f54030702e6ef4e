#include "cmdline/log.h"

#include <share.h>
#include <stdio.h>

#include <cstring>
#include <memory>

#include "cmdline/log_for_test.h"
#include "framework/strings.h"

namespace {

struct StreamCloser {
  void operator()(FILE* stream) const { fclose(stream); }
};
using UniqueStream = std::unique_ptr<FILE, StreamCloser>;

struct LogState {
  UniqueStream stream;       // set while the log is open
  std::wstring path;         // the path of the most recent OpenLog
  std::wstring pendingText;  // logged while closed, in call order
};

LogState& State() {
  static LogState state;
  return state;
}

// Text mode turns each LF into CR LF; no other process may open the file, not even to read.
UniqueStream OpenExclusive(const std::wstring& path, const wchar_t* mode) {
  if (path.empty()) return UniqueStream();
  return UniqueStream(_wfsopen(path.c_str(), mode, _SH_DENYRW));
}

void WriteToStream(FILE* stream, const std::wstring& text) {
  std::string bytes;
  // A text that does not fit two bytes per UTF-16 unit in the thread's code page (only possible
  // with a multi-byte code page) is skipped rather than written cut short.
  if (!harnex::ToThreadAnsi(text, bytes)) return;
  if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), stream);
}

}  // namespace

void OpenLog(const char* ansiPath) {
  LogState& state = State();
  CloseLog();
  state.path = ansiPath == nullptr ? std::wstring() : harnex::FromThreadAnsi(ansiPath, std::strlen(ansiPath));
  // A path that does not convert comes back empty and so does not open.
  state.stream = OpenExclusive(state.path, L"wt");
  if (!state.stream) return;
  WriteToStream(state.stream.get(), state.pendingText);
  state.pendingText.clear();
}

void CloseLog() { State().stream.reset(); }

void ReopenLog() {
  LogState& state = State();
  if (state.stream) return;
  // The file is opened under the path's form in the thread's code page, as OpenLog received it.
  std::string ansiPath;
  if (!harnex::ToThreadAnsi(state.path, ansiPath)) return;
  state.stream = OpenExclusive(harnex::FromThreadAnsi(ansiPath.data(), ansiPath.size()), L"at");
}

void LogFormatV(const wchar_t* format, va_list args) {
  if (format == nullptr) return;
  LogText(harnex::FormatStringV(format, args));
}

void LogFormat(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  LogFormatV(format, args);
  va_end(args);
}

void LogText(const std::wstring& text) {
  LogState& state = State();
  if (state.stream) {
    WriteToStream(state.stream.get(), text);
  } else {
    state.pendingText += text;
  }
}

void LogText(const wchar_t* text) {
  if (text == nullptr) return;
  LogText(std::wstring(text));
}

bool IsLogOpen() { return static_cast<bool>(State().stream); }

std::wstring PendingLogTextForTest() { return State().pendingText; }

void ResetLogForTest() {
  LogState& state = State();
  state.stream.reset();
  state.path.clear();
  state.pendingText.clear();
}
