#pragma once
// Owners for GDI objects and memory device contexts (icons: handle.h).
#include <windows.h>

#include "common/framework/handle.h"

namespace zu {

template <typename H>
struct GdiObjectTraits {
  using Type = H;
  static H Invalid() { return nullptr; }
  static bool Valid(H h) { return h != nullptr; }
  static void Close(H h) { ::DeleteObject(h); }
};
struct MemoryDcTraits {
  using Type = HDC;
  static HDC Invalid() { return nullptr; }
  static bool Valid(HDC h) { return h != nullptr; }
  static void Close(HDC h) { ::DeleteDC(h); }
};

using UniqueBitmap = UniqueResource<GdiObjectTraits<HBITMAP>>;
using UniqueBrush = UniqueResource<GdiObjectTraits<HBRUSH>>;
using UniquePen = UniqueResource<GdiObjectTraits<HPEN>>;
using UniqueMemoryDc = UniqueResource<MemoryDcTraits>;

// Selects an object into a context for one scope.
class SelectGuard {
 public:
  SelectGuard(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
  ~SelectGuard() {
    if (previous_ && previous_ != HGDI_ERROR) ::SelectObject(dc_, previous_);
  }
  SelectGuard(const SelectGuard&) = delete;
  SelectGuard& operator=(const SelectGuard&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace zu
