#pragma once
// Small painted child windows of the Options dialog (class "StaticPaint"):
// an icon drawn at its own size, or a canvas picture.
#include <windows.h>

#include "common/framework/gdi.h"
#include "common/framework/window.h"

class CCanvas;

extern const wchar_t kStaticPaintClass[];  // "StaticPaint"

class CStaticPaint : public zu::Window {
 public:
  enum Kind { kIcon = 2, kCanvas = 10 };

  // An icon resource: 32x32 for the application icon 128, else 16x16.
  explicit CStaticPaint(UINT icon_id);
  // A picture; the canvas is not owned and must outlive the window.
  explicit CStaticPaint(const CCanvas* canvas);

  // Creates the window as a visible child of the dialog at (x, y), in the
  // kind's size.
  bool Create(HWND parent, int x, int y);

  Kind kind() const { return kind_; }
  int width() const;
  int height() const;

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void Paint(HDC dc) const;

  UINT resource_id_ = 0;
  Kind kind_;
  const CCanvas* canvas_ = nullptr;
  int x_ = 0, y_ = 0;
  int icon_width_ = 0, icon_height_ = 0;
  zu::UniqueIcon icon_;
};
