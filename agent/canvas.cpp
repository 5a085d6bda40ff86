#include "agent/canvas.h"

// GDI+ headers need min/max and the OLE types.
#include <ole2.h>

#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>

namespace {

// Width and height of the picture, or false when GDI+ cannot read it.
bool ReadPictureSize(const std::wstring& path, int* width, int* height) {
  // Scoped: GDI+ keeps the file open while the image lives.
  Gdiplus::Image image(path.c_str());
  if (image.GetLastStatus() != Gdiplus::Ok) return false;
  *width = static_cast<int>(image.GetWidth());
  *height = static_cast<int>(image.GetHeight());
  return *width > 0 && *height > 0;
}

}  // namespace

CCanvas::CCanvas(HWND dialog, const std::wstring& path) {
  int w = 0, h = 0;
  if (!ReadPictureSize(path, &w, &h)) return;
  bitmap_.reset(static_cast<HBITMAP>(::LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, w, h,
                                                  LR_LOADFROMFILE | LR_CREATEDIBSECTION)));
  if (!bitmap_) return;
  HDC screen = ::GetDC(dialog);
  memory_.reset(::CreateCompatibleDC(screen));
  ::ReleaseDC(dialog, screen);
  if (!memory_) return;
  previous_ = ::SelectObject(memory_.get(), bitmap_.get());
  if (!previous_ || previous_ == HGDI_ERROR) {
    previous_ = nullptr;
    memory_.reset();
    return;
  }
  rect_ = {0, 0, w, h};
}

CCanvas::~CCanvas() {
  // The bitmap must leave the context before either is deleted.
  if (memory_ && previous_) ::SelectObject(memory_.get(), previous_);
  memory_.reset();
  bitmap_.reset();
}

void CCanvas::Draw(HDC target, int x, int y) const {
  if (!memory_) return;
  ::BitBlt(target, x, y, width(), height(), memory_.get(), 0, 0, SRCCOPY);
}
