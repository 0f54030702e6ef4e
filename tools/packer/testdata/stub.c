/* A small i686 program for the packer's tests, used both as a stub and as a checker. It prints
 * every resource (type, name, size, FNV-1a hash of the bytes), every string-table entry that
 * LoadStringW finds, and the PE checksum stored in and computed over the file. Without an argument
 * it reports its own module, so a packed copy shows that the system loader maps and runs it; with
 * a path it loads that file as an image resource module. Output is UTF-8, one item a line. */
#include <windows.h>
#include <imagehlp.h>
#include <stdarg.h>
#include <stdio.h>

#ifndef LOAD_LIBRARY_AS_IMAGE_RESOURCE
#define LOAD_LIBRARY_AS_IMAGE_RESOURCE 0x20
#endif

static void Print(const char* format, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, format);
  int length = _vsnprintf(buffer, sizeof buffer - 1, format, args);
  va_end(args);
  if (length < 0) length = sizeof buffer - 1;
  DWORD written;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), buffer, (DWORD)length, &written, NULL);
}

/* Prints UTF-16 text as UTF-8; "\\", control characters as \n, \r, \t or \xHH. */
static void PrintText(const wchar_t* text, int length) {
  static char out[65536 * 4 + 16];
  int used = 0;
  for (int k = 0; k < length; ++k) {
    wchar_t c = text[k];
    if (c == L'\\') { out[used++] = '\\'; out[used++] = '\\'; }
    else if (c == L'\n') { out[used++] = '\\'; out[used++] = 'n'; }
    else if (c == L'\r') { out[used++] = '\\'; out[used++] = 'r'; }
    else if (c == L'\t') { out[used++] = '\\'; out[used++] = 't'; }
    else if (c < 0x20) used += sprintf(out + used, "\\x%02x", (unsigned)c);
    else {
      int count = 1;
      if (c >= 0xD800 && c <= 0xDBFF && k + 1 < length) count = 2;
      used += WideCharToMultiByte(CP_UTF8, 0, text + k, count, out + used, 8, NULL, NULL);
      k += count - 1;
    }
  }
  DWORD written;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), out, (DWORD)used, &written, NULL);
}

static void PrintKey(LPCWSTR key) {
  if (IS_INTRESOURCE(key)) Print("%u", (unsigned)(ULONG_PTR)key);
  else PrintText(key, lstrlenW(key));
}

static BOOL CALLBACK OnName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR unused) {
  (void)unused;
  HRSRC found = FindResourceW(module, name, type);
  DWORD size = found ? SizeofResource(module, found) : 0;
  HGLOBAL loaded = found ? LoadResource(module, found) : NULL;
  const BYTE* bytes = loaded ? (const BYTE*)LockResource(loaded) : NULL;
  DWORD hash = 2166136261u;
  for (DWORD k = 0; bytes != NULL && k < size; ++k) hash = (hash ^ bytes[k]) * 16777619u;
  Print("resource ");
  PrintKey(type);
  Print(" ");
  PrintKey(name);
  if (found == NULL || bytes == NULL) Print(" missing\n");
  else Print(" %lu %08lx\n", (unsigned long)size, (unsigned long)hash);
  return TRUE;
}

static BOOL CALLBACK OnType(HMODULE module, LPWSTR type, LONG_PTR unused) {
  EnumResourceNamesW(module, type, OnName, unused);
  return TRUE;
}

static BOOL CALLBACK OnStringBlock(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR unused) {
  static wchar_t text[65536];
  (void)type;
  (void)unused;
  if (!IS_INTRESOURCE(name)) return TRUE;
  UINT first = ((UINT)(ULONG_PTR)name - 1) * 16;
  for (UINT id = first; id < first + 16; ++id) {
    int length = LoadStringW(module, id, text, 65536);
    if (length <= 0) continue;
    Print("string %u ", id);
    PrintText(text, length);
    Print("\n");
  }
  return TRUE;
}

int wmain(int argc, wchar_t** argv) {
  static wchar_t path[32768];
  HMODULE module;
  if (argc > 1) {
    lstrcpynW(path, argv[1], 32768);
    module = LoadLibraryExW(path, NULL, LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE);
    if (module == NULL) {
      Print("load failed %lu\n", (unsigned long)GetLastError());
      return 3;
    }
  } else {
    module = GetModuleHandleW(NULL);
    GetModuleFileNameW(NULL, path, 32768);
  }
  EnumResourceTypesW(module, OnType, 0);
  EnumResourceNamesW(module, MAKEINTRESOURCEW(6), OnStringBlock, 0);
  DWORD stored = 0, computed = 0;
  DWORD result = MapFileAndCheckSumW(path, &stored, &computed);
  Print("checksum %lu %08lx %08lx\n", (unsigned long)result, (unsigned long)stored, (unsigned long)computed);
  return 0;
}
