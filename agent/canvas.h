#pragma once
// A picture from a file, kept in a memory device context and copied onto
// a window when it paints.
#include <windows.h>

#include <string>

#include "common/framework/gdi.h"

class CCanvas {
 public:
  // Reads the picture's size with GDI+ (which must be started) and loads
  // the file as a device-independent bitmap of that size, in a memory
  // context compatible with the dialog's. A file that is not a readable
  // bitmap gives an empty canvas (!valid()).
  CCanvas(HWND dialog, const std::wstring& path);
  virtual ~CCanvas();
  CCanvas(const CCanvas&) = delete;
  CCanvas& operator=(const CCanvas&) = delete;

  // Plain copy of the whole picture with its top-left corner at (x, y).
  virtual void Draw(HDC target, int x, int y) const;
  virtual void Draw(HDC target) const { Draw(target, 0, 0); }

  bool valid() const { return static_cast<bool>(memory_); }
  int width() const { return rect_.right - rect_.left; }
  int height() const { return rect_.bottom - rect_.top; }

 private:
  RECT rect_{};
  zu::UniqueBitmap bitmap_;
  zu::UniqueMemoryDc memory_;
  HGDIOBJ previous_ = nullptr;  // what memory_ held before the bitmap
};
