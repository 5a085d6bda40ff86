#include "agent/static_paint.h"

#include <gtest/gtest.h>

#include <ole2.h>

#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>

#include "agent/canvas.h"
#include "agent/resource.h"
#include "tests/support/bitmap.h"
#include "tests/support/windows.h"

namespace {

class Parent : public zu::Window {};

class StaticPaintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Gdiplus::GdiplusStartupInput input;
    ASSERT_EQ(Gdiplus::Ok, Gdiplus::GdiplusStartup(&token_, &input, nullptr));
    ASSERT_TRUE(parent_.Create(L"ZuStaticPaintTestParent", L"parent", WS_POPUP | WS_VISIBLE));
    ::SetWindowPos(parent_.hwnd(), HWND_TOPMOST, 0, 0, 200, 200, SWP_SHOWWINDOW);
    wchar_t dir[MAX_PATH];
    ::GetTempPathW(MAX_PATH, dir);
    path_ = std::wstring(dir) + L"zu_static_paint_test.bmp";
  }
  void TearDown() override {
    parent_.Destroy();
    ::DeleteFileW(path_.c_str());
    Gdiplus::GdiplusShutdown(token_);
  }
  static RECT RectInParent(HWND child) {
    RECT r;
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
  }
  static void Pump() { zu::test::PumpMessages(200); }
  ULONG_PTR token_ = 0;
  Parent parent_;
  std::wstring path_;
};

TEST_F(StaticPaintTest, IconKindIsAChildAtItsPlaceInItsSize) {
  CStaticPaint big(IDR_MAINFRAME);
  ASSERT_TRUE(big.Create(parent_.hwnd(), 5, 7));
  EXPECT_EQ(CStaticPaint::kIcon, big.kind());
  wchar_t cls[64] = L"";
  ::GetClassNameW(big.hwnd(), cls, 64);
  EXPECT_STREQ(L"StaticPaint", cls);
  EXPECT_TRUE(::GetClassLongW(big.hwnd(), GCL_STYLE) & CS_DBLCLKS);
  EXPECT_EQ(parent_.hwnd(), ::GetParent(big.hwnd()));
  const LONG style = ::GetWindowLongW(big.hwnd(), GWL_STYLE);
  EXPECT_TRUE((style & WS_CHILD) && (style & WS_VISIBLE));
  RECT r = RectInParent(big.hwnd());
  EXPECT_EQ(5, r.left);
  EXPECT_EQ(7, r.top);
  EXPECT_EQ(32, r.right - r.left);
  EXPECT_EQ(32, r.bottom - r.top);

  // Any other icon is a small one; a missing resource paints nothing.
  CStaticPaint small(4711);
  ASSERT_TRUE(small.Create(parent_.hwnd(), 50, 60));
  r = RectInParent(small.hwnd());
  EXPECT_EQ(50, r.left);
  EXPECT_EQ(16, r.right - r.left);
  EXPECT_EQ(16, r.bottom - r.top);
  ::UpdateWindow(small.hwnd());
}

TEST_F(StaticPaintTest, IconKindPaintsTheIcon) {
  CStaticPaint icon(IDR_MAINFRAME);
  ASSERT_TRUE(icon.Create(parent_.hwnd(), 10, 10));
  // The parent's class has no background brush: paint it one colour first.
  HDC pdc = ::GetDC(parent_.hwnd());
  RECT all{0, 0, 200, 200};
  zu::UniqueBrush grey(::CreateSolidBrush(RGB(1, 2, 3)));
  ::FillRect(pdc, &all, grey.get());
  ::ReleaseDC(parent_.hwnd(), pdc);
  ::InvalidateRect(icon.hwnd(), nullptr, TRUE);
  ::UpdateWindow(icon.hwnd());
  Pump();
  HDC dc = ::GetDC(icon.hwnd());
  int painted = 0;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x)
      if (::GetPixel(dc, x, y) != RGB(1, 2, 3)) ++painted;
  ::ReleaseDC(icon.hwnd(), dc);
  EXPECT_GT(painted, 100) << "the 32x32 icon should cover much of its window";
}

TEST_F(StaticPaintTest, CanvasKindTakesThePictureSizeAndPaintsIt) {
  ASSERT_TRUE(zu::test::WriteBitmapFile(path_, 40, 30, [](int x, int) {
    return x < 20 ? RGB(200, 10, 10) : RGB(10, 10, 200);
  }));
  CCanvas canvas(parent_.hwnd(), path_);
  ASSERT_TRUE(canvas.valid());
  CStaticPaint picture(&canvas);
  ASSERT_TRUE(picture.Create(parent_.hwnd(), 2, 9));
  EXPECT_EQ(CStaticPaint::kCanvas, picture.kind());
  const RECT r = RectInParent(picture.hwnd());
  EXPECT_EQ(2, r.left);
  EXPECT_EQ(9, r.top);
  EXPECT_EQ(40, r.right - r.left);
  EXPECT_EQ(30, r.bottom - r.top);

  ::InvalidateRect(picture.hwnd(), nullptr, TRUE);
  ::UpdateWindow(picture.hwnd());
  Pump();
  HDC dc = ::GetDC(picture.hwnd());
  EXPECT_EQ(RGB(200, 10, 10), ::GetPixel(dc, 1, 1));
  EXPECT_EQ(RGB(10, 10, 200), ::GetPixel(dc, 38, 28));
  ::ReleaseDC(picture.hwnd(), dc);
}

}  // namespace
