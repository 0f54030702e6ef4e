// The process-wide diagnostic log. Texts logged while no file is open collect as pending text,
// which the next successful OpenLog writes first. The file is held without sharing while open,
// in text mode (LF becomes CR LF), in the calling thread's ANSI code page. Nothing here reports a
// failure: an open that fails leaves the log closed, and write errors are ignored.
// The log state has no lock: callers log from one thread at a time.
#pragma once

#include <cstdarg>
#include <string>

// Closes any open log, remembers `ansiPath` (thread ANSI code page), creates or truncates the file
// and writes the pending text into it. On failure the log stays closed and the text stays pending.
void OpenLog(const char* ansiPath);

// Closes the log if it is open, writing out the buffered bytes. Path and pending text are kept.
void CloseLog();

// If no log is open, opens the remembered path again for appending. Pending text is not written.
void ReopenLog();

// Formats a wide printf-style format (%s takes a wide string) and logs the result.
void LogFormat(const wchar_t* format, ...);
void LogFormatV(const wchar_t* format, va_list args);

// Logs a text unchanged ('%' is not interpreted).
void LogText(const wchar_t* text);
void LogText(const std::wstring& text);

// True while a log file is open.
bool IsLogOpen();
