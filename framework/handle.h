// Move-only owners for Windows handles: each releases its handle on every path.
#pragma once

#include <windows.h>

namespace harnex {

template <typename Traits>
class Unique {
 public:
  using Type = typename Traits::Type;

  Unique() = default;
  explicit Unique(Type value) : value_(value) {}
  ~Unique() { reset(); }
  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;
  Unique(Unique&& other) noexcept : value_(other.release()) {}
  Unique& operator=(Unique&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  Type get() const { return value_; }
  explicit operator bool() const { return value_ != Traits::Invalid(); }
  Type release() {
    Type value = value_;
    value_ = Traits::Invalid();
    return value;
  }
  void reset(Type value = Traits::Invalid()) {
    if (value_ != Traits::Invalid()) Traits::Close(value_);
    value_ = value;
  }
  // Releases the current handle and exposes the storage to a function that fills it.
  Type* put() {
    reset();
    return &value_;
  }

 private:
  Type value_ = Traits::Invalid();
};

struct KernelHandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ::CloseHandle(h); }
};
struct FileHandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) { ::CloseHandle(h); }
};
struct FindHandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) { ::FindClose(h); }
};
struct RegKeyTraits {
  using Type = HKEY;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ::RegCloseKey(h); }
};
struct LocalMemoryTraits {
  using Type = HLOCAL;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ::LocalFree(h); }
};
struct GdiObjectTraits {
  using Type = HGDIOBJ;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ::DeleteObject(h); }
};
struct LibraryTraits {
  using Type = HMODULE;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ::FreeLibrary(h); }
};
struct SidTraits {
  using Type = PSID;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ::FreeSid(h); }
};
struct ResourceTraits {  // a loaded resource; FreeResource is a no-op on 32-bit Windows but kept for symmetry
  using Type = HGLOBAL;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ::FreeResource(h); }
};

using UniqueHandle = Unique<KernelHandleTraits>;
using UniqueFile = Unique<FileHandleTraits>;
using UniqueFind = Unique<FindHandleTraits>;
using UniqueKey = Unique<RegKeyTraits>;
using UniqueLocal = Unique<LocalMemoryTraits>;
using UniqueGdiObject = Unique<GdiObjectTraits>;
using UniqueLibrary = Unique<LibraryTraits>;
using UniqueSid = Unique<SidTraits>;
using UniqueResource = Unique<ResourceTraits>;

}  // namespace harnex
