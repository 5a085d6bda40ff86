#include "agent/canvas.h"

#include <gtest/gtest.h>

#include <ole2.h>

#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>

#include "tests/support/bitmap.h"

namespace {

class CanvasTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Gdiplus::GdiplusStartupInput input;
    ASSERT_EQ(Gdiplus::Ok, Gdiplus::GdiplusStartup(&token_, &input, nullptr));
    wchar_t dir[MAX_PATH];
    ::GetTempPathW(MAX_PATH, dir);
    path_ = std::wstring(dir) + L"zu_canvas_test.bmp";
  }
  void TearDown() override {
    ::DeleteFileW(path_.c_str());
    Gdiplus::GdiplusShutdown(token_);
  }
  ULONG_PTR token_ = 0;
  std::wstring path_;
};

// Quadrants of distinct colours, so that a flipped or shifted copy shows.
COLORREF Quadrant(int x, int y, int w, int h) {
  if (y < h / 2) return x < w / 2 ? RGB(255, 0, 0) : RGB(0, 255, 0);
  return x < w / 2 ? RGB(0, 0, 255) : RGB(255, 255, 0);
}

TEST_F(CanvasTest, ReadsTheSizeAndCopiesThePictureWhereAsked) {
  ASSERT_TRUE(zu::test::WriteBitmapFile(path_, 10, 6, [](int x, int y) { return Quadrant(x, y, 10, 6); }));
  CCanvas canvas(nullptr, path_);
  ASSERT_TRUE(canvas.valid());
  EXPECT_EQ(10, canvas.width());
  EXPECT_EQ(6, canvas.height());

  // A white 20x20 target.
  zu::UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 20, -20, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  zu::UniqueBitmap target(::CreateDIBSection(dc.get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  ASSERT_TRUE(target);
  zu::SelectGuard select(dc.get(), target.get());
  RECT all{0, 0, 20, 20};
  ::FillRect(dc.get(), &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));

  canvas.Draw(dc.get(), 3, 4);
  EXPECT_EQ(RGB(255, 255, 255), ::GetPixel(dc.get(), 2, 4));
  EXPECT_EQ(RGB(255, 0, 0), ::GetPixel(dc.get(), 3, 4));
  EXPECT_EQ(RGB(0, 255, 0), ::GetPixel(dc.get(), 12, 4));
  EXPECT_EQ(RGB(0, 0, 255), ::GetPixel(dc.get(), 3, 9));
  EXPECT_EQ(RGB(255, 255, 0), ::GetPixel(dc.get(), 12, 9));
  EXPECT_EQ(RGB(255, 255, 255), ::GetPixel(dc.get(), 13, 10));

  canvas.Draw(dc.get());
  EXPECT_EQ(RGB(255, 0, 0), ::GetPixel(dc.get(), 0, 0));
}

TEST_F(CanvasTest, AFileThatIsNoBitmapGivesAnEmptyCanvas) {
  CCanvas missing(nullptr, path_ + L".missing");
  EXPECT_FALSE(missing.valid());
  EXPECT_EQ(0, missing.width());

  HANDLE f = ::CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, f);
  DWORD n = 0;
  ::WriteFile(f, "BM this is not a picture", 24, &n, nullptr);
  ::CloseHandle(f);
  CCanvas garbage(nullptr, path_);
  EXPECT_FALSE(garbage.valid());
  EXPECT_EQ(0, garbage.height());
  // Drawing an empty canvas does nothing, and fails nothing.
  garbage.Draw(nullptr, 0, 0);
}

TEST_F(CanvasTest, ThePictureFileIsNotKeptOpen) {
  ASSERT_TRUE(zu::test::WriteBitmapFile(path_, 4, 4, [](int, int) { return RGB(1, 2, 3); }));
  CCanvas canvas(nullptr, path_);
  ASSERT_TRUE(canvas.valid());
  // An installer can replace the picture while the dialog is open.
  EXPECT_TRUE(::DeleteFileW(path_.c_str()));
}

}  // namespace
