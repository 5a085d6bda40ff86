#pragma once
// Owners for Win32 handles. One owner per handle; moves transfer ownership.
#include <windows.h>
#include <wininet.h>

#include <utility>

namespace zu {

template <typename Traits>
class UniqueResource {
 public:
  using T = typename Traits::Type;
  UniqueResource() = default;
  explicit UniqueResource(T v) : v_(v) {}
  ~UniqueResource() { reset(); }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;
  UniqueResource(UniqueResource&& o) noexcept : v_(o.release()) {}
  UniqueResource& operator=(UniqueResource&& o) noexcept {
    if (this != &o) reset(o.release());
    return *this;
  }

  T get() const { return v_; }
  explicit operator bool() const { return Traits::Valid(v_); }
  T release() { return std::exchange(v_, Traits::Invalid()); }
  void reset(T v = Traits::Invalid()) {
    if (Traits::Valid(v_)) Traits::Close(v_);
    v_ = v;
  }
  // For APIs that return the handle through an out-parameter.
  T* put() {
    reset();
    return &v_;
  }

 private:
  T v_ = Traits::Invalid();
};

struct KernelHandleTraits {  // NULL means none
  using Type = HANDLE;
  static HANDLE Invalid() { return nullptr; }
  static bool Valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { ::CloseHandle(h); }
};
struct FileHandleTraits : KernelHandleTraits {  // INVALID_HANDLE_VALUE means none
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
};
struct RegKeyTraits {
  using Type = HKEY;
  static HKEY Invalid() { return nullptr; }
  static bool Valid(HKEY h) { return h != nullptr; }
  static void Close(HKEY h) { ::RegCloseKey(h); }
};
struct InternetHandleTraits {  // session, connection or request
  using Type = HINTERNET;
  static HINTERNET Invalid() { return nullptr; }
  static bool Valid(HINTERNET h) { return h != nullptr; }
  static void Close(HINTERNET h) { ::InternetCloseHandle(h); }
};
struct ModuleTraits {
  using Type = HMODULE;
  static HMODULE Invalid() { return nullptr; }
  static bool Valid(HMODULE h) { return h != nullptr; }
  static void Close(HMODULE h) { ::FreeLibrary(h); }
};
struct LocalMemTraits {
  using Type = HLOCAL;
  static HLOCAL Invalid() { return nullptr; }
  static bool Valid(HLOCAL h) { return h != nullptr; }
  static void Close(HLOCAL h) { ::LocalFree(h); }
};
// An icon made by LoadImage or CreateIcon (never a shared one).
struct IconTraits {
  using Type = HICON;
  static HICON Invalid() { return nullptr; }
  static bool Valid(HICON h) { return h != nullptr; }
  static void Close(HICON h) { ::DestroyIcon(h); }
};
struct MenuTraits {  // a loaded or created menu, not one a window owns
  using Type = HMENU;
  static HMENU Invalid() { return nullptr; }
  static bool Valid(HMENU h) { return h != nullptr; }
  static void Close(HMENU h) { ::DestroyMenu(h); }
};
struct SidTraits {  // from AllocateAndInitializeSid
  using Type = PSID;
  static PSID Invalid() { return nullptr; }
  static bool Valid(PSID p) { return p != nullptr; }
  static void Close(PSID p) { ::FreeSid(p); }
};
struct FindTraits {  // a FindFirstFile search; INVALID_HANDLE_VALUE means none
  using Type = HANDLE;
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static bool Valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { ::FindClose(h); }
};

using UniqueHandle = UniqueResource<KernelHandleTraits>;
using UniqueFile = UniqueResource<FileHandleTraits>;
using UniqueRegKey = UniqueResource<RegKeyTraits>;
using UniqueInternet = UniqueResource<InternetHandleTraits>;
using UniqueModule = UniqueResource<ModuleTraits>;
using UniqueLocal = UniqueResource<LocalMemTraits>;
using UniqueIcon = UniqueResource<IconTraits>;
using UniqueMenu = UniqueResource<MenuTraits>;
using UniqueSid = UniqueResource<SidTraits>;
using UniqueFind = UniqueResource<FindTraits>;

}  // namespace zu
