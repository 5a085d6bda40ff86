#include "agent/static_paint.h"

#include "agent/canvas.h"
#include "agent/resource.h"

const wchar_t kStaticPaintClass[] = L"StaticPaint";

CStaticPaint::CStaticPaint(UINT icon_id) : resource_id_(icon_id), kind_(kIcon) {
  icon_width_ = icon_height_ = icon_id == IDR_MAINFRAME ? 32 : 16;
}

CStaticPaint::CStaticPaint(const CCanvas* canvas) : kind_(kCanvas), canvas_(canvas) {}

int CStaticPaint::width() const {
  return kind_ == kIcon ? icon_width_ : canvas_ ? canvas_->width() : 0;
}
int CStaticPaint::height() const {
  return kind_ == kIcon ? icon_height_ : canvas_ ? canvas_->height() : 0;
}

bool CStaticPaint::Create(HWND parent, int x, int y) {
  x_ = x;
  y_ = y;
  if (kind_ == kIcon)
    icon_.reset(static_cast<HICON>(::LoadImageW(zu::ResourceModule(),
                                                MAKEINTRESOURCEW(resource_id_), IMAGE_ICON,
                                                icon_width_, icon_height_, 0)));
  return zu::Window::Create(kStaticPaintClass, L"", WS_CHILD | WS_VISIBLE, 0, parent, CS_DBLCLKS);
}

LRESULT CStaticPaint::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE:
      ::MoveWindow(hwnd(), x_, y_, width(), height(), FALSE);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(hwnd(), &ps);
      Paint(dc);
      ::EndPaint(hwnd(), &ps);
      return 0;
    }
  }
  return zu::Window::OnMessage(msg, wp, lp);
}

void CStaticPaint::Paint(HDC dc) const {
  if (kind_ == kIcon) {
    if (icon_) ::DrawIconEx(dc, 0, 0, icon_.get(), icon_width_, icon_height_, 0, nullptr, DI_NORMAL);
  } else if (canvas_) {
    canvas_->Draw(dc);
  }
}
